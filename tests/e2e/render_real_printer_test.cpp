// Both print paths through the real PDF printer: cupsd, the queue and its
// backend. The program's temporary PDF is gone as soon as the job is
// submitted, so a file that lands whole also shows the print system took the
// data at submission.
#include "printer_e2e_support.h"

#include "engine/headless_browser.h"
#include "platform/posix_process_launcher.h"
#include "platform/qt_event_pump.h"
#include "saverun/browser_print.h"
#include "saverun/engine_rendering.h"
#include "saverun/snapshot_print.h"
#include "support/local_http_server.h"
#include "support/poppler_tools.h"

#include <QDateTime>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFOutlineDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

namespace {

using namespace printer_e2e;
using quendrel::testing::HttpResponse;
using quendrel::testing::LocalHttpServer;

class RealPrinterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(printerReady());
        ASSERT_TRUE(out.isValid());
        ASSERT_TRUE(cups.setDefaultPrinter(kPdfPrinter));
    }

    LpoptionsGuard lpoptions;
    CupsPrintSystem cups;
    QTemporaryDir out;
    quendrel::platform::QtEventPump events;
};

// The outline's titles, depth first.
QStringList OutlineTitles(QPDFOutlineDocumentHelper& outline, const std::vector<QPDFOutlineObjectHelper>& items) {
    QStringList titles;
    for (auto item : items) {
        titles << QString::fromStdString(item.getTitle());
        titles << OutlineTitles(outline, item.getKids());
    }
    return titles;
}

// The addresses of the PDF's link annotations.
QStringList LinkTargets(QPDF& pdf) {
    QStringList targets;
    for (auto& page : QPDFPageDocumentHelper(pdf).getAllPages())
        for (auto& annotation : page.getAnnotations("/Link")) {
            auto action = annotation.getObjectHandle().getKey("/A");
            if (action.isDictionary() && action.getKey("/URI").isString())
                targets << QString::fromStdString(action.getKey("/URI").getUTF8Value());
        }
    return targets;
}

