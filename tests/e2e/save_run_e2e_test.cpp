// Whole save runs through the real parts: the main window offscreen, CUPS with
// the Marrowby PDF Writer queue and its backend, the system's Chromium, the capture
// program, and pages served on 127.0.0.1.
#include "app/main_window.h"
#include "pdfprinter/control_values.h"
#include "platform/cups_print_system.h"
#include "platform/file_printer_control_store.h"
#include "platform/posix_process_launcher.h"
#include "platform/qt_event_pump.h"
#include "sitelist/site_list_view.h"
#include "support/fake_platform.h"
#include "support/local_http_server.h"
#include "support/renderer_killer.h"
#include "support/peak_memory.h"
#include "support/poppler_tools.h"
#include "support/qstring_printer.h"
#include "support/watchdog.h"
#include "user_default_printer.h"

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>
#include <cstdio>
#include <sys/stat.h>

namespace quendrel {
namespace {

using testing::HttpResponse;
using testing::LocalHttpServer;
using testing::ShownBox;

const QString kQueue = QStringLiteral("Marrowby_PDF_Writer");

QByteArray page(const QByteArray& words) {
    return "<html><head><title>" + words + "</title></head><body><h1>" + words +
           "</h1><p>Quendrel end to end page.</p></body></html>";
}

int runTool(const QString& program, const QStringList& arguments) {
    QProcess tool;
    tool.start(program, arguments);
    tool.waitForFinished(30'000);
    return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
}

QString toolOutput(const QString& program, const QStringList& arguments,
                   const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess tool;
    tool.setProcessEnvironment(environment);
    tool.start(program, arguments);
    tool.waitForFinished(30'000);
    return QString::fromLocal8Bit(tool.readAllStandardOutput());
}

// An X server of the test's own on a free display, as a desktop session has
// one; the tests otherwise run without any.
class XvfbDisplay {
public:
    XvfbDisplay() {
        server_.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                                               QStringLiteral("0"), QStringLiteral("1280x1024x24"),
                                               QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        server_.waitForStarted();
        QElapsedTimer timer;
        timer.start();
        while (!server_.canReadLine() && server_.state() == QProcess::Running && timer.elapsed() < 20'000)
            server_.waitForReadyRead(100);
        const QByteArray number = server_.readLine().trimmed();
        if (!number.isEmpty()) name_ = QStringLiteral(":") + QString::fromLatin1(number);
    }
    ~XvfbDisplay() {
        server_.terminate();
        if (!server_.waitForFinished(5'000)) server_.kill();
    }
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;
    // ":N", or empty text when the server did not start.
    const QString& name() const { return name_; }
    // The environment of a Qt program that shows its windows there.
    QProcessEnvironment environment() const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), name_);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        return environment;
    }

private:
    QProcess server_;
    QString name_;
};

bool underX() { return QGuiApplication::platformName() == QStringLiteral("xcb"); }

// Runs one test of this program again with its windows on an X server, and
// gives whether it passed.
::testing::AssertionResult passesUnderX(const char* test) {
    XvfbDisplay display;
    if (display.name().isEmpty()) return ::testing::AssertionFailure() << "Xvfb did not start";
    QProcess child;
    child.setProcessEnvironment(display.environment());
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=") + QString::fromLatin1(test)});
    child.waitForFinished(300'000);
    const QString output = QString::fromLocal8Bit(child.readAll());
    if (child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0 &&
        output.contains(QStringLiteral("[  PASSED  ] 1 test")))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << output.toStdString();
}

// Counts the times a window's native window is replaced.
class WinIdChanges : public QObject {
public:
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::WinIdChange) ++count;
        return false;
    }
};

class SaveRunEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(out.isValid());
        const QString build = qEnvironmentVariable("QUENDREL_BUILD_DIR");
        ASSERT_FALSE(build.isEmpty()) << "run through ctest";
        desktop.program = build + QStringLiteral("/bin");
        ASSERT_TRUE(QFileInfo::exists(desktop.program + QStringLiteral("/iecapt")));
        ASSERT_TRUE(cups.printerDeviceNames().contains(QStringLiteral("Marrowby PDF Writer")))
            << "cupsd must run with the PDF printer installed";
        server.serve("/alpha.html", HttpResponse::html(page("Alpha Crimson Falcon")));
        server.serve("/beta.html", HttpResponse::html(page("Beta Silver Otter")));
        server.serve("/gamma.html", HttpResponse::html(page("Gamma Amber Lynx")));
        window = std::make_unique<MainWindow>(platform);
        window->Load();
        form().Text1->setText(out.path() + QLatin1Char('/'));
    }
    void TearDown() override { runTool(QStringLiteral("cupsenable"), {kQueue}); }

