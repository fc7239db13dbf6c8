#include "common/app_title.h"
#include "common/error_report.h"
#include "saverun/page_rendering.h"
#include "saverun/printer_control.h"
#include "saverun/progress_display.h"
#include "saverun/run_front_end.h"
#include "saverun/save_run.h"
#include "support/fake_platform.h"
#include "support/qstring_printer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>
#include <functional>
#include <map>
#include <set>

namespace quendrel {
namespace {

using platform::JobState;
using testing::FakePlatform;
using testing::ShownBox;

// Pages as the run sees them: each print writes the file the printer is
// pointed at, unless a test says otherwise.
class ScriptedRendering : public PageRendering {
public:
    explicit ScriptedRendering(FakePlatform& fake) : fake_(fake) {}
    std::set<QString> uncapturable, unloadable, undownloadable, unprinted;
    std::map<QString, QString> captureReasons;  // what the capture program says for an uncapturable address
    std::set<int> failingSteps;  // picture steps: 184, 186, 188, 202
    std::function<void(const QString&)> onPage;
    QStringList calls;
    // Each look-ahead as "host:method" words, where each job was pointed, and
    // the names of the pictures and page copies written.
    QStringList aheads, pointedAt, temporaries;

    void CaptureSnapshot(const QString& address, const QString& path) override {
        calls << "capture " + address;
        if (onPage) onPage(address);
        lastFailure_.clear();
        temporaries << QFileInfo(path).fileName();
        if (!uncapturable.count(address)) touch(path, "jpeg");
        else if (captureReasons.count(address)) lastFailure_ = captureReasons[address];
    }
    QString LastFailure() const override { return lastFailure_; }
    void LoadPicture(const QString&) override {
        drawn_ = false;
        step(184);
    }
    void SetDeviceUnits() override { step(186); }
    void DrawPicture() override {
        step(188);
        drawn_ = true;
    }
    int EndDocument(const QString& title) override {
        step(202);
        if (!drawn_) throw Failure(QStringLiteral("Nothing was drawn"));
        return print(title);
    }
    int LoadAndPrintPage(const QString& target) override {
        calls << "print " + target;
        if (onPage) onPage(target);
        if (unloadable.count(target) || (target.endsWith(".htm") && !QFile::exists(target))) return 0;
        return print(target);
    }
    void DownloadPageToFile(const QString& address, const QString& path) override {
        calls << "download " + address;
        if (undownloadable.count(address)) throw Failure(QStringLiteral("Connection refused"));
        temporaries << QFileInfo(path).fileName();
        touch(path, "<html>page</html>");
    }
    void DeleteFileQuietly(const QString& path) override {
        calls << "delete " + QFileInfo(path).fileName();
        QFile::remove(path);
    }
    void LookAhead(const QList<AheadEntry>& coming) override {
        QStringList words;
        for (const AheadEntry& entry : coming) words << QUrl(entry.address).host().section('.', 0, 0) + ":" + QString::number(entry.method);
        aheads << words.join(' ');
    }

private:
    void step(int number) {
        if (failingSteps.count(number)) throw Failure(QStringLiteral("Step %1 broke").arg(number));
    }
    bool drawn_ = false;
    QString lastFailure_;
    int print(const QString& title) {
        const int job = fake_.printers.submitPdfToDefault(QStringLiteral("/tmp/job.pdf"), title);
        const QString target = fake_.printerControl.values[QStringLiteral("OutputFile")];
        pointedAt << QFileInfo(target).fileName();
        if (!unprinted.count(title) && !target.isEmpty()) touch(target, "%PDF-1.4");
        return job;
    }
    static void touch(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) file.write(bytes);
    }
    FakePlatform& fake_;
};

// The window's part in a run as plain values: its list, folder box, options,
// pointer and message boxes.
class ScriptedFrontEnd : public RunFrontEnd {
public:
    explicit ScriptedFrontEnd(FakePlatform& fake) : fake_(fake) {}
    bool IsBusy() const override { return hourglass; }
    int EntryCount() const override { return static_cast<int>(entries.size()); }
    QString EntryTextAt(int row) const override { return entries.value(row); }
    QString FolderText() const override { return folder; }
    int SelectedMethod() const override { return method; }
    void ShowHourglass() override { hourglass = true; }
    void ShowDefaultPointer() override { hourglass = false; }
    void Message(const QString& text) override { fake_.dialogs.message(text, AppTitle()); }

