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

#include <QDateTime>
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

    // The document properties of the PDF that landed, as pdfinfo shows them.
    static QMap<QString, QString> propertiesOf(const QString& pdfPath) {
        return quendrel::testing::PdfInfoFields(pdfPath, {QStringLiteral("-custom"), QStringLiteral("-isodates")});
    }

    static void expectSavedSince(const QMap<QString, QString>& properties, const QDateTime& start) {
        const QDateTime saved = QDateTime::fromString(properties.value(QStringLiteral("CreationDate")), Qt::ISODate);
        EXPECT_GE(saved, start) << properties.value(QStringLiteral("CreationDate")).toStdString();
        EXPECT_LE(saved, QDateTime::currentDateTime().addSecs(1));
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
    const QDateTime start = QDateTime::currentDateTime().addSecs(-1);

    quendrel::BrowserPrint browser(nullptr, events, cups);
    const int job = browser.LoadAndPrintPage(server.url(QStringLiteral("/notice.html")));
    ASSERT_GT(job, 0);
    EXPECT_STREQ(stateName(waitForJob(cups, job)), "Finished");
    ASSERT_TRUE(QFileInfo::exists(target));
    const QString text = quendrel::testing::PdfText(target);
    EXPECT_TRUE(text.contains(QStringLiteral("Harbour notice"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("The north pier closes at dusk."))) << text.toStdString();
    const auto properties = propertiesOf(target);
    EXPECT_EQ(properties.value(QStringLiteral("Title")), QStringLiteral("Notice"));
    EXPECT_EQ(properties.value(QStringLiteral("Subject")), server.url(QStringLiteral("/notice.html")));
    expectSavedSince(properties, start);
}

TEST_F(RealPrinterTest, ACapturedPictureLandsOverItsSheetsWithItsAddress) {
    // 640 pixels across the printable width: 922 rows a sheet.
    const QString capture = out.filePath(QStringLiteral("www.example.com.jpg"));
    QImage image(640, 3000, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    ASSERT_TRUE(image.save(capture, "JPEG"));
    const QString target = out.filePath(QStringLiteral("www.example.com.pdf"));
    pointPrinterAt(target);
    const QDateTime start = QDateTime::currentDateTime().addSecs(-1);

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
    const auto properties = propertiesOf(target);
    EXPECT_EQ(properties.value(QStringLiteral("Title")), QStringLiteral("www.example.com"));
    EXPECT_EQ(properties.value(QStringLiteral("Subject")), QStringLiteral("www.example.com"));
    expectSavedSince(properties, start);
}

}  // namespace