    Form1& form() { return window->form(); }
    void add(const QString& address) { form().ListView1->entries().append(address); }
    void choose(int method) {
        QRadioButton* options[] = {form().Option1, form().Option2, form().Option3};
        QTest::mouseClick(options[method - 1], Qt::LeftButton);
    }
    void start() { QTest::mouseClick(form().PushButton2, Qt::LeftButton); }
    QString closingMessage() {
        const auto boxes = dialogs.boxesOf(ShownBox::Message);
        return boxes.empty() ? QString() : boxes.back().text;
    }
    QString pdf(const QString& name) { return out.path() + QLatin1Char('/') + name; }
    QStringList files() { return QDir(out.path()).entryList(QDir::Files, QDir::Name); }
    QString addressName(const QString& path) {  // "127.0.0.1 PORT_alpha.html"
        return QStringLiteral("127.0.0.1 %1_%2").arg(server.port()).arg(path);
    }

    QTemporaryDir out;
    LocalHttpServer server;
    testing::FakeDialogs dialogs;
    testing::FakeSettings settings;
    testing::FakeDesktop desktop;
    platform::QtEventPump events;
    platform::CupsPrintSystem cups;
    platform::FilePrinterControlStore control;
    platform::PosixProcessLauncher processes;
    platform::Platform platform{dialogs, settings, desktop, events, cups, control, processes};
    std::unique_ptr<MainWindow> window;
};

TEST_F(SaveRunEndToEnd, EachMethodTurnsThreePagesIntoThreePdfs) {
    const char* pages[] = {"alpha.html", "beta.html", "gamma.html"};
    const char* words[] = {"Alpha Crimson Falcon", "Beta Silver Otter", "Gamma Amber Lynx"};
    for (int method = 1; method <= 3; ++method) {
        SCOPED_TRACE(method);
        form().ListView1->entries().clear();
        QDir(out.path()).removeRecursively();
        QDir().mkpath(out.path());
        dialogs.shown.clear();
        for (const char* name : pages) add(server.url(QLatin1Char('/') + QLatin1String(name)));
        choose(method);
        start();
        EXPECT_EQ(closingMessage(), QStringLiteral("Done."));
        QStringList expected;
        for (const char* name : pages) expected << addressName(QString::fromLatin1(name)) + QStringLiteral(".pdf");
        EXPECT_EQ(files(), expected) << "only the PDFs are left";
        for (int i = 0; i < 3; ++i) {
            const QString file = pdf(expected[i]);
            EXPECT_EQ(QFileInfo(file).ownerId(), getuid());
            if (method == 1) {
                EXPECT_EQ(testing::PdfInfoField(file, QStringLiteral("Pages")), QStringLiteral("1"));
            } else {
                EXPECT_TRUE(testing::PdfText(file).contains(QString::fromLatin1(words[i]))) << file.toStdString();
            }
        }
        EXPECT_EQ(QString::fromStdString(
                      marrowby::readControlValue(QDir::homePath().toStdString(), "OutputFile").text),
                  pdf(expected[2]));
    }
}

// What gives no page is named in the closing report, with why, for every
// method: an unreachable address, a server's error page, a page whose
// renderer dies while it settles. A page sent on by its script before its
// load prints the page it arrives at.
TEST_F(SaveRunEndToEnd, WhatGivesNoPageIsReportedAndLeavesNoTemporaryFile) {
    const QString unreachable = QStringLiteral("http://127.0.0.1:%1/nothing.html").arg(LocalHttpServer::closedPort());
    server.serve("/gone.html", HttpResponse::html(page("Gone Page Marker"), 404));
    server.serve("/leaving.html", HttpResponse::html("<script>location.replace('gamma.html')</script>"));
    server.serve("/heavy.html", HttpResponse::html(testing::kHeavyPage));
    const QString gone = server.url(QStringLiteral("/gone.html"));
    const QString heavy = server.url(QStringLiteral("/heavy.html"));
    for (int method = 1; method <= 3; ++method) {
        SCOPED_TRACE(method);
        form().ListView1->entries().clear();
        QDir(out.path()).removeRecursively();
        QDir().mkpath(out.path());
        dialogs.shown.clear();
        for (const QString& address : {server.url(QStringLiteral("/alpha.html")), unreachable, gone,
                                       server.url(QStringLiteral("/leaving.html")), heavy,
                                       server.url(QStringLiteral("/beta.html"))})
            add(address);
        choose(method);
        const testing::RendererKiller killer(getpid());
        start();
        EXPECT_TRUE(killer.killed());
        const QString message = closingMessage();
        EXPECT_TRUE(message.startsWith(QStringLiteral("Done.\r\n\r\n3 entries gave no PDF:\r\n"))) << message.toStdString();
        EXPECT_TRUE(message.contains(unreachable + ": ")) << message.toStdString();
        EXPECT_TRUE(message.contains(QRegularExpression(QRegularExpression::escape(gone) + ": .*404 Not Found")))
            << message.toStdString();
        EXPECT_TRUE(message.contains(QRegularExpression(QRegularExpression::escape(heavy) + ": .*the page crashed")))
            << message.toStdString();
        const QStringList expected{addressName("alpha.html") + ".pdf", addressName("beta.html") + ".pdf",
                                   addressName("leaving.html") + ".pdf"};
        EXPECT_EQ(files(), expected) << "only the PDFs of pages are left";
        if (method != 1) {
            EXPECT_TRUE(testing::PdfText(pdf(expected[2])).contains(QStringLiteral("Gamma Amber Lynx")));
        }
    }
}

// A page without end, streamed as fast as the machine moves it: its entry
// stops at the limit and says why, no page file of it is left, the next
// entry still prints and the default printer comes back; the program's
// memory stays far below what the page sent.
TEST_F(SaveRunEndToEnd, APageWithoutEndFailsAtTheLimitAndTheRunGoesOn) {
    // The server ends it at last only so that a program that keeps all of it
    // cannot take the machine's memory; for one that stops at the limit it
    // has no end.
    server.serve("/endless.html", HttpResponse::streamed(256LL << 20, /*lengthAnnounced=*/false));
    const QString endless = server.url(QStringLiteral("/endless.html"));
    add(endless);
    add(server.url(QStringLiteral("/beta.html")));
    choose(3);
    const QString defaultBefore = default_printer_e2e::lpstatDefault();
    ASSERT_TRUE(testing::ResetPeakResident());
    const long long before = testing::PeakResidentKb();
    start();
    const long long peakKb = testing::PeakResidentKb();
    RecordProperty("peak_resident_kb", QString::number(peakKb).toStdString());
    RecordProperty("peak_growth_kb", QString::number(peakKb - before).toStdString());
    EXPECT_EQ(closingMessage(),
              QStringLiteral("Done.\r\n\r\n1 entry gave no PDF:\r\n") + endless + QStringLiteral(": the page is larger than 50 MB"));
    const QString beta = addressName("beta.html") + QStringLiteral(".pdf");
    EXPECT_EQ(files(), QStringList({beta})) << "no page file is left";
    EXPECT_TRUE(testing::PdfText(pdf(beta)).contains(QStringLiteral("Beta Silver Otter")));
    EXPECT_LT(peakKb - before, 64 * 1024) << "peak memory rose by " << peakKb - before << " kB";
    EXPECT_EQ(default_printer_e2e::lpstatDefault(), defaultBefore);
}

TEST_F(SaveRunEndToEnd, HeldQueueStillGivesEveryPdfItsOwnName) {
    const char* pages[] = {"alpha.html", "beta.html", "gamma.html"};
    const char* words[] = {"Alpha Crimson Falcon", "Beta Silver Otter", "Gamma Amber Lynx"};
    for (const char* name : pages) add(server.url(QLatin1Char('/') + QLatin1String(name)));
    choose(2);
    ASSERT_EQ(runTool(QStringLiteral("cupsdisable"), {kQueue}), 0) << "the test user may stop the queue";
    QTimer::singleShot(15'000, [] { runTool(QStringLiteral("cupsenable"), {kQueue}); });
    start();
    EXPECT_EQ(closingMessage(), QStringLiteral("Done."));
    for (int i = 0; i < 3; ++i) {
        const QString file = pdf(addressName(QString::fromLatin1(pages[i])) + QStringLiteral(".pdf"));
        ASSERT_TRUE(QFileInfo::exists(file));
        const QString text = testing::PdfText(file);
        EXPECT_TRUE(text.contains(QString::fromLatin1(words[i])));
        for (int j = 0; j < 3; ++j) {
            if (j != i) {
                EXPECT_FALSE(text.contains(QString::fromLatin1(words[j])));
            }
        }
    }
}

TEST_F(SaveRunEndToEnd, EveryKindOfDefaultPrinterIsNoFailureAndComesBackExactly) {
    printer_e2e::LpoptionsGuard choices;
    for (const default_printer_e2e::DefaultCase& c : default_printer_e2e::kDefaultCases) {
        SCOPED_TRACE(c.what);
        form().ListView1->entries().clear();
        dialogs.shown.clear();
        QDir(out.path()).removeRecursively();
        QDir().mkpath(out.path());
        const auto queues = default_printer_e2e::arrange(c);
        for (const auto& queue : queues) ASSERT_TRUE(queue->made());
        const QByteArray choicesBefore = printer_e2e::readFile(choices.path()).value_or(QByteArray());
        const QString inForce = default_printer_e2e::lpstatDefault();
        add(server.url(QStringLiteral("/alpha.html")));
        add(server.url(QStringLiteral("/beta.html")));
        choose(2);
        start();
        EXPECT_EQ(dialogs.shown.size(), 1u) << "no box but the closing message";
        EXPECT_EQ(closingMessage(), QStringLiteral("Done."));
        EXPECT_EQ(files(), QStringList({addressName("alpha.html") + ".pdf", addressName("beta.html") + ".pdf"}));
        EXPECT_EQ(default_printer_e2e::lpstatDefault(), inForce);
        EXPECT_EQ(printer_e2e::readFile(choices.path()).value_or(QByteArray()), choicesBefore);
    }
}

// A device, a FIFO that nobody writes to and a folder chosen as the list file
// are each answered at once with a message; the list stays as it was and the
// window goes on to print it.
TEST_F(SaveRunEndToEnd, ImportingWhatIsNoFileLeavesTheListToTheRun) {
    const QString fifo = out.filePath(QStringLiteral("a-fifo"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString folder = out.filePath(QStringLiteral("a-folder"));
    ASSERT_TRUE(QDir().mkpath(folder));
    add(server.url(QStringLiteral("/alpha.html")));
    for (const QString& chosen : {QStringLiteral("/dev/zero"), fifo, folder}) {
        SCOPED_TRACE(chosen.toStdString());
        dialogs.shown.clear();
        dialogs.answers.push_back(chosen);
        {
            testing::Watchdog watchdog(5'000, "the import");
            QTest::mouseClick(form().PushButton6, Qt::LeftButton);
        }
        const auto messages = dialogs.boxesOf(ShownBox::Message);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text, QStringLiteral("Not a regular file. Please select another file."));
        EXPECT_EQ(form().ListView1->entries().count(), 1);
    }
    QFile::remove(fifo);
    QDir(folder).removeRecursively();
    choose(2);
    start();
    EXPECT_EQ(closingMessage(), QStringLiteral("Done."));
    EXPECT_EQ(files(), QStringList({addressName("alpha.html") + ".pdf"}));
}

// Two addresses of one run that clean to one name: the later PDF is numbered
// as the printer numbers names in ~/PDF, and the closing message says so. Each
// PDF holds its own page.
TEST_F(SaveRunEndToEnd, EqualNamesInOneRunAreNumberedForEveryMethod) {
    server.serve("/7", HttpResponse::html(page("Seven Query Page")));
    server.serve("/7*x", HttpResponse::html(page("Seven Star Page")));
    const QString first = server.url(QStringLiteral("/7?x"));
    const QString second = server.url(QStringLiteral("/7*x"));
    const QString name = addressName(QStringLiteral("7 x"));
    for (int method = 1; method <= 3; ++method) {
        SCOPED_TRACE(method);
        form().ListView1->entries().clear();
        QDir(out.path()).removeRecursively();
        QDir().mkpath(out.path());
        dialogs.shown.clear();
        add(first);
        add(second);
        choose(method);
        start();
        EXPECT_EQ(closingMessage(), QStringLiteral("Done.\r\n\r\n1 entry was saved under a numbered name, as an earlier "
                                                   "entry of this run had its name:\r\n") +
                                        second + QStringLiteral(": saved as ") + name + QStringLiteral(" (2).pdf"));
        EXPECT_EQ(files(), QStringList({name + " (2).pdf", name + ".pdf"})) << "only the PDFs are left";
        EXPECT_EQ(testing::PdfInfoField(pdf(name + ".pdf"), QStringLiteral("Subject")), first);
        EXPECT_EQ(testing::PdfInfoField(pdf(name + " (2).pdf"), QStringLiteral("Subject")), second);
        if (method != 1) {
            EXPECT_TRUE(testing::PdfText(pdf(name + ".pdf")).contains(QStringLiteral("Seven Query Page")));
            EXPECT_TRUE(testing::PdfText(pdf(name + " (2).pdf")).contains(QStringLiteral("Seven Star Page")));
        }
    }
}

// Closing the window in the middle of a run ends the program there, as the
// program wires it; the entry's picture (method 1) or page copy (method 3),
// there while its print is awaited, goes with it. The closing runs in a child
// run of this test, since it ends its process.
TEST_F(SaveRunEndToEnd, ClosingTheWindowMidRunLeavesNoTemporaryFile) {
    const QString test = QStringLiteral("SaveRunEndToEnd.ClosingTheWindowMidRunLeavesNoTemporaryFile");
    const QString childFolder = qEnvironmentVariable("QUENDREL_CLOSE_INTO");
    if (childFolder.isEmpty()) {
        for (int method : {1, 3}) {
            SCOPED_TRACE(method);
            QTemporaryDir folder;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("QUENDREL_CLOSE_INTO"), folder.path());
            environment.insert(QStringLiteral("QUENDREL_CLOSE_METHOD"), QString::number(method));
            QProcess child;
            child.setProcessEnvironment(environment);
            child.setProcessChannelMode(QProcess::MergedChannels);
            child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=") + test});
            ASSERT_TRUE(child.waitForFinished(120'000));
            const QString output = QString::fromLocal8Bit(child.readAll());
            EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
            EXPECT_TRUE(output.contains(QStringLiteral("closing the window with "))) << output.toStdString();
            EXPECT_EQ(QDir(folder.path()).entryList({"*.jpg", "*.htm"}, QDir::Files), QStringList());
        }
        return;
    }
    out.remove();  // this process ends without cleaning up; the parent's folder is used
    window->EndProcessOnClose();
    form().Text1->setText(childFolder + QLatin1Char('/'));
    add(server.url(QStringLiteral("/alpha.html")));
    choose(qEnvironmentVariableIntValue("QUENDREL_CLOSE_METHOD"));
    QTimer watch;
    watch.setInterval(5);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const QStringList temporary = QDir(childFolder).entryList({"*.jpg", "*.htm"}, QDir::Files);
        if (temporary.isEmpty()) return;
        std::printf("closing the window with %s\n", qPrintable(temporary.join(' ')));
        std::fflush(stdout);
        form().close();
    });
    watch.start();
    start();
    ADD_FAILURE() << "the run ended and the window was not closed";
}

TEST_F(SaveRunEndToEnd, TheMainWindowKeepsItsNativeWindowWhenTheBrowserIsMade) {
    if (!underX()) {
        EXPECT_TRUE(passesUnderX("SaveRunEndToEnd.TheMainWindowKeepsItsNativeWindowWhenTheBrowserIsMade"));
        return;
    }
    form().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form()));
    const WId shown = form().winId();
    const QPoint place = form().pos();
    WinIdChanges changes;
    form().installEventFilter(&changes);
    add(server.url(QStringLiteral("/alpha.html")));
    choose(2);  // the first page load of the run makes the browser
    start();
    EXPECT_EQ(closingMessage(), QStringLiteral("Done."));
    EXPECT_TRUE(QFileInfo::exists(pdf(addressName("alpha.html") + ".pdf")));
    EXPECT_EQ(form().winId(), shown);
    EXPECT_EQ(changes.count, 0);
    EXPECT_TRUE(form().isVisible());
    EXPECT_EQ(form().pos(), place);
    // Nothing else is seen: a window that Qt put up for the browser lies off
    // every screen.
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        if (window == form().windowHandle() || !window->isExposed()) continue;
        for (const QScreen* screen : QGuiApplication::screens())
            EXPECT_FALSE(screen->virtualGeometry().intersects(window->frameGeometry())) << window->objectName().toStdString();
    }
}