    QStringList entries;
    QString folder;
    int method = 1;  // as the window's layout selects it
    bool hourglass = false;

private:
    FakePlatform& fake_;
};

class SaveRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(out.isValid());
        folder = out.path() + QLatin1Char('/');
        front.folder = folder;
        fake.printers.devices = {QStringLiteral("Office Laser"), QStringLiteral("Marrowby PDF Writer")};
        fake.printers.ownDefault = QStringLiteral("Office Laser");
    }
    void add(std::initializer_list<const char*> addresses) {
        for (const char* address : addresses) front.entries.append(QString::fromUtf8(address));
    }
    void method(int n) {
        front.method = n;
    }
    void run() { saveRun.PushButton2_Click(); }
    std::vector<ShownBox> errors() const { return fake.dialogs.boxesOf(ShownBox::Warning); }
    QStringList messages() const {
        QStringList texts;
        for (const ShownBox& box : fake.dialogs.boxesOf(ShownBox::Message)) texts << box.text;
        return texts;
    }
    bool pdf(const char* name) const { return QFile::exists(folder + QString::fromUtf8(name)); }

    QTemporaryDir out;
    QString folder;
    FakePlatform fake;
    testing::RecordingProgress progress;
    ScriptedRendering rendering{fake};
    ErrorReport report{fake.dialogs, QStringLiteral("support@example.org")};
    PrinterControl printer{fake.printers, fake.printerControl, fake.dialogs, AppTitle()};
    ScriptedFrontEnd front{fake};
    SaveRun saveRun{{front, progress, printer, rendering, fake.printers, fake.events, report}};
};

TEST_F(SaveRunTest, EmptyListIsRefusedWithoutTouchingThePrinter) {
    run();
    EXPECT_EQ(messages(), QStringList({QStringLiteral("No files added.")}));
    EXPECT_TRUE(fake.printers.defaultsSet.empty());
    EXPECT_FALSE(front.IsBusy());
}

TEST_F(SaveRunTest, MissingFolderIsRefused) {
    add({"http://a.example/"});
    QFile file(out.path() + "/plain-file");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    for (const QString& text : {QString(), out.path() + "/missing/", file.fileName()}) {
        fake.dialogs.shown.clear();
        front.folder = text;
        run();
        EXPECT_EQ(messages(), QStringList({QStringLiteral("Folder does not exist. Please select another folder.")}));
    }
    EXPECT_TRUE(fake.printers.defaultsSet.empty());
}

TEST_F(SaveRunTest, MissingPrinterEndsTheRunWithItsMessage) {
    add({"http://a.example/"});
    fake.printers.devices = {QStringLiteral("marrowby pdf writer")};
    run();
    ASSERT_EQ(messages().size(), 1);
    EXPECT_TRUE(messages()[0].startsWith(QStringLiteral("Can not continue.\r\n")));
    EXPECT_TRUE(fake.printers.defaultsSet.empty());
    EXPECT_FALSE(front.IsBusy());
}

