// The picture print: the capture at the printable width over as many sheets as
// it needs, with the page's title and address in the document, and no stale
// picture after a failed load. The capture program run is checked against a
// scripted launcher.
#include "saverun/snapshot_print.h"

#include "platform/failure.h"
#include "saverun/progress_display.h"
#include "support/fake_platform.h"
#include "support/pdf_keeping_print_system.h"
#include "support/poppler_tools.h"
#include "support/qstring_printer.h"

#include <QColor>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>
#include <cstdlib>
#include <optional>
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

TEST(CaptureSnapshot, GivesTheCaptureProgramsOwnReasonForAFailure) {
    // What the program wrote on stderr, as the launcher kept it.
    struct Case {
        const char* what;
        QByteArray errors;
        int exitCode;
        std::optional<int> startError;
        const char* reason;
    } cases[] = {
        {"its reason", "iecapt: cannot load http://a/: the name was not found\n", 1, {},
         "cannot load http://a/: the name was not found"},
        {"the last of its lines, among other words",
         "Running as root: the web engine's renderer sandbox is turned off.\n"
         "iecapt: time limit of 60000 ms reached, no image written\n"
         "iecapt: time limit reached; the engine did not stop in time\n", 3, {},
         "time limit reached; the engine did not stop in time"},
        {"its usage after the reason", "iecapt: --out is given twice\nUsage: iecapt --url=ADDRESS --out=FILE.jpg\n", 2,
         {}, "--out is given twice"},
        {"a success says nothing", "iecapt: something\n", 0, {}, ""},
        {"what it did with a consent dialog is no reason", "iecapt: cannot load http://a/: x\niecapt: consent: removed\n",
         1, {}, "cannot load http://a/: x"},
        {"nothing said", "", 1, {}, ""},
        {"killed", "", 128 + 9, {}, "the capture program crashed (signal 9)"},
        {"cannot start", "", 0, 53, "the capture program cannot start (File not found)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakePlatform fake;
        fake.processes.errorOutput = c.errors;
        fake.processes.exitWith = c.exitCode;
        fake.processes.startError = c.startError;
        EXPECT_EQ(CaptureSnapshot({fake.desktop, fake.processes, fake.events}, nullptr, 1, QStringLiteral("a"),
                                  QStringLiteral("/out/a.jpg")),
                  QString::fromUtf8(c.reason));
        EXPECT_EQ(fake.processes.errorModes, std::vector<platform::ErrorOutput>{platform::ErrorOutput::Kept});
    }
    EXPECT_EQ(CaptureConsent("iecapt: consent: rejected\niecapt: cannot load\n"), engine::ConsentOutcome::Rejected);
}

// The printable area of the picture's sheet in device pixels: A4 at 600 dpi
// inside an 18 point border.
const QSize kPrintable(4658, 6717);
constexpr double kPrintableWidthInches = (595.0 - 2 * 18.0) / 72.0;

TEST(SheetSlices, EveryRowLandsOnExactlyOneSheetAndNoSheetOverflows) {
    struct Case {
        QSize picture;
        int sheets;
    } cases[] = {
        {{1024, 500}, 1},              // shorter than a sheet
        {{1024, 1476}, 1},             // exactly one sheet: 6717 / (4658 / 1024) = 1476.6 rows
        {{1024, 1477}, 2},             // one row more
        {{1024, 30 * 768}, 16},        // thirty screens
        {{6000, 9000}, 2},             // wider than the sheet: 8652 rows a sheet
        {{4658, 6717}, 1},             // the printable area itself
        {{1, 3}, 3},                   // so narrow that one row fills a sheet
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.picture.width() << " x " << c.picture.height());
        const std::vector<SheetSlice> slices = SheetSlices(c.picture, kPrintable);
        ASSERT_EQ(static_cast<int>(slices.size()), c.sheets);
        const double scale = double(kPrintable.width()) / c.picture.width();
        int next = 0;
        for (size_t i = 0; i < slices.size(); ++i) {
            EXPECT_EQ(slices[i].firstRow, next) << "sheet " << i;
            EXPECT_GT(slices[i].rows, 0);
            EXPECT_LE(slices[i].rows * scale, kPrintable.height() + 1e-9) << "sheet " << i << " overflows";
            if (i + 1 < slices.size() && c.picture.width() > 1) {
                EXPECT_GT((slices[i].rows + 1) * scale, kPrintable.height()) << "sheet " << i << " is not full";
            }
            next += slices[i].rows;
        }
        EXPECT_EQ(next, c.picture.height());
    }
    EXPECT_TRUE(SheetSlices({0, 100}, kPrintable).empty());
    EXPECT_TRUE(SheetSlices({100, 0}, kPrintable).empty());
}