// What X shows under the pointer over a control: the pointer Qt put on the
// native window the control draws in.
Qt::CursorShape pointerShownOver(QWidget* control) {
    QWidget* native = control->internalWinId() ? control : control->nativeParentWidget();
    return native && native->windowHandle() ? native->windowHandle()->cursor().shape() : Qt::BlankCursor;
}

// While a run waits for its page, the real pointer over every push button and
// over the list is the hourglass, as over the rest of the window; before the
// run it is the hand over a button.
TEST_F(SaveRunEndToEnd, ThePointerIsTheHourglassOverEveryControlWhileTheRunWaits) {
    if (!underX()) {
        EXPECT_TRUE(passesUnderX("SaveRunEndToEnd.ThePointerIsTheHourglassOverEveryControlWhileTheRunWaits"));
        return;
    }
    form().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form()));
    HttpResponse slow = HttpResponse::html(page("Delta Slate Heron"));
    slow.delayMs = 5'000;
    server.serve("/slow.html", slow);
    add(server.url(QStringLiteral("/slow.html")));
    choose(2);
    const auto pointTo = [](QWidget* control) {
        QTest::mouseMove(control);  // the real pointer, through the X server
        QTest::qWait(250);
    };
    pointTo(form().PushButton1);
    EXPECT_EQ(pointerShownOver(form().PushButton1), Qt::PointingHandCursor);

    QWidget* controls[] = {form().PushButton1, form().PushButton6, form().PushButton7, form().PushButton4,
                           form().PushButton3, form().PushButton2, form().ListView1->viewport()};
    std::vector<std::pair<QString, Qt::CursorShape>> seen;
    QTimer::singleShot(1'000, &form(), [&] {  // the page is still on its way
        for (QWidget* control : controls) {
            pointTo(control);
            seen.emplace_back(control->objectName() + QLatin1Char('/') + QString::fromLatin1(control->metaObject()->className()),
                              pointerShownOver(control));
        }
    });
    start();
    EXPECT_EQ(closingMessage(), QStringLiteral("Done."));
    ASSERT_EQ(seen.size(), std::size(controls)) << "the run ended before its page came";
    for (const auto& [control, shape] : seen) EXPECT_EQ(shape, Qt::WaitCursor) << control.toStdString();
}

