// Whole save runs through the real parts: the main window offscreen, CUPS with
// the Marrowby PDF Writer queue and its backend, Qt WebEngine, the capture
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
#include "support/poppler_tools.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

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

TEST_F(SaveRunEndToEnd, UnreachableAddressIsReportedAndLeavesNoTemporaryFile) {
    const QString unreachable = QStringLiteral("http://127.0.0.1:%1/nothing.html").arg(LocalHttpServer::closedPort());
    for (int method = 1; method <= 3; ++method) {
        SCOPED_TRACE(method);
        form().ListView1->entries().clear();
        dialogs.shown.clear();
        add(server.url(QStringLiteral("/alpha.html")));
        add(unreachable);
        choose(method);
        start();
        const QString message = closingMessage();
        EXPECT_TRUE(message.startsWith(QStringLiteral("Done.\r\n\r\n1 entry gave no PDF:\r\n") + unreachable + ": "))
            << message.toStdString();
        EXPECT_TRUE(QFileInfo::exists(pdf(addressName("alpha.html") + ".pdf")));
        EXPECT_TRUE(QDir(out.path()).entryList({"*.jpg", "*.htm"}, QDir::Files).isEmpty());
    }
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

TEST_F(SaveRunEndToEnd, DefaultPrinterIsRestoredAfterTheRun) {
    const QStringList devices = cups.printerDeviceNames();
    QString other;
    for (const QString& device : devices)
        if (device != QStringLiteral("Marrowby PDF Writer")) other = device;
    if (other.isEmpty()) GTEST_SKIP() << "no second printer installed";
    ASSERT_TRUE(cups.setDefaultPrinter(other));
    add(server.url(QStringLiteral("/beta.html")));
    choose(2);
    start();
    EXPECT_EQ(closingMessage(), QStringLiteral("Done."));
    EXPECT_EQ(cups.defaultPrinterDeviceName(), other);
}

}  // namespace
}  // namespace quendrel
