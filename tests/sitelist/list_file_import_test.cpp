// Importing a list file: the line rules, the dialog's answers, and what
// happens to odd or unreadable files.
#include "common/app_title.h"
#include "common/error_report.h"
#include "common/line_splitter.h"
#include "common/product.h"
#include "sitelist/list_file_import.h"
#include "sitelist/site_list.h"
#include "sitelist/site_list_model.h"
#include "support/fake_platform.h"
#include "support/watchdog.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quendrel {
namespace {

using testing::FakePlatform;
using testing::ShownBox;
using testing::Watchdog;

const QString kLocation = QStringLiteral("in Tollinex2021/08/31.Form1.PushButton6_Click ");

const QString kNotAFile = QStringLiteral("Not a regular file. Please select another file.");

int openFileCount() { return static_cast<int>(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size()); }

class ListFileImportTest : public ::testing::Test {
protected:
    FakePlatform fake;
    SiteListModel model;
    SiteList list{model};
    ErrorReport report{fake.dialogs, kSupportAddress};
    ListFileImport import{list, fake.dialogs, fake.events, report};
    QTemporaryDir dir;

    QString writeFile(const QByteArray& bytes, const QString& name = QStringLiteral("list.txt")) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        return path;
    }

    void importAnswering(const QString& answer) {
        fake.dialogs.answers.push_back(answer);
        import.PushButton6_Click();
    }

    QStringList entries() {
        QStringList texts;
        for (int i = 1; i <= list.Count(); ++i) texts.append(list.TextAt(i));
        return texts;
    }

    std::vector<ShownBox> errorBoxes() const { return fake.dialogs.boxesOf(ShownBox::Warning); }
};

struct LineCase {
    const char* name;
    QByteArray bytes;
    QStringList entries;
    int yields;  // one before each line and each LF-separated part
};

const LineCase kLineCases[] = {
    {"empty file", "", {}, 0},
    {"CR LF with final line end", "a\r\nb\r\nc\r\n", {"a", "b", "c"}, 3},
    {"CR LF without final line end", "a\r\nb\r\nc", {"a", "b", "c"}, 3},
    {"LF only with final LF", "a\nb\nc\n", {"a", "b", "c", ""}, 4},
    {"LF only without final LF", "a\nb\nc", {"a", "b", "c"}, 3},
    {"CR only", "a\rb\rc\r", {"a", "b", "c"}, 3},
    {"mixed line ends", "a\r\nb\nc\rd", {"a", "b", "c", "d"}, 4},
    {"blank line in the middle", "a\r\n\r\nb\r\n", {"a", "", "b"}, 3},
    {"blank lines only", "\r\n\r\n", {"", ""}, 2},
    {"a lone LF", "\n", {"", ""}, 2},
    {"CR then CR LF", "a\r\r\n", {"a", ""}, 2},
    {"LF then CR", "a\n\rb", {"a", "", "b"}, 3},
    {"two addresses with a comma",
     "http://a.example/,http://b.example/\r\n",
     {"http://a.example/,http://b.example/"},
     1},
    {"blanks and tabs kept", "   a.example \t\r\n\tb", {"   a.example \t", "\tb"}, 2},
    {"no scheme added", "www.example.com\r\n", {"www.example.com"}, 1},
    {"duplicates kept", "a\r\na\r\n", {"a", "a"}, 2},
    {"UTF-8 text", "M\xc3\xbcnchen\r\n", {QString::fromUtf8("M\xc3\xbcnchen")}, 1},
    {"byte-order mark kept as text", "\xef\xbb\xbf" "a\r\n", {QString(QChar(0xfeff)) + "a"}, 1},
    {"NUL bytes kept", QByteArray("a\0b\r\n\0", 6), {QString("a") + QChar(0) + "b", QString(QChar(0))}, 2},
    {"binary bytes", QByteArray("\x01\xff\xfe\r\n\x80z", 7),
     {QString(QChar(1)) + QChar(0xfffd) + QChar(0xfffd), QString(QChar(0xfffd)) + "z"}, 2},
    {"character cut off at the end", "a\xc3", {QString("a") + QChar(0xfffd)}, 1},
};

TEST_F(ListFileImportTest, EveryLineRuleGivesItsEntries) {
    for (const LineCase& lineCase : kLineCases) {
        SCOPED_TRACE(lineCase.name);
        list.Clear();
        fake.events.processed = 0;
        importAnswering(writeFile(lineCase.bytes));
        EXPECT_EQ(entries(), lineCase.entries);
        EXPECT_EQ(fake.events.processed, lineCase.yields);
        EXPECT_TRUE(errorBoxes().empty());
        EXPECT_TRUE(fake.dialogs.boxesOf(ShownBox::Message).empty());
    }
}