// The program as it is installed: its window, named after the product, shows
// its icon to the desktop from the start.
// Pages of this run, each with its own words, served with a little delay so
// that two runs at once interleave their jobs.
QStringList servedPages(LocalHttpServer& server, const QString& run, int count) {
    QStringList addresses;
    for (int i = 0; i < count; ++i) {
        const QByteArray words = QStringLiteral("%1 page %2 Heron").arg(run).arg(i).toUtf8();
        HttpResponse response = HttpResponse::html(page(words));
        response.delayMs = 300;
        const QByteArray path = QStringLiteral("/%1-%2.html").arg(run).arg(i).toUtf8();
        server.serve(path, response);
        addresses << server.url(QString::fromUtf8(path));
    }
    return addresses;
}

// Every PDF of the run holds its own page's words.
void expectEachPdfHoldsItsPage(const QString& folder, LocalHttpServer& server, const QString& run, int count) {
    for (int i = 0; i < count; ++i) {
        const QString pdf = folder + QStringLiteral("/127.0.0.1 %1_%2-%3.html.pdf").arg(server.port()).arg(run).arg(i);
        EXPECT_TRUE(testing::PdfText(pdf).contains(QStringLiteral("%1 page %2 Heron").arg(run).arg(i)))
            << pdf.toStdString() << ": " << testing::PdfText(pdf).toStdString();
    }
}

