// The control values store: exact text in, exact text out, replaced whole.
#include "pdfprinter/control_values.h"
#include "pdfprinter/job_destination.h"
#include "pdfprinter/printer_names.h"
#include "platform/file_printer_control_store.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <ctime>
#include <thread>
#include <vector>
#include <atomic>
#include <sys/stat.h>

namespace {

using marrowby::ControlValue;

class ControlValuesTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::string home() const { return dir.path().toStdString(); }
    std::string valuePath(const char* name) const { return marrowby::controlFolder(home()) + "/" + name; }

    QStringList folderEntries() const {
        return QDir(QString::fromStdString(marrowby::controlFolder(home())))
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
};

TEST_F(ControlValuesTest, ExactTextSurvivesTheRoundTrip) {
    const std::string values[] = {
        "/home/user/Desktop/www.example.com.pdf",
        "/tmp/with blanks/and \"quotes\" and 'single'.pdf",
        "/tmp/a\nnewline\r\nand\ttab.pdf",
        "C:\\Windows\\style\\path.pdf",
        "/tmp/ümlaut/日本語/😀.pdf",
        "  leading and trailing blanks  ",
        "ends with a newline\n",
        "",
        "1",
    };
    for (const std::string& value : values) {
        ASSERT_EQ(marrowby::writeControlValue(home(), marrowby::kOutputFileValue, value), "") << value;
        const ControlValue read = marrowby::readControlValue(home(), marrowby::kOutputFileValue);
        EXPECT_EQ(read.status, ControlValue::Found) << value;
        EXPECT_EQ(read.text, value);
    }
}

TEST_F(ControlValuesTest, EachValueIsItsOwnFileInAPrivateFolderNamedAfterThePrinter) {
    ASSERT_EQ(marrowby::writeControlValue(home(), "OutputFile", "/x/y.pdf"), "");
    ASSERT_EQ(marrowby::writeControlValue(home(), "BypassSaveAs", "1"), "");
    EXPECT_EQ(marrowby::controlFolder(home()), home() + "/.config/Marrowby PDF Writer");

    struct stat st {};
    ASSERT_EQ(::stat(marrowby::controlFolder(home()).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(folderEntries(), (QStringList{"BypassSaveAs", "OutputFile"}));

    QFile file(QString::fromStdString(valuePath("OutputFile")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("/x/y.pdf"));  // no terminator, no quoting
}

TEST_F(ControlValuesTest, AWriteReplacesTheFileWholeAndLeavesNoTemporaryFile) {
    ASSERT_EQ(marrowby::writeControlValue(home(), "OutputFile", std::string(5000, 'a')), "");
    struct stat before {};
    ASSERT_EQ(::stat(valuePath("OutputFile").c_str(), &before), 0);

    ASSERT_EQ(marrowby::writeControlValue(home(), "OutputFile", "short"), "");
    struct stat after {};
    ASSERT_EQ(::stat(valuePath("OutputFile").c_str(), &after), 0);

    // A new file renamed over the old one: a reader holding the old file
    // still sees all of the old text, a new reader all of the new.
    EXPECT_NE(before.st_ino, after.st_ino);
    EXPECT_EQ(marrowby::readControlValue(home(), "OutputFile").text, "short");
    EXPECT_EQ(folderEntries(), QStringList{"OutputFile"});
}

TEST_F(ControlValuesTest, MissingAndUnusableValuesAreToldApart) {
    EXPECT_EQ(marrowby::readControlValue(home(), "OutputFile").status, ControlValue::Missing);

    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(valuePath("OutputFile"))));  // a folder, not a value
    const ControlValue folder = marrowby::readControlValue(home(), "OutputFile");
    EXPECT_EQ(folder.status, ControlValue::Unreadable);
    EXPECT_FALSE(folder.error.empty());

    QFile withNul(QString::fromStdString(valuePath("BypassSaveAs")));
    ASSERT_TRUE(withNul.open(QIODevice::WriteOnly));
    withNul.write(QByteArray("1\0garbage", 9));
    withNul.close();
    EXPECT_EQ(marrowby::readControlValue(home(), "BypassSaveAs").status, ControlValue::Unreadable);
}

TEST_F(ControlValuesTest, RefusesWhatCannotBeStoredAndWritesNothing) {
    EXPECT_NE(marrowby::writeControlValue(home(), "OutputFile", std::string("a\0b", 3)), "");
    EXPECT_NE(marrowby::writeControlValue(home(), "../escape", "x"), "");
    EXPECT_NE(marrowby::writeControlValue(home(), "", "x"), "");
    EXPECT_NE(marrowby::writeControlValue("", "OutputFile", "x"), "");
    EXPECT_TRUE(folderEntries().isEmpty());
    EXPECT_FALSE(QFile::exists(dir.path() + "/escape"));
}

TEST_F(ControlValuesTest, TheToolsStoreWritesWhatTheBackendReads) {
    quendrel::platform::FilePrinterControlStore store(dir.path());
    const QString path = QStringLiteral("/tmp/Ünïcode \"quoted\"\nname.pdf");
    EXPECT_TRUE(store.write("OutputFile", path));
    EXPECT_TRUE(store.write("BypassSaveAs", "1"));
    EXPECT_EQ(marrowby::readControlValue(home(), "OutputFile").text, path.toStdString());
    EXPECT_EQ(marrowby::readControlValue(home(), "BypassSaveAs").text, "1");

    EXPECT_FALSE(store.write("OutputFile", QString("a") + QChar(0) + "b"));
    EXPECT_EQ(marrowby::readControlValue(home(), "OutputFile").text, path.toStdString());
}

TEST_F(ControlValuesTest, TheToolsStoreFailsQuietlyWhenTheFolderCannotBeMade) {
    // A file where the .config folder belongs.
    QFile blocker(dir.path() + "/.config");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    quendrel::platform::FilePrinterControlStore store(dir.path());
    EXPECT_FALSE(store.write("OutputFile", "/x.pdf"));
}

TEST_F(ControlValuesTest, AWrittenValueIsTakenByExactlyOneOfManyRacers) {
    for (int round = 0; round < 20; ++round) {
        ASSERT_EQ(marrowby::writeControlValue(home(), "Job" + std::string(32, 'a'), "/x.pdf"), "");
        std::atomic<int> found{0}, other{0};
        std::vector<std::thread> racers;
        for (int i = 0; i < 4; ++i)
            racers.emplace_back([&] {
                const ControlValue taken = marrowby::takeControlValue(home(), "Job" + std::string(32, 'a'));
                (taken.status == ControlValue::Found && taken.text == "/x.pdf" ? found : other)++;
            });
        for (std::thread& racer : racers) racer.join();
        EXPECT_EQ(found, 1);
        EXPECT_EQ(other, 3);
        EXPECT_TRUE(folderEntries().isEmpty()) << folderEntries().join(' ').toStdString();
    }
}

// What the backend does with a job, from the values the user has and the
// pointing the job carries.
TEST_F(ControlValuesTest, OnlyTheJobThatCarriesAPointingGoesToItsFileAndOnlyOnce) {
    using marrowby::JobDestination;
    const std::string token(32, 'c');
    const std::string other(32, 'd');
    const std::string pointingName = marrowby::kPointingValuePrefix + token;
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> values;  // written in this order
        std::string carried;          // the pointing the job carries
        JobDestination::Kind first;
        JobDestination::Kind second;  // a further job carrying the same pointing
        mode_t folderMode = 0700;
    };
    const std::string out = marrowby::kOutputFileValue;
    const std::string bypass = marrowby::kBypassSaveAsValue;
    const std::vector<std::pair<std::string, std::string>> pointed = {
        {out, "/t.pdf"}, {bypass, "1"}, {pointingName, "/t.pdf"}};
    const Case cases[] = {
        {"no values", {}, token, JobDestination::PdfFolder, JobDestination::PdfFolder},
        {"pointed", pointed, token, JobDestination::OutputFile, JobDestination::PdfFolder},
        {"a job without a pointing (another program's)", pointed, "", JobDestination::PdfFolder,
         JobDestination::PdfFolder},
        {"a job with another pointing (another run's)", pointed, other, JobDestination::PdfFolder,
         JobDestination::PdfFolder},
        {"a pointing that is no token", pointed, "../../x", JobDestination::PdfFolder, JobDestination::PdfFolder},
        {"bypass other than 1", {{out, "/t.pdf"}, {bypass, "yes"}, {pointingName, "/t.pdf"}}, token,
         JobDestination::PdfFolder, JobDestination::PdfFolder},
        {"no bypass", {{out, "/t.pdf"}, {pointingName, "/t.pdf"}}, token, JobDestination::PdfFolder,
         JobDestination::PdfFolder},
        {"two runs: OutputFile names the other run's file", {{bypass, "1"}, {pointingName, "/t.pdf"}, {out, "/u.pdf"}},
         token, JobDestination::OutputFile, JobDestination::PdfFolder},
        {"a pointing that names no file", {{out, "/t.pdf"}, {bypass, "1"}, {pointingName, ""}}, token,
         JobDestination::Refused, JobDestination::PdfFolder},
        {"pointed without OutputFile", {{bypass, "1"}, {pointingName, "/t.pdf"}}, token, JobDestination::Refused,
         JobDestination::PdfFolder},
        {"pointed in a folder others may write in", pointed, token, JobDestination::PdfFolder,
         JobDestination::PdfFolder, 0777},
    };
    for (const Case& c : cases) {
        QDir(QString::fromStdString(marrowby::controlFolder(home()))).removeRecursively();
        for (const auto& [name, value] : c.values) ASSERT_EQ(marrowby::writeControlValue(home(), name, value), "");
        ::chmod(marrowby::controlFolder(home()).c_str(), c.folderMode);
        const JobDestination first = marrowby::chooseJobDestination(home(), c.carried);
        EXPECT_EQ(first.kind, c.first) << c.name << ": " << first.reason;
        if (first.kind == JobDestination::OutputFile) {
            EXPECT_EQ(first.target, "/t.pdf") << c.name;
        }
        EXPECT_EQ(marrowby::chooseJobDestination(home(), c.carried).kind, c.second) << c.name;
        // The tool's values stay as it wrote them.
        if (!c.values.empty() && c.values.front().first == out) {
            EXPECT_EQ(marrowby::readControlValue(home(), out).text, c.values.front().second) << c.name;
        }
    }
}

TEST_F(ControlValuesTest, OnlyPointingsOlderThanADayAreRemoved) {
    const std::string fresh = marrowby::kPointingValuePrefix + std::string(32, 'a');
    const std::string old = marrowby::kPointingValuePrefix + std::string(32, 'b');
    for (const std::string& name : {fresh, old, std::string(marrowby::kOutputFileValue)})
        ASSERT_EQ(marrowby::writeControlValue(home(), name, "/t.pdf"), "");
    const long long now = static_cast<long long>(std::time(nullptr));
    const std::string oldPath = marrowby::controlFolder(home()) + "/" + old;
    const timespec times[2] = {{now - marrowby::kAbandonedPointingSeconds - 60, 0},
                               {now - marrowby::kAbandonedPointingSeconds - 60, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, oldPath.c_str(), times, 0), 0);
    marrowby::removeAbandonedPointings(home(), now);
    EXPECT_EQ(folderEntries(), (QStringList{QString::fromStdString(fresh), QString::fromUtf8(marrowby::kOutputFileValue)}));
}

}  // namespace