TEST_F(SaveRunTest, MethodTwoPrintsEveryEntryWithProgressAndRestoresThePrinter) {
    add({"http://a.example/", "http://b.example/x", "C:\\lists\\c.html"});
    method(2);
    run();
    EXPECT_TRUE(pdf("a.example_.pdf"));
    EXPECT_TRUE(pdf("b.example_x.pdf"));
    EXPECT_TRUE(pdf("C  lists c.html.pdf"));
    ASSERT_EQ(progress.values.size(), 4u);
    EXPECT_NEAR(progress.values[0], 100.0 / 3, 1e-9);
    EXPECT_NEAR(progress.values[1], 200.0 / 3, 1e-9);
    EXPECT_DOUBLE_EQ(progress.values[2], 100.0);
    EXPECT_DOUBLE_EQ(progress.values[3], 0.0);
    EXPECT_EQ(progress.texts, (std::vector<QString>{"Processing: http://a.example/", "Processing: http://b.example/x",
                                                    "Processing: c.html", "Progress Bar"}));
    EXPECT_EQ(messages(), QStringList({QStringLiteral("Done.")}));
    EXPECT_EQ(fake.printers.defaultsSet, (std::vector<QString>{"Marrowby PDF Writer", "Office Laser"}));
    EXPECT_EQ(fake.printers.defaultDevice(), QStringLiteral("Office Laser"));
    EXPECT_EQ(fake.printerControl.values[QStringLiteral("OutputFile")], folder + "C  lists c.html.pdf");
    EXPECT_EQ(fake.printerControl.values[QStringLiteral("BypassSaveAs")], QStringLiteral("1"));
    EXPECT_FALSE(front.IsBusy());
    EXPECT_TRUE(errors().empty());
}

TEST_F(SaveRunTest, EveryMethodNamesThePdfAlike) {
    for (int m = 1; m <= 3; ++m) {
        SCOPED_TRACE(m);
        front.entries.clear();
        QDir(out.path()).removeRecursively();
        QDir().mkpath(out.path());
        add({"http://site.example/a?b=1"});
        method(m);
        run();
        EXPECT_TRUE(pdf("site.example_a b=1.pdf"));
        EXPECT_EQ(QDir(out.path()).entryList(QDir::Files), QStringList({"site.example_a b=1.pdf"}))
            << "temporary files are gone";
    }
}

TEST_F(SaveRunTest, NoMethodSelectedSkipsEveryEntryAndSaysSo) {
    add({"http://a.example/", "http://b.example/"});
    front.method = 0;
    run();
    EXPECT_TRUE(fake.printers.jobs.empty());
    ASSERT_EQ(messages().size(), 1);
    EXPECT_EQ(messages()[0], QStringLiteral("Done.\r\n\r\n2 entries gave no PDF:\r\n"
                                            "http://a.example/: no method selected\r\n"
                                            "http://b.example/: no method selected"));
}

TEST_F(SaveRunTest, ListsBeyond32767EntriesAreWalkedToTheEnd) {
    for (int i = 0; i < 33000; ++i) front.entries.append(QStringLiteral("http://e%1.example/").arg(i));
    front.method = 0;
    run();
    ASSERT_EQ(progress.values.size(), 33001u);
    EXPECT_DOUBLE_EQ(progress.values[32999], 100.0);
    ASSERT_EQ(messages().size(), 1);
    EXPECT_TRUE(messages()[0].startsWith(QStringLiteral("Done.\r\n\r\n33000 entries gave no PDF:\r\n")));
    EXPECT_TRUE(messages()[0].endsWith(QStringLiteral("\r\n... and 32985 more without a PDF.")));
}

TEST_F(SaveRunTest, EntryAddedDuringTheRunIsNotProcessed) {
    add({"http://a.example/", "http://b.example/"});
    method(2);
    rendering.onPage = [&](const QString& target) {
        if (target == "http://a.example/") add({"http://late.example/"});
    };
    run();
    EXPECT_EQ(rendering.calls, QStringList({"print http://a.example/", "print http://b.example/"}));
    EXPECT_DOUBLE_EQ(progress.values[1], 200.0 / 3);  // the count is read again for the value
    EXPECT_EQ(messages(), QStringList({QStringLiteral("Done.")}));
}