TEST(SheetSlices, ASheetEndsBesideAQuietRowInItsLastEighthSoNoLineOfTextIsCut) {
    // 1024 pixels wide: 1476 rows a sheet, 184 of them its last eighth.
    const auto textLines = [](int row) { return row % 21 >= 16; };  // 16 rows of text, 5 blank
    struct Case {
        const char* what;
        QuietRow quiet;
        std::vector<int> sheetRows;
    } cases[] = {
        {"lines of text", textLines, {1470, 1470, 1470, 590}},  // each cut below a blank row
        {"a picture without a quiet row", [](int) { return false; }, {1476, 1476, 1476, 572}},
        {"all one colour", [](int) { return true; }, {1476, 1476, 1476, 572}},
        {"a quiet row just before the last eighth", [](int row) { return row == 1291; }, {1476, 1476, 1476, 572}},
        {"a quiet row first in the last eighth", [](int row) { return row == 1292; }, {1293, 1476, 1476, 755}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<SheetSlice> slices = SheetSlices({1024, 5000}, kPrintable, c.quiet);
        std::vector<int> rows;
        for (const SheetSlice& slice : slices) rows.push_back(slice.rows);
        EXPECT_EQ(rows, c.sheetRows);
    }
    for (const SheetSlice& slice : SheetSlices({1024, 5000}, kPrintable, textLines)) {
        const int cut = slice.firstRow + slice.rows;
        if (cut < 5000) {
            EXPECT_TRUE(textLines(cut - 1) || textLines(cut)) << "a line of text cut at row " << cut;
        }
    }
}

class PicturePrintTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    PdfKeepingPrintSystem printers{dir.path()};
    QImage held{1, 1, QImage::Format_RGB32};  // what the front end's picture holder was last given
    PictureHolder holder = [this](const QImage& picture) { held = picture; };

    QString writeJpeg(const QString& name, QSize size, QColor colour, const QString& title = QString()) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        if (!title.isEmpty()) image.setText(QStringLiteral("Title"), title);
        return save(name, image);
    }

    QString save(const QString& name, const QImage& image) {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(image.save(path, "JPEG", 95));
        return path;
    }
};

TEST_F(PicturePrintTest, PrintsTheCaptureAtThePrintableWidthOverAsManySheetsAsItsHeightNeeds) {
    struct Case {
        QSize picture;
        std::vector<int> sheetRows;
    } cases[] = {
        {{800, 600}, {600}},
        {{1024, 1477}, {1476, 1}},
        {{6000, 2000}, {2000}},  // wider than the sheet: every pixel kept, drawn narrower
    };
    PicturePrint print(holder, printers);
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.picture.width() << " x " << c.picture.height());
        print.Load(writeJpeg(QStringLiteral("www.example.com.jpg"), c.picture, Qt::darkBlue));
        EXPECT_EQ(held.size(), c.picture);
        print.SetDeviceUnits();
        print.Draw();
        const int job = print.EndDocument();
        EXPECT_EQ(job, printers.jobs.back().id);
        EXPECT_EQ(printers.jobs.back().title, QStringLiteral("www.example.com.jpg"));
        EXPECT_FALSE(QFileInfo::exists(printers.jobs.back().path)) << "the temporary PDF stays behind";

        const QString pdf = printers.kept.back();
        EXPECT_EQ(testing::PdfInfoField(pdf, QStringLiteral("Pages")).toInt(), static_cast<int>(c.sheetRows.size()));
        EXPECT_TRUE(testing::PdfInfoField(pdf, QStringLiteral("Page size")).contains(QStringLiteral("(A4)")));
        const auto images = testing::PdfImages(pdf);
        ASSERT_EQ(images.size(), c.sheetRows.size());
        for (size_t i = 0; i < images.size(); ++i) {
            EXPECT_EQ(images[i].page, static_cast<int>(i) + 1);
            EXPECT_EQ(images[i].width, c.picture.width());
            EXPECT_EQ(images[i].height, c.sheetRows[i]);
            // Scaled once, the same in both directions, to the printable width.
            EXPECT_NEAR(images[i].xPpi, c.picture.width() / kPrintableWidthInches, 1.0);
            EXPECT_NEAR(images[i].yPpi, images[i].xPpi, 1.0);
        }
    }
}

