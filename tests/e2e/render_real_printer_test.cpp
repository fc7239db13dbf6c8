// Both print paths through the real PDF printer: cupsd, the queue and its
// backend. The program's temporary PDF is gone as soon as the job is
// submitted, so a file that lands whole also shows the print system took the
// data at submission.
#include "printer_e2e_support.h"

#include "platform/qt_event_pump.h"
#include "saverun/browser_print.h"
#include "saverun/snapshot_print.h"
#include "support/local_http_server.h"
#include "support/poppler_tools.h"

#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

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

    void pointPrinterAt(const QString& pdfPath) {
        setControlValue(marrowby::kOutputFileValue, pdfPath);
        setControlValue(marrowby::kBypassSaveAsValue, QStringLiteral("1"));
    }

    LpoptionsGuard lpoptions;
    CupsPrintSystem cups;
    QTemporaryDir out;
    quendrel::platform::QtEventPump events;
};

TEST_F(RealPrinterTest, AServedPagePrintedByTheBrowserLandsAsATextPdf) {
    LocalHttpServer server;
    server.serve(QStringLiteral("/notice.html"),
                 HttpResponse::html("<html><head><title>Notice</title></head><body>"
                                    "<h2>Harbour notice</h2><p>The north pier closes at dusk.</p></body></html>"));
    const QString target = out.filePath(QStringLiteral("127.0.0.1.pdf"));
    pointPrinterAt(target);

    quendrel::BrowserPrint browser(nullptr, events, cups);
    const int job = browser.LoadAndPrintPage(server.url(QStringLiteral("/notice.html")));
    ASSERT_GT(job, 0);
    EXPECT_STREQ(stateName(waitForJob(cups, job)), "Finished");
    ASSERT_TRUE(QFileInfo::exists(target));
    const QString text = quendrel::testing::PdfText(target);
    EXPECT_TRUE(text.contains(QStringLiteral("Harbour notice"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("The north pier closes at dusk."))) << text.toStdString();
}

TEST_F(RealPrinterTest, ACapturedPictureLandsAsOneStretchedPage) {
    const QString capture = out.filePath(QStringLiteral("www.example.com.jpg"));
    QImage image(640, 480, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    ASSERT_TRUE(image.save(capture, "JPEG"));
    const QString target = out.filePath(QStringLiteral("www.example.com.pdf"));
    pointPrinterAt(target);

    quendrel::PicturePrint print(nullptr, cups);
    const int job = quendrel::PrintCapturedPicture(print, capture);
    ASSERT_GT(job, 0);
    EXPECT_STREQ(stateName(waitForJob(cups, job)), "Finished");
    ASSERT_TRUE(QFileInfo::exists(target));
    EXPECT_EQ(quendrel::testing::PdfInfoField(target, QStringLiteral("Pages")), QStringLiteral("1"));
    const auto images = quendrel::testing::PdfImages(target);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].width, 640);
    EXPECT_NEAR(images[0].xPpi, 640.0 / ((640.0 + 4200.0) / 600.0), 1.0);
}

}  // namespace