TEST_F(SaveRunTest, FailingStepsAreReportedWithTheirNumbersAndTheRunGoesOn) {
    struct Case { int method; int step; };
    for (const Case& c : {Case{1, 188}, Case{1, 202}, Case{3, 270}}) {
        SCOPED_TRACE(c.step);
        fake.dialogs.shown.clear();
        front.entries.clear();
        add({"http://a.example/", "http://b.example/"});
        method(c.method);
        rendering.failingSteps.clear();
        rendering.undownloadable.clear();
        if (c.step == 270) rendering.undownloadable = {"http://a.example/"};
        else rendering.failingSteps = {c.step};
        run();
        ASSERT_GE(errors().size(), 1u);
        EXPECT_TRUE(errors()[0].text.contains(
            QStringLiteral("in Tollinex2021/08/31.Form1.PushButton2_Click at line %1\r\r").arg(c.step)));
        ASSERT_EQ(messages().size(), 1);
        const QString reason = c.step == 270 ? QStringLiteral("http://a.example/: page could not be downloaded")
                                             : QStringLiteral("http://a.example/: error at line %1: Step %1 broke").arg(c.step);
        EXPECT_TRUE(messages()[0].contains(reason)) << messages()[0].toStdString();
        EXPECT_EQ(fake.printers.defaultDevice(), QStringLiteral("Office Laser"));
        EXPECT_FALSE(front.IsBusy());
    }
}

TEST_F(SaveRunTest, FailedCaptureCallIsReportedAt150) {
    add({"http://a.example/"});
    fake.processes.startError = 53;
    rendering.uncapturable = {"http://a.example/"};
    rendering.onPage = [](const QString&) { throw Failure(QStringLiteral("Cannot start")); };
    run();
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_TRUE(errors()[0].text.startsWith(
        QStringLiteral("Cannot start\r\nin Tollinex2021/08/31.Form1.PushButton2_Click at line 150\r\r")));
    EXPECT_TRUE(messages()[0].endsWith(QStringLiteral("http://a.example/: capture failed")));
}

TEST_F(SaveRunTest, DefaultPrinterThatCannotComeBackIsReportedAt318) {
    add({"http://a.example/"});
    method(2);
    rendering.onPage = [&](const QString&) { fake.printers.devices.removeAll(QStringLiteral("Office Laser")); };
    run();
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_TRUE(errors()[0].text.startsWith(
        QStringLiteral("The default printer could not be set back to \"Office Laser\".\r\n"
                       "in Tollinex2021/08/31.Form1.PushButton2_Click at line 318")));
    EXPECT_EQ(messages(), QStringList({QStringLiteral("Done.")}));
    EXPECT_FALSE(front.IsBusy());
}

TEST_F(SaveRunTest, EveryKindOfDefaultIsPutBackExactlyAndNoneIsNoFailure) {
    struct Case {
        const char* own;
        const char* server;
    };
    const Case cases[] = {
        {"", ""},                              // a fresh account: no default at all
        {"", "Office Laser"},                  // only the server's
        {"Office Laser", "Office Laser"},      // the user's own, the same as the server's
        {"Office Laser/duplex", "Hall Copier"},  // an instance of the user's own
    };
    add({"http://a.example/"});
    method(2);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.own) + "|" + c.server);
        fake.dialogs.shown.clear();
        fake.printers.ownDefault = c.own;
        fake.printers.serverDefault = c.server;
        QString printedOn;
        rendering.onPage = [&](const QString&) { printedOn = fake.printers.defaultDestination(); };
        run();
        EXPECT_EQ(printedOn, QStringLiteral("Marrowby PDF Writer"));
        EXPECT_EQ(messages(), QStringList({QStringLiteral("Done.")}));
        EXPECT_TRUE(errors().empty());
        EXPECT_EQ(fake.printers.ownDefault, QString::fromUtf8(c.own));
        EXPECT_EQ(fake.printers.serverDefault, QString::fromUtf8(c.server));
    }
}