constexpr int kPagesPerRun = 4;

// The window of a second run, started by the test below as a program of its
// own; it does nothing when run alone.
TEST_F(SaveRunEndToEnd, SecondWindowOfTwoRunsAtOnce) {
    const QString folder = qEnvironmentVariable("QUENDREL_SECOND_WINDOW_FOLDER");
    if (folder.isEmpty()) GTEST_SKIP() << "started by TwoWindowsOfOneUserAtOnceEachGetTheirOwnPages";
    form().Text1->setText(folder + QLatin1Char('/'));
    for (const QString& address : servedPages(server, QStringLiteral("second"), kPagesPerRun)) add(address);
    choose(2);
    start();
    EXPECT_EQ(closingMessage(), QStringLiteral("Done."));
    expectEachPdfHoldsItsPage(folder, server, QStringLiteral("second"), kPagesPerRun);
}

TEST_F(SaveRunEndToEnd, TwoWindowsOfOneUserAtOnceEachGetTheirOwnPages) {
    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QUENDREL_SECOND_WINDOW_FOLDER"), out.path());
    second.setProcessEnvironment(environment);
    second.setProcessChannelMode(QProcess::MergedChannels);
    second.start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--gtest_filter=SaveRunEndToEnd.SecondWindowOfTwoRunsAtOnce")});
    ASSERT_TRUE(second.waitForStarted());
    for (const QString& address : servedPages(server, QStringLiteral("first"), kPagesPerRun)) add(address);
    choose(2);
    start();
    EXPECT_EQ(closingMessage(), QStringLiteral("Done."));
    expectEachPdfHoldsItsPage(out.path(), server, QStringLiteral("first"), kPagesPerRun);
    second.waitForFinished(300'000);
    const QString output = QString::fromLocal8Bit(second.readAll());
    EXPECT_TRUE(output.contains(QStringLiteral("[  PASSED  ] 1 test"))) << output.toStdString();
}

// Another program prints to the PDF printer while the run waits for its page:
// its document lands in the PDF folder, and the entry's PDF holds the page.
TEST_F(SaveRunEndToEnd, AnotherProgramPrintingDuringARunKeepsItsOwnDocument) {
    HttpResponse slow = HttpResponse::html(page("Delta Cobalt Wren"));
    slow.delayMs = 2000;
    server.serve("/slow.html", slow);
    const QString letter = out.path() + QStringLiteral("/letter.txt");
    QFile file(letter);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("A letter from another program\n");
    file.close();
    const QString title = QStringLiteral("letter-") + QString::number(QCoreApplication::applicationPid());
    const QString landed = QDir::homePath() + QStringLiteral("/PDF/") + title + QStringLiteral(".pdf");
    QFile::remove(landed);
    // The other program prints once the run has pointed the printer at the
    // entry's PDF, while the page is still on its way.
    const QString entryPdf = pdf(addressName(QStringLiteral("slow.html")) + QStringLiteral(".pdf"));
    const QString outputFile =
        QString::fromStdString(marrowby::controlFolder(QDir::homePath().toStdString())) + QStringLiteral("/OutputFile");
    QFile::remove(outputFile);
    int lp = -1;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        QFile value(outputFile);
        if (lp != -1 || !value.open(QIODevice::ReadOnly) || QString::fromUtf8(value.readAll()) != entryPdf) return;
        lp = runTool(QStringLiteral("lp"), {QStringLiteral("-d"), kQueue, QStringLiteral("-t"), title, letter});
    });
    watch.start(20);
    add(server.url(QStringLiteral("/slow.html")));
    choose(2);
    start();
    EXPECT_EQ(lp, 0) << "lp did not print during the run";
    EXPECT_EQ(closingMessage(), QStringLiteral("Done."));
    EXPECT_TRUE(testing::PdfText(entryPdf).contains(QStringLiteral("Delta Cobalt Wren")));
    QElapsedTimer waited;
    waited.start();
    while (!QFile::exists(landed) && waited.elapsed() < 20'000) QTest::qWait(50);
    EXPECT_TRUE(QFile::exists(landed)) << "the other program's document is not in the PDF folder";
    QFile::remove(landed);
}

