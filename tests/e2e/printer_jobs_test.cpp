// Jobs through the real PDF printer: cupsd, the queue and its backend.
#include "printer_e2e_support.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUuid>
#include <sys/stat.h>

namespace {

using namespace printer_e2e;

class PrinterJobsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(printerReady());
        ASSERT_TRUE(out.isValid());
        ASSERT_TRUE(cups.setDefaultPrinter(kPdfPrinter));
    }

    // Points the printer at `target`, prints `pdf` to the default printer
    // and waits for the job to end.
    JobState printTo(const QString& target, const QByteArray& pdf, const QString& title = QStringLiteral("job")) {
        setControlValue(marrowby::kOutputFileValue, target);
        setControlValue(marrowby::kBypassSaveAsValue, QStringLiteral("1"));
        const QString source = out.filePath(QStringLiteral("source-") + QUuid::createUuid().toString(QUuid::Id128));
        EXPECT_TRUE(writeFile(source, pdf));
        const int jobId = cups.submitPdfToDefault(source, title);
        EXPECT_GT(jobId, 0);
        return waitForJob(cups, jobId);
    }

    LpoptionsGuard lpoptions;
    CupsPrintSystem cups;
    QTemporaryDir out;
};

uid_t ownerOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_uid : static_cast<uid_t>(-1);
}

TEST_F(PrinterJobsTest, APdfLandsUnchangedInTheFileTheUserNamed) {
    const QByteArray pdf = makePdf(QStringLiteral("first page"), 64);
    // Blanks, quotes, non-ASCII letters and even a line break survive.
    const QString target = out.filePath(QStringLiteral("My \"quoted\" Report – ü\nline.pdf"));
    EXPECT_STREQ(stateName(printTo(target, pdf, QStringLiteral("My Report"))), "Finished");
    EXPECT_EQ(readFile(target), pdf);
    EXPECT_EQ(ownerOf(target), ::getuid());
    EXPECT_EQ(QFileInfo(target).permissions() & (QFile::ReadOther | QFile::WriteOther), QFile::ReadOther);
}

TEST_F(PrinterJobsTest, AnExistingFileIsReplaced) {
    const QString target = out.filePath(QStringLiteral("again.pdf"));
    ASSERT_TRUE(writeFile(target, QByteArray(200000, 'x')));
    const QByteArray pdf = makePdf(QStringLiteral("replacement"));
    EXPECT_STREQ(stateName(printTo(target, pdf)), "Finished");
    EXPECT_EQ(readFile(target), pdf);
}

TEST_F(PrinterJobsTest, JobsAwaitedOneAfterTheOtherLandInTheirOwnFiles) {
    const QByteArray first = makePdf(QStringLiteral("one"));
    const QByteArray second = makePdf(QStringLiteral("two"), 16);
    const QString firstTarget = out.filePath(QStringLiteral("www.example.com.pdf"));
    const QString secondTarget = out.filePath(QStringLiteral("www.example.org.pdf"));
    EXPECT_STREQ(stateName(printTo(firstTarget, first)), "Finished");
    EXPECT_STREQ(stateName(printTo(secondTarget, second)), "Finished");
    EXPECT_EQ(readFile(firstTarget), first);
    EXPECT_EQ(readFile(secondTarget), second);
}

TEST_F(PrinterJobsTest, PlainTextPrintedWithLpBecomesAPdf) {
    const QString text = out.filePath(QStringLiteral("notes.txt"));
    ASSERT_TRUE(writeFile(text, "Marrowby text job\nsecond line\n"));
    const QString target = out.filePath(QStringLiteral("notes.pdf"));
    setControlValue(marrowby::kOutputFileValue, target);
    setControlValue(marrowby::kBypassSaveAsValue, QStringLiteral("1"));

    const int jobId = submitWithLp({QStringLiteral("-d"), kQueue, text});
    ASSERT_GT(jobId, 0) << "lp refused the job";
    EXPECT_STREQ(stateName(waitForJob(cups, jobId)), "Finished");
    const std::optional<QByteArray> pdf = readFile(target);
    ASSERT_TRUE(pdf.has_value()) << "no PDF was written; is cups-filters (texttopdf) installed?";
    EXPECT_TRUE(pdf->startsWith("%PDF-"));
    // The converter's font has no text map, so the text is checked as ink:
    // the page, rendered, is not blank.
    const QString image = out.filePath(QStringLiteral("notes"));
    ASSERT_TRUE(runTool(QStringLiteral("pdftoppm"),
                        {QStringLiteral("-r"), QStringLiteral("36"), QStringLiteral("-gray"),
                         QStringLiteral("-singlefile"), target, image}));
    const QImage page(image + QStringLiteral(".pgm"));
    ASSERT_FALSE(page.isNull());
    int dark = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) dark += qGray(page.pixel(x, y)) < 128;
    EXPECT_GT(dark, 20);
}

TEST_F(PrinterJobsTest, WithoutBypassTheJobIsSavedUnderItsTitleInThePdfFolder) {
    const QString title = QStringLiteral("e2e title ") + QUuid::createUuid().toString(QUuid::Id128);
    const QString expected = accountHome() + QStringLiteral("/PDF/") + title + QStringLiteral(".pdf");
    const QByteArray pdf = makePdf(title);
    const QString source = out.filePath(QStringLiteral("titled.pdf"));
    ASSERT_TRUE(writeFile(source, pdf));

    for (const QString& bypass : {QStringLiteral("0"), QString(), QStringLiteral("yes")}) {
        setControlValue(marrowby::kOutputFileValue, out.filePath(QStringLiteral("never.pdf")));
        setControlValue(marrowby::kBypassSaveAsValue, bypass);
        const int jobId = cups.submitPdfToDefault(source, title);
        EXPECT_STREQ(stateName(waitForJob(cups, jobId)), "Finished") << bypass.toStdString();
        EXPECT_EQ(readFile(expected), pdf) << bypass.toStdString();
        EXPECT_EQ(ownerOf(expected), ::getuid());
        QFile::remove(expected);
    }
    EXPECT_FALSE(QFile::exists(out.filePath(QStringLiteral("never.pdf"))));
}

}  // namespace
