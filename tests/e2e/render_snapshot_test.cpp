// The picture method with the real capture program: a served page is captured
// into a JPEG through the process runner, then printed at the printable width
// over as many sheets as it needs.
#include "platform/posix_process_launcher.h"
#include "platform/qt_event_pump.h"
#include "saverun/progress_display.h"
#include "saverun/snapshot_print.h"
#include "support/fake_platform.h"
#include "support/local_http_server.h"
#include "support/pdf_keeping_print_system.h"
#include "support/poppler_tools.h"

#include <QColor>
#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace quendrel {
namespace {

using testing::HttpResponse;
using testing::LocalHttpServer;

// A4 inside the PDF printer's 18 point border.
constexpr double kPrintableWidthInches = (595.0 - 36.0) / 72.0;

class SnapshotTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString build = qEnvironmentVariable("QUENDREL_BUILD_DIR");
        ASSERT_FALSE(build.isEmpty()) << "run through ctest, which names the build folder";
        desktop.program = build + QStringLiteral("/bin");
        ASSERT_TRUE(QFileInfo(desktop.program + QStringLiteral("/iecapt")).isExecutable())
            << "build the capture program first";
    }

    QString capture(const QString& address, const QString& capturePath) {
        return CaptureSnapshot({desktop, processes, events}, &bar, 2, address, capturePath);
    }

    QTemporaryDir out;
    LocalHttpServer server;
    testing::FakeDesktop desktop;
    platform::PosixProcessLauncher processes;
    platform::QtEventPump events;
    testing::RecordingProgress bar{QStringLiteral("Processing: 127.0.0.1"), 50};
    testing::PdfKeepingPrintSystem printers{out.path()};
};

TEST_F(SnapshotTest, AShortCapturedPageIsPrintedOnOneSheetAtThePrintableWidth) {
    server.serve(QStringLiteral("/page.html"),
                 HttpResponse::html("<html><head><title>Tides</title></head>"
                                    "<body style='margin:0;background:#204080'><h1>Tide table</h1></body></html>"));
    const QString capturePath = out.filePath(QStringLiteral("127.0.0.1.jpg"));
    const QString address = server.url(QStringLiteral("/page.html"));
    capture(address, capturePath);

    ASSERT_TRUE(QFileInfo::exists(capturePath));
    EXPECT_EQ(bar.shown, QStringLiteral("Processing: 127.0.0.1"));
    const QSize size = QImageReader(capturePath).size();
    ASSERT_TRUE(size.isValid());

    PicturePrint print(nullptr, printers);
    PrintCapturedPicture(print, capturePath, address);
    ASSERT_EQ(printers.kept.size(), 1u);
    EXPECT_EQ(testing::PdfInfoField(printers.kept[0], QStringLiteral("Pages")), QStringLiteral("1"));
    const auto images = testing::PdfImages(printers.kept[0]);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].width, size.width());
    EXPECT_EQ(images[0].height, size.height());
    EXPECT_NEAR(images[0].xPpi, size.width() / kPrintableWidthInches, 1.0);
    EXPECT_NEAR(images[0].yPpi, images[0].xPpi, 1.0);
    const auto properties = testing::PdfInfoFields(printers.kept[0], {QStringLiteral("-custom")});
    EXPECT_EQ(properties.value(QStringLiteral("Subject")), address);
    EXPECT_FALSE(properties.value(QStringLiteral("Title")).isEmpty());
    EXPECT_FALSE(properties.value(QStringLiteral("CreationDate")).isEmpty());
}

TEST_F(SnapshotTest, ThirtyScreensArePrintedWholeWithTheMarkerOnTheirLastLineReadable) {
    // Thirty screens of 768 pixels, the last line a magenta band with large
    // white lettering.
    QByteArray body = "<html><head><title>Thirty screens</title><style>"
                      "html,body{margin:0} .screen{height:768px;box-sizing:border-box;border-top:4px solid #888;"
                      "font:32px sans-serif;padding:20px} #marker{height:100px;background:#e0107a;color:#fff;"
                      "font:bold 72px sans-serif}</style></head><body>";
    for (int screen = 1; screen < 30; ++screen)
        body += "<div class='screen'>Screen " + QByteArray::number(screen) + "</div>";
    body += "<div class='screen' style='height:668px'>Screen 30</div><div id='marker'>END OF PAGE</div></body></html>";
    server.serve(QStringLiteral("/long.html"), HttpResponse::html(body));
    const QString capturePath = out.filePath(QStringLiteral("long.jpg"));
    capture(server.url(QStringLiteral("/long.html")), capturePath);

    ASSERT_TRUE(QFileInfo::exists(capturePath));
    const QSize size = QImageReader(capturePath).size();
    EXPECT_EQ(size.height(), 30 * 768) << "the capture holds only part of the page";

    PicturePrint print(nullptr, printers);
    PrintCapturedPicture(print, capturePath, server.url(QStringLiteral("/long.html")));
    ASSERT_EQ(printers.kept.size(), 1u);
    const auto images = testing::PdfImages(printers.kept[0]);
    int rows = 0;
    for (const auto& sheet : images) {
        EXPECT_EQ(sheet.width, size.width());
        rows += sheet.height;
    }
    EXPECT_EQ(rows, size.height()) << "the sheets together are not the whole capture";

    // The last sheet ends with the band, its lettering inside it.
    const std::vector<QImage> sheets = testing::PdfPageImages(printers.kept[0], 50);
    ASSERT_EQ(sheets.size(), images.size());
    const QImage& last = sheets.back();
    int bandRows = 0, letteredRows = 0;
    for (int y = 0; y < last.height(); ++y) {
        int magenta = 0, white = 0;
        for (int x = 0; x < last.width(); ++x) {
            const QColor c = last.pixelColor(x, y);
            if (c.red() > 180 && c.green() < 80 && c.blue() > 70 && c.blue() < 170) ++magenta;
            if (c.red() > 230 && c.green() > 230 && c.blue() > 230) ++white;
        }
        if (magenta > last.width() / 2) {
            ++bandRows;
            if (white > 10) ++letteredRows;
        }
    }
    // 100 pixels of 1024 across 7.76 in are 0.76 in, 38 rows at 50 dpi.
    EXPECT_GE(bandRows, 30) << "the marker band is missing or cut";
    EXPECT_GE(letteredRows, 10) << "the marker's lettering is not in the band";
}

TEST_F(SnapshotTest, AFailedCaptureLeavesNoPictureAndTheEarlierOneIsNotPrintedAgain) {
    server.serve(QStringLiteral("/first.html"), HttpResponse::html("<h1>first</h1>"));
    PicturePrint print(nullptr, printers);
    const QString first = out.filePath(QStringLiteral("first.jpg"));
    capture(server.url(QStringLiteral("/first.html")), first);
    PrintCapturedPicture(print, first);

    const QString second = out.filePath(QStringLiteral("second.jpg"));
    const QString address = QStringLiteral("http://127.0.0.1:%1/").arg(LocalHttpServer::closedPort());
    // The capture program's own reason, for the run's closing report.
    EXPECT_EQ(capture(address, second), QStringLiteral("cannot load %1: the connection was refused").arg(address));
    EXPECT_FALSE(QFileInfo::exists(second));
    EXPECT_THROW(print.Load(second), Failure);
    print.SetDeviceUnits();
    EXPECT_THROW(print.Draw(), Failure);
    EXPECT_THROW(print.EndDocument(), Failure);
    EXPECT_EQ(printers.jobs.size(), 1u);
}

}  // namespace
}  // namespace quendrel