// A job that fails because the folder's disk is full says so in the closing
// report, in the user's words.
TEST_F(SaveRunEndToEnd, AFullDiskIsNamedInTheClosingReport) {
    const QString disk = qEnvironmentVariable("QUENDREL_SMALL_DISK");
    if (disk.isEmpty()) GTEST_SKIP() << "no small disk to fill (scripts/as-test-user mounts one as root)";
    const QString folder = disk + QStringLiteral("/full");
    ASSERT_TRUE(QDir().mkpath(folder));
    // Fill the disk, leaving less room than a page's PDF needs.
    QFile filler(disk + QStringLiteral("/filler"));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    filler.close();
    QFile::resize(filler.fileName(), filler.size() - 2048);
    form().Text1->setText(folder + QLatin1Char('/'));
    add(server.url(QStringLiteral("/alpha.html")));
    choose(2);
    start();
    const QString message = closingMessage();
    QFile::remove(filler.fileName());
    QDir(folder).removeRecursively();
    EXPECT_TRUE(message.contains(QStringLiteral("the disk is full"))) << message.toStdString();
}

TEST(BuiltProgram, ShowsItsWindowWithItsIcon) {
    const QString program = qEnvironmentVariable("QUENDREL_BUILD_DIR") + QStringLiteral("/bin/quendrel");
    ASSERT_TRUE(QFileInfo(program).isExecutable()) << "run through ctest";
    QTemporaryDir out;
    XvfbDisplay display;
    ASSERT_FALSE(display.name().isEmpty()) << "Xvfb did not start";
    const QProcessEnvironment environment = display.environment();
    // Once in a hundred starts the program opens its home page in the
    // desktop's browser. The only program on its PATH is a browser that does
    // nothing: no browser outlives the test, and the visit succeeds, so no
    // error box stands in front of the window.
    ASSERT_TRUE(QFile::link(QStringLiteral("/bin/true"), out.filePath(QStringLiteral("xdg-open"))));
    QProcessEnvironment programEnvironment = environment;
    programEnvironment.insert(QStringLiteral("PATH"), out.path());
    QProcess quendrel;
    quendrel.setProcessEnvironment(programEnvironment);
    quendrel.start(program, {});
    ASSERT_TRUE(quendrel.waitForStarted());
    QString window;
    QElapsedTimer timer;
    timer.start();
    while (window.isEmpty() && timer.elapsed() < 30'000) {
        const QStringList tree = toolOutput(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")},
                                            environment)
                                     .split(QLatin1Char('\n'));
        for (const QString& line : tree)
            if (line.contains(QStringLiteral("\"Quendrel\""))) window = line.trimmed().section(QLatin1Char(' '), 0, 0);
        if (window.isEmpty()) quendrel.waitForFinished(100);
    }
    ASSERT_FALSE(window.isEmpty()) << "no window named Quendrel appeared";
    const QString icon = toolOutput(QStringLiteral("xprop"), {QStringLiteral("-id"), window, QStringLiteral("-len"),
                                                             QStringLiteral("8"), QStringLiteral("_NET_WM_ICON")},
                                    environment);
    quendrel.kill();
    quendrel.waitForFinished();
    EXPECT_TRUE(icon.startsWith(QStringLiteral("_NET_WM_ICON(CARDINAL) = "))) << icon.toStdString();
    EXPECT_TRUE(icon.contains(QStringLiteral("Icon (64 x 64)"))) << icon.toStdString();
}

}  // namespace
}  // namespace quendrel