TEST_F(ListFileImportTest, SplittingDoesNotDependOnWhereTheTextIsCut) {
    struct Recorder : LineSplitter::Sink {
        QStringList events;
        void yield() override { events.append(QStringLiteral("<yield>")); }
        void entry(const QString& text) override { events.append(text); }
    };
    for (const LineCase& lineCase : kLineCases) {
        SCOPED_TRACE(lineCase.name);
        const QString text = QString::fromUtf8(lineCase.bytes);
        Recorder whole;
        LineSplitter wholeSplitter(whole);
        wholeSplitter.feed(text);
        wholeSplitter.finish();
        for (qsizetype cut = 0; cut <= text.size(); ++cut) {
            for (qsizetype cut2 = cut; cut2 <= text.size(); ++cut2) {
                Recorder pieces;
                LineSplitter splitter(pieces);
                splitter.feed(QStringView(text).first(cut));
                splitter.feed(QStringView(text).sliced(cut, cut2 - cut));
                splitter.feed(QStringView(text).sliced(cut2));
                splitter.finish();
                ASSERT_EQ(pieces.events, whole.events) << "cut at " << cut << " and " << cut2;
            }
        }
    }
}

TEST_F(ListFileImportTest, CrLfAcrossTheReadBlockIsOneLineEnd) {
    // The file is read in blocks of 1 MiB: put a CR as the block's last byte.
    const qsizetype block = 1 << 20;
    QByteArray bytes(block - 1, 'x');
    bytes += "\r\nnext\r\n";
    importAnswering(writeFile(bytes));
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.TextAt(1).size(), block - 1);
    EXPECT_EQ(list.TextAt(2), QStringLiteral("next"));
}

TEST_F(ListFileImportTest, CharactersAcrossTheReadBlockStayWhole) {
    // A two-byte character and an invalid byte each straddle or touch the end
    // of the first 1 MiB block; neither they nor their neighbours get lost.
    const qsizetype block = 1 << 20;
    for (const QByteArray& tail : {QByteArray("\xc3\xbc" "b"), QByteArray("\xc3" "b"), QByteArray("\xff" "b")}) {
        list.Clear();
        QByteArray bytes = QByteArray(block - 1, 'x') + tail + "\r\nnext";
        importAnswering(writeFile(bytes));
        ASSERT_EQ(list.Count(), 2);
        const QString expected = QString(block - 1, u'x') + QString::fromUtf8(tail);
        EXPECT_EQ(list.TextAt(1), expected);
        EXPECT_EQ(list.TextAt(2), QStringLiteral("next"));
    }
}

TEST_F(ListFileImportTest, AOneMegabyteLineIsOneEntry) {
    const QByteArray line((1 << 20) + 7, 'y');
    importAnswering(writeFile(line));
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.TextAt(1), QString::fromLatin1(line));
}

TEST_F(ListFileImportTest, EntriesGoAfterTheListAndImportingTwiceDoublesThem) {
    list.Append(QStringLiteral("first"));
    const QString path = writeFile("a\r\nb\r\n");
    importAnswering(path);
    importAnswering(path);
    EXPECT_EQ(entries(), (QStringList{"first", "a", "b", "a", "b"}));
    // The view knows every entry once the import is over.
    EXPECT_EQ(model.rowCount(), 5);
}

TEST_F(ListFileImportTest, TheDialogIsAskedForOneTextFile) {
    importAnswering(QString());
    ASSERT_EQ(fake.dialogs.shown.size(), 1u);
    EXPECT_EQ(fake.dialogs.shown[0].kind, ShownBox::OpenFile);
    EXPECT_EQ(fake.dialogs.shown[0].text,
              QStringLiteral("Add File(s) - Use Ctrl & Shift to select multiple files"));
    EXPECT_EQ(fake.dialogs.filtersAsked,
              (QStringList{"Text Files (*.txt)", "All Files (*.*)"}));
    EXPECT_EQ(list.Count(), 0);  // cancel: nothing, no message
}

TEST_F(ListFileImportTest, AMissingFileIsAnsweredWithFileNotFound) {
    list.Append(QStringLiteral("kept"));
    importAnswering(dir.filePath(QStringLiteral("typed-but-missing.txt")));
    const auto messages = fake.dialogs.boxesOf(ShownBox::Message);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, QStringLiteral("File not found"));
    EXPECT_EQ(messages[0].caption, AppTitle());
    EXPECT_TRUE(errorBoxes().empty());
    EXPECT_EQ(entries(), QStringList{"kept"});
}

