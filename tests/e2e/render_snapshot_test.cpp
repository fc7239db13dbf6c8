// The picture method with the real capture program: a served page is captured
// into a JPEG through the process runner, then printed stretched on one page.
#include "platform/posix_process_launcher.h"
#include "platform/qt_event_pump.h"
#include "saverun/progress_display.h"
#include "saverun/snapshot_print.h"
#include "support/fake_platform.h"
#include "support/local_http_server.h"
#include "support/pdf_keeping_print_system.h"
#include "support/poppler_tools.h"

#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace quendrel {
namespace {

using testing::HttpResponse;
using testing::LocalHttpServer;

class SnapshotTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString build = qEnvironmentVariable("QUENDREL_BUILD_DIR");
        ASSERT_FALSE(build.isEmpty()) << "run through ctest, which names the build folder";
        desktop.program = build + QStringLiteral("/bin");
        ASSERT_TRUE(QFileInfo(desktop.program + QStringLiteral("/iecapt")).isExecutable())
            << "build the capture program first";
    }

    void capture(const QString& address, const QString& capturePath) {
        CaptureSnapshot({desktop, processes, events}, &bar, 2, address, capturePath);
    }

    QTemporaryDir out;
    LocalHttpServer server;
    testing::FakeDesktop desktop;
    platform::PosixProcessLauncher processes;
    platform::QtEventPump events;
    testing::RecordingProgress bar{QStringLiteral("Processing: 127.0.0.1"), 50};
    testing::PdfKeepingPrintSystem printers{out.path()};
};

TEST_F(SnapshotTest, ACapturedPageIsPrintedAsItsPictureOnOnePage) {
    server.serve(QStringLiteral("/page.html"),
                 HttpResponse::html("<html><body style='margin:0;background:#204080'><h1>Tide table</h1></body></html>"));
    const QString capturePath = out.filePath(QStringLiteral("127.0.0.1.jpg"));
    capture(server.url(QStringLiteral("/page.html")), capturePath);

    ASSERT_TRUE(QFileInfo::exists(capturePath));
    EXPECT_EQ(bar.shown, QStringLiteral("Processing: 127.0.0.1"));
    const QSize size = QImageReader(capturePath).size();
    ASSERT_TRUE(size.isValid());

    PicturePrint print(nullptr, printers);
    PrintCapturedPicture(print, capturePath);
    ASSERT_EQ(printers.kept.size(), 1u);
    EXPECT_EQ(testing::PdfInfoField(printers.kept[0], QStringLiteral("Pages")), QStringLiteral("1"));
    const auto images = testing::PdfImages(printers.kept[0]);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].width, size.width());
    EXPECT_EQ(images[0].height, size.height());
    EXPECT_NEAR(images[0].yPpi, size.height() / ((size.height() + 4200.0) / 600.0), 1.0);
}

TEST_F(SnapshotTest, AFailedCaptureLeavesNoPictureAndTheEarlierOneIsNotPrintedAgain) {
    server.serve(QStringLiteral("/first.html"), HttpResponse::html("<h1>first</h1>"));
    PicturePrint print(nullptr, printers);
    const QString first = out.filePath(QStringLiteral("first.jpg"));
    capture(server.url(QStringLiteral("/first.html")), first);
    PrintCapturedPicture(print, first);

    const QString second = out.filePath(QStringLiteral("second.jpg"));
    capture(QStringLiteral("http://127.0.0.1:%1/").arg(LocalHttpServer::closedPort()), second);
    EXPECT_FALSE(QFileInfo::exists(second));
    EXPECT_THROW(print.Load(second), Failure);
    print.SetDeviceUnits();
    EXPECT_THROW(print.Draw(), Failure);
    EXPECT_THROW(print.EndDocument(), Failure);
    EXPECT_EQ(printers.jobs.size(), 1u);
}

}  // namespace
}  // namespace quendrel