TEST_F(PicturePrintTest, TheSheetsShowThePictureWholeFromItsFirstRowToItsLast) {
    // A blue page with a red band down its right edge, a green first band and
    // a magenta last band, each 20 rows: the edges of the picture.
    QImage picture(1024, 3100, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    QPainter painter(&picture);
    painter.fillRect(0, 0, 1024, 20, Qt::green);
    painter.fillRect(1024 - 20, 0, 20, 3100, Qt::red);
    painter.fillRect(0, 3100 - 20, 1024, 20, Qt::magenta);
    painter.end();

    PicturePrint print(nullptr, printers);
    PrintCapturedPicture(print, save(QStringLiteral("a.jpg"), picture));
    const std::vector<QImage> sheets = testing::PdfPageImages(printers.kept.back(), 72);
    ASSERT_EQ(sheets.size(), 3u);  // 1476 + 1476 + 148 rows

    const auto near = [](QColor seen, QColor wanted) {
        return std::abs(seen.red() - wanted.red()) < 60 && std::abs(seen.green() - wanted.green()) < 60 &&
               std::abs(seen.blue() - wanted.blue()) < 60;
    };
    // At 72 dpi the printable area runs from 18 to 577 across and 18 to 824 down.
    const QImage& first = sheets[0];
    EXPECT_TRUE(near(first.pixelColor(300, 23), Qt::green)) << "the first rows are cut off";
    EXPECT_TRUE(near(first.pixelColor(575, 400), Qt::red)) << "the right edge is cut off";
    EXPECT_TRUE(near(first.pixelColor(560, 400), Qt::blue));
    EXPECT_TRUE(near(first.pixelColor(579, 400), Qt::white)) << "the picture spills into the border";
    EXPECT_TRUE(near(first.pixelColor(300, 821), Qt::blue)) << "the first sheet is not filled to its foot";
    // The last sheet: 148 rows at 0.546 points a row end at 18 + 80.8, the
    // magenta band from 18 + 69.9.
    const QImage& last = sheets[2];
    EXPECT_TRUE(near(last.pixelColor(300, 20), Qt::blue));
    EXPECT_TRUE(near(last.pixelColor(300, 93), Qt::magenta)) << "the last rows are lost";
    EXPECT_TRUE(near(last.pixelColor(300, 103), Qt::white));
}

TEST_F(PicturePrintTest, ASheetOfACapturedTextPageEndsBetweenTwoLinesOfText) {
    // Lines of "glyphs" 16 rows high with 5 blank rows between them; a full
    // first sheet would end 6 rows into a line.
    QImage picture(1024, 3000, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    for (int top = 0; top < 3000; top += 21)
        for (int x = 24; x < 1000; x += 14) painter.fillRect(x, top, 9, 16, Qt::black);
    painter.end();

    PicturePrint print(nullptr, printers);
    PrintCapturedPicture(print, save(QStringLiteral("text.jpg"), picture));
    const auto images = testing::PdfImages(printers.kept.back());
    ASSERT_EQ(images.size(), 3u);
    int cut = 0;
    for (size_t i = 0; i + 1 < images.size(); ++i) {
        cut += images[i].height;
        EXPECT_GE(images[i].height, 1476 - 184);
        EXPECT_TRUE(cut % 21 >= 16 || (cut - 1) % 21 >= 16) << "a line of text cut at row " << cut;
    }
    EXPECT_EQ(cut + images.back().height, 3000);
}

TEST_F(PicturePrintTest, TheDocumentNamesThePageItsAddressAndWhenItWasSaved) {
    struct Case {
        const char* what;
        QString pictureTitle;  // as the capture program may leave it in the picture
        QString address;
        QString title;         // the document's
    } cases[] = {
        {"titled capture", QStringLiteral("Gezeiten am Nordkai – 潮"), QStringLiteral("http://127.0.0.1/tide?day=3"),
         QStringLiteral("Gezeiten am Nordkai – 潮")},
        {"untitled capture", QString(), QStringLiteral("www.example.com"), QStringLiteral("www.example.com")},
        {"no address known", QString(), QString(), QStringLiteral("b.jpg")},
    };
    PicturePrint print(nullptr, printers);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        PrintCapturedPicture(print, writeJpeg(QStringLiteral("b.jpg"), {300, 200}, Qt::gray, c.pictureTitle),
                             c.address);
        const auto info = testing::PdfInfoFields(printers.kept.back(), {QStringLiteral("-custom"), QStringLiteral("-isodates")});
        EXPECT_EQ(info.value(QStringLiteral("Title")), c.title);
        EXPECT_EQ(info.value(QStringLiteral("Subject")), c.address);
        const QDateTime saved = QDateTime::fromString(info.value(QStringLiteral("CreationDate")), Qt::ISODate);
        EXPECT_GE(saved, before);
        EXPECT_LE(saved, QDateTime::currentDateTime().addSecs(1));
    }
}

TEST_F(PicturePrintTest, ACapturePastQtsGuardForLargePicturesIsLoadedWhole) {
    // Qt's guard stands at 128 MB, below a long page's capture; here it is
    // lowered to 8 MB and a 1024 x 4000 capture (16 MB) stands for the page.
    const int guard = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(8);
    PicturePrint print(nullptr, printers);
    EXPECT_NO_THROW(PrintCapturedPicture(print, writeJpeg(QStringLiteral("long.jpg"), {1024, 4000}, Qt::darkCyan)));
    EXPECT_EQ(print.picture().height(), 4000);
    EXPECT_EQ(QImageReader::allocationLimit(), 8) << "the guard stays raised for other pictures";
    QImageReader::setAllocationLimit(guard);
}

TEST_F(PicturePrintTest, AFailedLoadEmptiesTheHolderSoTheEarlierPictureIsNotPrintedAgain) {
    PicturePrint print(holder, printers);
    EXPECT_EQ(PrintCapturedPicture(print, writeJpeg(QStringLiteral("first.jpg"), {300, 200}, Qt::green)), 1);

    const QString broken = dir.filePath(QStringLiteral("second.jpg"));
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<html>not a picture</html>");
    file.close();

    EXPECT_THROW(print.Load(broken), Failure);
    EXPECT_TRUE(print.picture().isNull());
    EXPECT_TRUE(held.isNull());
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