TEST_F(SaveRunTest, APdfPrinterThatStaysTheDefaultIsReportedAt318) {
    add({"http://a.example/"});
    method(2);
    fake.printers.ownDefault.clear();
    fake.printers.serverDefault = QStringLiteral("Office Laser");
    rendering.onPage = [&](const QString&) { fake.printers.refuseDefault = true; };
    run();
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_TRUE(errors()[0].text.startsWith(
        QStringLiteral("\"Marrowby PDF Writer\" could not be removed as your default printer.\r\n"
                       "in Tollinex2021/08/31.Form1.PushButton2_Click at line 318")));
    EXPECT_EQ(messages(), QStringList({QStringLiteral("Done.")}));
}

TEST_F(SaveRunTest, UnreadableDefaultPrinterLeavesNothingToRestore) {
    add({"http://a.example/"});
    method(2);
    fake.printers.defaultUnreadable = true;
    run();
    EXPECT_TRUE(messages()[0].startsWith(QStringLiteral("Error No: ")));
    EXPECT_EQ(messages().back(), QStringLiteral("Done."));
    EXPECT_TRUE(errors().empty());
}

TEST_F(SaveRunTest, FailingPageStepIsReportedAt244) {
    add({"http://a.example/"});
    method(2);
    fake.printers.failSubmit = true;
    rendering.unloadable.clear();
    run();
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_TRUE(errors()[0].text.contains(QStringLiteral("at line 244")));
    EXPECT_TRUE(messages()[0].endsWith(QStringLiteral("http://a.example/: page failed to load")) ||
                messages()[0].contains(QStringLiteral("error at line 244")));
}

TEST_F(SaveRunTest, MixedOutcomesAreListedWithReasons) {
    add({"http://ok.example/", "http://nocapture.example/", "http://refused.example/", "http://jobfails.example/"});
    method(1);
    // A capture program that says why it failed is quoted; one that says
    // nothing is a failed capture.
    rendering.uncapturable = {"http://nocapture.example/", "http://refused.example/"};
    rendering.captureReasons["http://refused.example/"] =
        QStringLiteral("cannot load http://refused.example/: the connection was refused");
    fake.printers.stateScript[2] = {JobState::Pending, JobState::Failed};
    run();
    EXPECT_TRUE(errors().empty()) << "a capture that writes nothing shows no box";
    ASSERT_EQ(messages().size(), 1);
    EXPECT_EQ(messages()[0], QStringLiteral("Done.\r\n\r\n3 entries gave no PDF:\r\n"
                                            "http://nocapture.example/: capture failed\r\n"
                                            "http://refused.example/: cannot load http://refused.example/: "
                                            "the connection was refused\r\n"
                                            "http://jobfails.example/: printer job failed"));
    EXPECT_TRUE(pdf("ok.example_.pdf"));
    EXPECT_EQ(QDir(out.path()).entryList({"*.jpg"}, QDir::Files), QStringList());
}

TEST_F(SaveRunTest, WaitsForThePrinterAndGivesUpAStuckJob) {
    add({"http://slow.example/", "http://stuck.example/"});
    method(2);
    fake.printers.stateScript[1] = std::deque<JobState>(40, JobState::Pending);
    fake.printers.stateScript[1].push_back(JobState::Finished);
    fake.printers.stateScript[2] = {JobState::Pending};
    run();
    EXPECT_TRUE(pdf("slow.example_.pdf"));
    EXPECT_EQ(fake.printers.cancelled, std::vector<int>{2});
    EXPECT_GE(fake.events.now, kJobWaitLimitSeconds * 1000LL);
    EXPECT_TRUE(messages()[0].endsWith(QStringLiteral("http://stuck.example/: printer job timed out")));
}

