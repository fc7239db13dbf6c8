// The picture print: one page of PDF holding the capture stretched by a fixed
// amount, and no stale picture after a failed load. The capture program run is
// checked against a scripted launcher.
#include "saverun/snapshot_print.h"

#include "platform/failure.h"
#include "saverun/progress_display.h"
#include "support/fake_platform.h"
#include "support/pdf_keeping_print_system.h"
#include "support/poppler_tools.h"

#include <QColor>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace quendrel {
namespace {

using testing::FakePlatform;
using testing::PdfKeepingPrintSystem;

TEST(CaptureSnapshot, RunsTheCaptureProgramBesideTheExecutableWithTheAddressAsOneArgument) {
    FakePlatform fake;
    fake.desktop.program = QStringLiteral("/opt/quendrel");
    testing::RecordingProgress bar{QStringLiteral("Processing: www.example.com")};
    bar.level = 100.0 / 3.0;
    const QString address = QStringLiteral("http://www.example.com/a b --out=/etc/x");
    CaptureSnapshot({fake.desktop, fake.processes, fake.events}, &bar, 3, address,
                    QStringLiteral("/out/www.example.com.jpg"));
    ASSERT_EQ(fake.processes.started.size(), 1u);
    EXPECT_EQ(fake.processes.started[0],
              (QStringList{QStringLiteral("/opt/quendrel/iecapt"), QStringLiteral("--url=") + address,
                           QStringLiteral("--out=/out/www.example.com.jpg")}));
    EXPECT_EQ(bar.shown, QStringLiteral("Processing: www.example.com"));
}

TEST(CaptureSnapshot, BasesTheWaitingDisplayOnTheBarValueRoundedHalfToEven) {
    // After 60 cycles of 100 ms the display shows its waiting text and its
    // first value, which is the base value.
    struct Case {
        double value;
        int entries;
        int base;
    } cases[] = {{66.666, 3, 67}, {50.5, 2, 50}, {51.5, 2, 52}, {0.4, 1, 0}};
    for (const Case& c : cases) {
        FakePlatform fake;
        fake.processes.runPolls = 60;
        testing::RecordingProgress bar{QStringLiteral("Processing: www.example.com")};
        bar.level = c.value;
        CaptureSnapshot({fake.desktop, fake.processes, fake.events}, &bar, c.entries,
                        QStringLiteral("a"), QStringLiteral("/out/a.jpg"));
        EXPECT_EQ(bar.level, c.base) << "bar value " << c.value;
        ASSERT_FALSE(bar.texts.empty());
        EXPECT_TRUE(bar.texts.front().startsWith(QStringLiteral("Processing: www.example.com, Please wait.. ")));
        EXPECT_EQ(bar.shown, QStringLiteral("Processing: www.example.com"));
    }
}

TEST(CaptureSnapshot, AProgramThatCannotStartLeavesTheBarAlone) {
    FakePlatform fake;
    fake.processes.startError = 53;
    testing::RecordingProgress bar{QStringLiteral("Processing: www.example.com")};
    CaptureSnapshot({fake.desktop, fake.processes, fake.events}, &bar, 1, QStringLiteral("a"),
                    QStringLiteral("/out/a.jpg"));
    EXPECT_TRUE(bar.texts.empty());
}

class PicturePrintTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    PdfKeepingPrintSystem printers{dir.path()};
    QLabel holder;

    QString writeJpeg(const QString& name, QSize size, QColor colour) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        const QString path = dir.filePath(name);
        EXPECT_TRUE(image.save(path, "JPEG"));
        return path;
    }
};

TEST_F(PicturePrintTest, PrintsTheCaptureStretchedBy4200DevicePixelsOnOnePage) {
    PicturePrint print(&holder, printers);
    const QString capture = writeJpeg(QStringLiteral("www.example.com.jpg"), {800, 3000}, Qt::darkBlue);

    print.Load(capture);
    EXPECT_EQ(holder.size(), QSize(800, 3000));
    print.SetDeviceUnits();
    print.Draw();
    const int job = print.EndDocument();

    ASSERT_EQ(printers.jobs.size(), 1u);
    EXPECT_EQ(job, printers.jobs[0].id);
    EXPECT_EQ(printers.jobs[0].title, QStringLiteral("www.example.com.jpg"));
    EXPECT_FALSE(QFileInfo::exists(printers.jobs[0].path)) << "the temporary PDF stays behind";

    const QString pdf = printers.kept[0];
    EXPECT_EQ(testing::PdfInfoField(pdf, QStringLiteral("Pages")), QStringLiteral("1"));
    EXPECT_TRUE(testing::PdfInfoField(pdf, QStringLiteral("Page size")).contains(QStringLiteral("(A4)")));
    const auto images = testing::PdfImages(pdf);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].width, 800);
    EXPECT_EQ(images[0].height, 3000);
    // 5000 x 7200 device pixels at 600 dpi: 800 px over 8.33 in, 3000 px over 12 in.
    EXPECT_NEAR(images[0].xPpi, 800.0 / (5000.0 / 600.0), 1.0);
    EXPECT_NEAR(images[0].yPpi, 3000.0 / (7200.0 / 600.0), 1.0);
}

TEST_F(PicturePrintTest, WithoutDeviceUnitsTheSizeIsInTwips) {
    PicturePrint print(nullptr, printers);
    print.Load(writeJpeg(QStringLiteral("a.jpg"), {1000, 1000}, Qt::red));
    print.Draw();
    print.EndDocument();
    const auto images = testing::PdfImages(printers.kept[0]);
    ASSERT_EQ(images.size(), 1u);
    // 5200 twips are 3.61 in.
    EXPECT_NEAR(images[0].xPpi, 1000.0 / (5200.0 / 1440.0), 1.0);
}

TEST_F(PicturePrintTest, AFailedLoadEmptiesTheHolderSoTheEarlierPictureIsNotPrintedAgain) {
    PicturePrint print(&holder, printers);
    EXPECT_EQ(PrintCapturedPicture(print, writeJpeg(QStringLiteral("first.jpg"), {300, 200}, Qt::green)), 1);

    const QString broken = dir.filePath(QStringLiteral("second.jpg"));
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<html>not a picture</html>");
    file.close();

    EXPECT_THROW(print.Load(broken), Failure);
    EXPECT_TRUE(print.picture().isNull());
    EXPECT_TRUE(holder.pixmap().isNull());
    print.SetDeviceUnits();
    EXPECT_THROW(print.Draw(), Failure);
    EXPECT_THROW(print.EndDocument(), Failure);
    EXPECT_EQ(printers.jobs.size(), 1u);

    EXPECT_THROW(print.Load(dir.filePath(QStringLiteral("missing.jpg"))), Failure);
    EXPECT_THROW(print.Draw(), Failure);
}

TEST_F(PicturePrintTest, ADocumentLeftOpenByAFailedEndIsNotCarriedIntoTheNextEntry) {
    PicturePrint print(nullptr, printers);
    print.Load(writeJpeg(QStringLiteral("a.jpg"), {100, 100}, Qt::red));
    print.SetDeviceUnits();
    print.Draw();
    printers.failSubmit = true;
    EXPECT_THROW(print.EndDocument(), Failure);
    printers.failSubmit = false;
    EXPECT_THROW(print.EndDocument(), Failure) << "the refused document is gone";

    print.Load(writeJpeg(QStringLiteral("b.jpg"), {200, 100}, Qt::blue));
    print.Draw();
    print.EndDocument();
    const auto images = testing::PdfImages(printers.kept.back());
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].width, 200);
}

}  // namespace
}  // namespace quendrel