TEST_F(RealPrinterTest, AServedPagePrintedByTheBrowserLandsAsATaggedPdfWithOutlineAndLinks) {
    LocalHttpServer server;
    server.serve(QStringLiteral("/notice.html"),
                 HttpResponse::html("<html><head><title>Notice</title></head><body>"
                                    "<h1>Harbour notice</h1><p>The north pier closes at dusk.</p>"
                                    "<h2>Tides</h2><p>See <a href='https://tides.example/north'>the tide table</a>.</p>"
                                    "</body></html>"));
    const QString target = out.filePath(QStringLiteral("127.0.0.1.pdf"));
    pointPrinterAt(cups, target);

    quendrel::engine::HeadlessBrowser engine(events);
    quendrel::BrowserPrint browser(engine, cups);
    const int job = browser.LoadAndPrintPage(server.url(QStringLiteral("/notice.html")));
    ASSERT_GT(job, 0);
    EXPECT_STREQ(stateName(waitForJob(cups, job)), "Finished");
    ASSERT_TRUE(QFileInfo::exists(target));
    const QString text = quendrel::testing::PdfText(target);
    EXPECT_TRUE(text.contains(QStringLiteral("Harbour notice"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("The north pier closes at dusk."))) << text.toStdString();

    // Structure for screen readers, and the engine that rendered the page.
    const auto info = quendrel::testing::PdfInfoFields(target);
    EXPECT_EQ(info.value(QStringLiteral("Tagged")), QStringLiteral("yes"));
    EXPECT_TRUE(info.value(QStringLiteral("Producer")).startsWith(QStringLiteral("Quendrel ")));
    EXPECT_TRUE(info.value(QStringLiteral("Producer")).contains(engine.version().section(u'/', 1)))
        << info.value(QStringLiteral("Producer")).toStdString();
    QPDF pdf;
    pdf.processFile(target.toLocal8Bit().constData());
    QPDFOutlineDocumentHelper outline(pdf);
    EXPECT_EQ(OutlineTitles(outline, outline.getTopLevelOutlines()),
              (QStringList{QStringLiteral("Harbour notice"), QStringLiteral("Tides")}));
    EXPECT_EQ(LinkTargets(pdf), QStringList{QStringLiteral("https://tides.example/north")});
}

TEST_F(RealPrinterTest, ACapturedPictureLandsOverItsSheets) {
    // 640 pixels across the printable width: 922 rows a sheet.
    const QString capture = out.filePath(QStringLiteral("www.example.com.jpg"));
    QImage image(640, 3000, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    ASSERT_TRUE(image.save(capture, "JPEG"));
    const QString target = out.filePath(QStringLiteral("www.example.com.pdf"));
    pointPrinterAt(cups, target);

    quendrel::PicturePrint print(nullptr, cups);
    const int job = quendrel::PrintCapturedPicture(print, capture, QStringLiteral("www.example.com"));
    ASSERT_GT(job, 0);
    EXPECT_STREQ(stateName(waitForJob(cups, job)), "Finished");
    ASSERT_TRUE(QFileInfo::exists(target));
    EXPECT_EQ(quendrel::testing::PdfInfoField(target, QStringLiteral("Pages")), QStringLiteral("4"));
    const auto images = quendrel::testing::PdfImages(target);
    ASSERT_EQ(images.size(), 4u);
    int rows = 0;
    for (const auto& sheet : images) {
        EXPECT_EQ(sheet.width, 640);
        EXPECT_NEAR(sheet.xPpi, 640.0 / ((595.0 - 36.0) / 72.0), 1.0);
        rows += sheet.height;
    }
    EXPECT_EQ(rows, 3000);
}

TEST_F(RealPrinterTest, EveryMethodsPdfNamesThePageItsAddressAndWhenItWasSaved) {
    LocalHttpServer server;
    server.serve(QStringLiteral("/tides.html"),
                 HttpResponse::html("<html><head><title>Tide table</title></head><body>"
                                    "<h2>High water</h2><p>06:12 and 18:40.</p></body></html>"));
    const QString address = server.url(QStringLiteral("/tides.html")) + QStringLiteral("?day=3");
    quendrel::testing::FakeDialogs dialogs;
    quendrel::testing::FakeSettings settings;
    quendrel::testing::FakeDesktop desktop;
    desktop.program = qEnvironmentVariable("QUENDREL_BUILD_DIR") + QStringLiteral("/bin");
    quendrel::platform::FilePrinterControlStore control;
    quendrel::platform::PosixProcessLauncher processes;
    quendrel::platform::Platform platform{dialogs, settings, desktop, events, cups, control, processes};
    quendrel::testing::RecordingProgress bar;
    quendrel::EngineRendering rendering(platform, nullptr, bar, [] { return 1; });

    for (int method = 1; method <= 3; ++method) {
        SCOPED_TRACE(method);
        const QString target = out.filePath(QStringLiteral("method-%1.pdf").arg(method));
        const QDateTime start = QDateTime::currentDateTime().addSecs(-1);
        int job = 0;
        if (method == 1) {
            const QString capture = out.filePath(QStringLiteral("tides.jpg"));
            rendering.CaptureSnapshot(address, capture);
            pointPrinterAt(cups, target);
            rendering.LoadPicture(capture);
            rendering.SetDeviceUnits();
            rendering.DrawPicture();
            job = rendering.EndDocument(QFileInfo(target).fileName());
        } else if (method == 2) {
            pointPrinterAt(cups, target);
            job = rendering.LoadAndPrintPage(address);
        } else {
            const QString copy = out.filePath(QStringLiteral("tides.htm"));
            rendering.DownloadPageToFile(address, copy);
            pointPrinterAt(cups, target);
            job = rendering.LoadAndPrintPage(copy);
        }
        ASSERT_GT(job, 0);
        EXPECT_STREQ(stateName(waitForJob(cups, job)), "Finished");
        ASSERT_TRUE(QFileInfo::exists(target));
        const auto properties =
            quendrel::testing::PdfInfoFields(target, {QStringLiteral("-custom"), QStringLiteral("-isodates")});
        // A picture knows the page's title only when the capture program
        // named it; it is known by its address otherwise.
        const QString title = properties.value(QStringLiteral("Title"));
        EXPECT_TRUE(title == QStringLiteral("Tide table") || (method == 1 && title == address)) << title.toStdString();
        EXPECT_EQ(properties.value(QStringLiteral("Subject")), address) << "a copy is known by the page it came from";
        const QDateTime saved = QDateTime::fromString(properties.value(QStringLiteral("CreationDate")), Qt::ISODate);
        EXPECT_GE(saved, start) << properties.value(QStringLiteral("CreationDate")).toStdString();
        EXPECT_LE(saved, QDateTime::currentDateTime().addSecs(1));
        EXPECT_TRUE(properties.value(QStringLiteral("Producer")).startsWith(QStringLiteral("Quendrel ")));
        // The engine's own PDF carries structure for screen readers.
        if (method != 1) {
            EXPECT_EQ(quendrel::testing::PdfInfoField(target, QStringLiteral("Tagged")), QStringLiteral("yes"));
        }
    }
}

}  // namespace