TEST_F(SaveRunTest, AsksThePrinterOncePerIntervalHoweverOftenEventsWakeIt) {
    add({"http://slow.example/"});
    method(2);
    fake.printers.stateScript[1] = std::deque<JobState>(1000, JobState::Pending);
    fake.printers.stateScript[1].push_back(JobState::Finished);
    fake.events.longestWaitMs = 5;  // some event ends every wait early
    run();
    // A thousand "still pending" answers, one per 100 ms once the first few
    // quick ones are asked: about 100 s of waiting.
    EXPECT_GE(fake.events.now, 99'000);
    EXPECT_EQ(messages(), QStringList({QStringLiteral("Done.")}));
}

TEST_F(SaveRunTest, UnknownJobStateFallsBackToTheFixedPauses) {
    add({"http://a.example/"});
    method(3);
    fake.printers.stateScript[1] = {JobState::Unknown};
    run();
    EXPECT_GE(fake.events.now, 10000 + 2000 + 1000);
    EXPECT_EQ(fake.events.blockedMs, 2000);
    EXPECT_EQ(messages(), QStringList({QStringLiteral("Done.")}));
}

TEST_F(SaveRunTest, PrinterThatCannotBeMadeDefaultProcessesNothing) {
    add({"http://a.example/"});
    fake.printers.refuseDefault = true;
    run();
    EXPECT_TRUE(rendering.calls.isEmpty());
    EXPECT_EQ(fake.printers.defaultsSet, std::vector<QString>{QStringLiteral("Marrowby PDF Writer")});
    EXPECT_EQ(fake.printers.defaultDevice(), QStringLiteral("Office Laser"));
    EXPECT_TRUE(messages()[0].endsWith(
        QStringLiteral("http://a.example/: the PDF printer could not be made the default printer")));
    EXPECT_FALSE(front.IsBusy());
}

TEST_F(SaveRunTest, SecondPressWhileBusyIsRefused) {
    add({"http://a.example/", "http://b.example/"});
    method(2);
    int nested = 0;
    rendering.onPage = [&](const QString&) {
        ++nested;
        run();  // the button pressed again while the run handles events
    };
    run();
    EXPECT_EQ(nested, 2);
    EXPECT_EQ(fake.printers.jobs.size(), 2u);
    EXPECT_EQ(messages(), QStringList({QStringLiteral("Done.")}));
}

// Entries of one run whose addresses clean to one name: a later one whose PDF
// name this run has already written gets the next free number, as the printer
// numbers names in ~/PDF, its temporary file too, and the closing message
// names it. A name whose entry wrote nothing is free.
TEST_F(SaveRunTest, NamesAlreadyWrittenInTheRunAreNumbered) {
    const QString renamedTwo = QStringLiteral(
        "Done.\r\n\r\n2 entries were saved under numbered names, as earlier entries of this run had their names:\r\n"
        "http://a.example/7*x: saved as a.example_7 x (2).pdf\r\n"
        "http://a.example/7:x: saved as a.example_7 x (3).pdf");
    struct Case {
        const char* name;
        int method;
        std::vector<const char*> entries;
        std::set<QString> unloadable;
        QStringList temporaries;  // in the order written
        QStringList files;        // left in the folder
        QString message;
    };
    const Case cases[] = {
        {"pictures", 1, {"http://a.example/7?x", "http://a.example/7*x", "http://a.example/7:x"}, {},
         {"a.example_7 x.jpg", "a.example_7 x (2).jpg", "a.example_7 x (3).jpg"},
         {"a.example_7 x (2).pdf", "a.example_7 x (3).pdf", "a.example_7 x.pdf"}, renamedTwo},
        {"live pages", 2, {"http://a.example/7?x", "http://a.example/7*x", "http://a.example/7:x"}, {}, {},
         {"a.example_7 x (2).pdf", "a.example_7 x (3).pdf", "a.example_7 x.pdf"}, renamedTwo},
        {"page copies", 3, {"http://a.example/7?x", "http://a.example/7*x", "http://a.example/7:x"}, {},
         {"a.example_7 x.htm", "a.example_7 x (2).htm", "a.example_7 x (3).htm"},
         {"a.example_7 x (2).pdf", "a.example_7 x (3).pdf", "a.example_7 x.pdf"}, renamedTwo},
        {"a numbered name taken by an address", 2,
         {"http://a.example/7?x", "http://a.example/7?x (2)", "http://a.example/7*x"}, {}, {},
         {"a.example_7 x (2).pdf", "a.example_7 x (3).pdf", "a.example_7 x.pdf"},
         QStringLiteral("Done.\r\n\r\n1 entry was saved under a numbered name, as an earlier entry of this run had "
                        "its name:\r\nhttp://a.example/7*x: saved as a.example_7 x (3).pdf")},
        {"the first gave no PDF", 2, {"http://a.example/7?x", "http://a.example/7*x"}, {"http://a.example/7?x"}, {},
         {"a.example_7 x.pdf"},
         QStringLiteral("Done.\r\n\r\n1 entry gave no PDF:\r\nhttp://a.example/7?x: page failed to load")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(out.path()).removeRecursively();
        QDir().mkpath(out.path());
        front.entries.clear();
        fake.dialogs.shown.clear();
        rendering.temporaries.clear();
        rendering.unloadable = c.unloadable;
        for (const char* entry : c.entries) add({entry});
        method(c.method);
        run();
        EXPECT_EQ(rendering.temporaries, c.temporaries);
        EXPECT_EQ(QDir(out.path()).entryList(QDir::Files, QDir::Name), c.files);
        EXPECT_EQ(messages(), QStringList({c.message}));
    }
    // A later run replaces the names of an earlier one, as always.
    fake.dialogs.shown.clear();
    run();
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files, QDir::Name), QStringList({"a.example_7 x.pdf"}));
    EXPECT_EQ(messages(), QStringList({QStringLiteral("Done.\r\n\r\n1 entry gave no PDF:\r\n"
                                                      "http://a.example/7?x: page failed to load")}));
}