TEST_F(ListFileImportTest, SeveralFilesAtOnceAreRefused) {
    writeFile("a\r\n", QStringLiteral("one.txt"));
    importAnswering(dir.path() + QChar(0) + "one.txt" + QChar(0) + "two.txt");
    const auto messages = fake.dialogs.boxesOf(ShownBox::Message);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, QStringLiteral("Please select just one file."));
    EXPECT_EQ(list.Count(), 0);
}

// A device that never ends, a FIFO that nobody writes to and a folder are no
// list files: each is answered at once with a message, and nothing is read.
TEST_F(ListFileImportTest, OnlyRegularFilesAreRead) {
    const QString folder = dir.filePath(QStringLiteral("a-folder"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString fifo = dir.filePath(QStringLiteral("a-fifo"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    struct Case { const char* name; QString path; };
    const Case cases[] = {{"/dev/zero", QStringLiteral("/dev/zero")},
                          {"a FIFO without a writer", fifo},
                          {"a folder", folder}};
    list.Append(QStringLiteral("kept"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fake.dialogs.shown.clear();
        const int filesBefore = openFileCount();
        QElapsedTimer took;
        took.start();
        {
            Watchdog watchdog(5'000, c.name);
            importAnswering(c.path);
        }
        EXPECT_LT(took.elapsed(), 1000);
        const auto messages = fake.dialogs.boxesOf(ShownBox::Message);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text, kNotAFile);
        EXPECT_EQ(messages[0].caption, AppTitle());
        EXPECT_TRUE(errorBoxes().empty());
        EXPECT_EQ(entries(), QStringList{"kept"});
        EXPECT_EQ(openFileCount(), filesBefore);
    }
}

TEST_F(ListFileImportTest, FilesThatCannotBeReadAreReportedAtTheImportStep) {
    struct Case { const char* name; QString path; };
    // Memory that is not mapped at the start of the file: reading it fails.
    std::vector<Case> cases = {{"a file whose reading fails", QStringLiteral("/proc/self/mem")}};
    const QString locked = writeFile("a\r\n", QStringLiteral("locked.txt"));
    if (geteuid() != 0) {
        // Permissions do not stop root from reading.
        QFile::setPermissions(locked, QFileDevice::Permissions());
        cases.push_back({"a file without read permission", locked});
    }
    for (const Case& unreadable : cases) {
        SCOPED_TRACE(unreadable.name);
        fake.dialogs.shown.clear();
        list.Append(QStringLiteral("kept"));
        const int filesBefore = openFileCount();
        importAnswering(unreadable.path);
        const auto boxes = errorBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_TRUE(boxes[0].text.contains(kLocation + QStringLiteral("at line 118\r\r")))
            << boxes[0].text.toStdString();
        EXPECT_FALSE(boxes[0].text.startsWith(QStringLiteral("\r\n")));  // says why
        EXPECT_EQ(boxes[0].caption, QStringLiteral("Application Error"));
        EXPECT_EQ(list.TextAt(list.Count()), QStringLiteral("kept"));
        EXPECT_EQ(openFileCount(), filesBefore);
    }
}

TEST_F(ListFileImportTest, AFailureMidwayKeepsTheEntriesSoFarAndClosesTheFile) {
    const QString path = writeFile("a\r\nb\r\nc\r\nd\r\n");
    const int filesBefore = openFileCount();
    fake.events.onProcess = [this] {
        if (fake.events.processed == 3) throw Failure(QStringLiteral("Out of memory"));
    };
    importAnswering(path);
    EXPECT_EQ(entries(), (QStringList{"a", "b"}));
    const auto boxes = errorBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.startsWith(QStringLiteral("Out of memory\r\n") + kLocation +
                                         QStringLiteral("at line 118")));
    EXPECT_EQ(openFileCount(), filesBefore);
    EXPECT_EQ(model.rowCount(), 2);

    // The file can be imported again at once.
    fake.events.onProcess = nullptr;
    importAnswering(path);
    EXPECT_EQ(list.Count(), 6);
}

TEST_F(ListFileImportTest, EventsHandledDuringAnImportMayAddEntriesInBetween) {
    const QString path = writeFile("a\r\nb\r\n");
    fake.events.onProcess = [this] {
        if (fake.events.processed == 2) list.Append(QStringLiteral("typed"));
    };
    importAnswering(path);
    EXPECT_EQ(entries(), (QStringList{"a", "typed", "b"}));
}

}  // namespace
}  // namespace quendrel