TEST_F(SaveRunTest, ClosingDuringARunPutsTheDefaultPrinterBack) {
    add({"http://a.example/"});
    method(2);
    rendering.onPage = [&](const QString&) {
        EXPECT_EQ(fake.printers.defaultDevice(), QStringLiteral("Marrowby PDF Writer"));
        saveRun.RestoreDefaultPrinter();
        EXPECT_EQ(fake.printers.defaultDevice(), QStringLiteral("Office Laser"));
    };
    run();
}

// Closing the window while the entry's print is awaited removes the entry's
// picture or page copy, and only that: a file of the same name that the run
// did not write stays.
TEST_F(SaveRunTest, ClosingDuringARunRemovesTheEntrysTemporaryFile) {
    struct Case {
        int method;
        const char* usersFile;  // there before the run, or empty
        QStringList leftAtClose;
    };
    const Case cases[] = {
        {1, "", {"a.example_.jpg"}},
        {3, "", {"a.example_.htm"}},
        {2, "a.example_.jpg", {}},  // this method writes no picture
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.method);
        QDir(out.path()).removeRecursively();
        QDir().mkpath(out.path());
        if (*c.usersFile) QFile(folder + c.usersFile).open(QIODevice::WriteOnly);
        front.entries.clear();
        add({"http://a.example/"});
        method(c.method);
        const size_t jobsBefore = fake.printers.jobs.size();
        fake.printers.stateScript[static_cast<int>(jobsBefore) + 1] = {JobState::Pending, JobState::Finished};
        bool closed = false;
        QStringList before, after;
        fake.events.onProcess = [&] {
            if (closed || fake.printers.jobs.size() == jobsBefore) return;  // once, while the job is awaited
            closed = true;
            before = QDir(out.path()).entryList({"*.jpg", "*.htm"}, QDir::Files);
            saveRun.DeleteTemporaryFile();
            after = QDir(out.path()).entryList({"*.jpg", "*.htm"}, QDir::Files);
        };
        run();
        fake.events.onProcess = nullptr;
        ASSERT_TRUE(closed);
        QStringList expectedBefore = c.leftAtClose;
        if (*c.usersFile) expectedBefore << c.usersFile;
        EXPECT_EQ(before, expectedBefore);
        EXPECT_EQ(after, *c.usersFile ? QStringList({c.usersFile}) : QStringList());
    }
}

TEST_F(SaveRunTest, RemovalAndClearingAreTheListsBusinessWhileBusy) {
    add({"http://a.example/"});
    method(2);
    bool busyDuringRun = false;
    rendering.onPage = [&](const QString&) { busyDuringRun = front.IsBusy(); };
    run();
    EXPECT_TRUE(busyDuringRun);
    EXPECT_FALSE(front.IsBusy());
}

// The rendering is told, once per entry, the entry in hand and up to K after
// it with the method in force at that moment; jobs, control values and
// progress stay in list order whatever it prepares.
TEST_F(SaveRunTest, LookAheadNamesTheComingEntriesAndJobsStayInListOrder) {
    struct Case {
        int entries;
        QStringList aheads;
    };
    const Case cases[] = {
        {0, {""}},  // nothing prepared: every entry in its own turn, as without look-ahead
        {1, {"a:2 b:2", "b:2 c:2", "c:2", ""}},
        {4, {"a:2 b:2 c:2", "b:2 c:2", "c:2", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entries);
        front.entries.clear();
        rendering.aheads.clear();
        rendering.pointedAt.clear();
        progress.texts.clear();
        add({"http://a.example/", "http://b.example/", "http://c.example/"});
        method(2);
        saveRun.SetLookAheadEntries(c.entries);
        run();
        EXPECT_EQ(rendering.aheads, c.aheads);
        EXPECT_EQ(rendering.pointedAt, QStringList({"a.example_.pdf", "b.example_.pdf", "c.example_.pdf"}));
        EXPECT_EQ(progress.texts, (std::vector<QString>{"Processing: http://a.example/", "Processing: http://b.example/",
                                                        "Processing: http://c.example/", "Progress Bar"}));
    }
}

TEST_F(SaveRunTest, LookAheadFollowsChangesMadeDuringTheRun) {
    struct Case {
        const char* name;
        std::function<void()> duringFirstPage;
        QStringList aheads;
        QStringList calls;
    };
    const Case cases[] = {
        {"method changed", [&] { method(3); },
         {"a:2 b:2 c:2", "b:3 c:3", "c:3", ""},
         {"print http://a.example/", "download http://b.example/", "print " + folder + "b.example_.htm",
          "delete b.example_.htm", "download http://c.example/", "print " + folder + "c.example_.htm",
          "delete c.example_.htm"}},
        {"entry added", [&] { add({"http://late.example/"}); },
         {"a:2 b:2 c:2", "b:2 c:2", "c:2", ""},
         {"print http://a.example/", "print http://b.example/", "print http://c.example/"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        front.entries.clear();
        rendering.aheads.clear();
        rendering.calls.clear();
        add({"http://a.example/", "http://b.example/", "http://c.example/"});
        method(2);
        rendering.onPage = [&](const QString& target) {
            if (target == "http://a.example/") c.duringFirstPage();
        };
        run();
        EXPECT_EQ(rendering.aheads, c.aheads);
        EXPECT_EQ(rendering.calls, c.calls);
    }
}

TEST_F(SaveRunTest, FailingEntryInTheMiddleKeepsItsFailureAndTheOthersTheirPdfs) {
    add({"http://a.example/", "http://b.example/", "http://c.example/"});
    method(2);
    rendering.unloadable = {"http://b.example/"};
    run();
    EXPECT_EQ(rendering.pointedAt, QStringList({"a.example_.pdf", "c.example_.pdf"}));
    EXPECT_TRUE(pdf("a.example_.pdf"));
    EXPECT_FALSE(pdf("b.example_.pdf"));
    EXPECT_TRUE(pdf("c.example_.pdf"));
    EXPECT_EQ(messages(), QStringList({QStringLiteral("Done.\r\n\r\n1 entry gave no PDF:\r\n"
                                                      "http://b.example/: page failed to load")}));
}

}  // namespace
}  // namespace quendrel
