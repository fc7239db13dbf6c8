// Jobs through the real PDF printer: cupsd, the queue and its backend.
#include "printer_e2e_support.h"
#include "support/poppler_tools.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUuid>
#include <functional>
#include <fcntl.h>
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
        pointPrinterAt(cups, target);
        return print(pdf, title);
    }

    // Prints `pdf` to the default printer as the tool does, without pointing it.
    JobState print(const QByteArray& pdf, const QString& title) {
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

// Dark pixels of the first page: the converter's font for text jobs has no
// text map, so their text is checked as ink.
int inkOf(const QString& pdfPath, const QString& scratch) {
    if (!runTool(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("36"), QStringLiteral("-gray"),
                                              QStringLiteral("-singlefile"), pdfPath, scratch}))
        return -1;
    const QImage page(scratch + QStringLiteral(".pgm"));
    int dark = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) dark += qGray(page.pixel(x, y)) < 128;
    return dark;
}

QString pdfFolder() { return accountHome() + QStringLiteral("/PDF/"); }

QString uniqueTitle(const char* what) {
    return QString::fromUtf8(what) + ' ' + QUuid::createUuid().toString(QUuid::Id128);
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
    const QString pointing = pointPrinterAt(cups, target);

    const int jobId = submitWithLp({QStringLiteral("-d"), kQueue, QStringLiteral("-o"),
                                    QStringLiteral("marrowby-pointing=") + pointing, text});
    ASSERT_GT(jobId, 0) << "lp refused the job";
    EXPECT_STREQ(stateName(waitForJob(cups, jobId)), "Finished");
    const std::optional<QByteArray> pdf = readFile(target);
    ASSERT_TRUE(pdf.has_value()) << "no PDF was written; is cups-filters (texttopdf) installed?";
    EXPECT_TRUE(pdf->startsWith("%PDF-"));
    EXPECT_GT(inkOf(target, out.filePath(QStringLiteral("notes"))), 20);
}

TEST_F(PrinterJobsTest, WithoutAPointingForItTheJobIsSavedUnderItsTitleInThePdfFolder) {
    const QString title = uniqueTitle("e2e title");
    const QString expected = pdfFolder() + title + QStringLiteral(".pdf");
    const QByteArray pdf = makePdf(title);
    const QString never = out.filePath(QStringLiteral("never.pdf"));

    // Each row leaves the values some other way than a fresh pointing by the tool.
    const std::pair<const char*, std::function<void()>> rows[] = {
        {"BypassSaveAs 0", [&] { pointPrinterAt(cups, never); setControlValue(marrowby::kBypassSaveAsValue, "0"); }},
        {"BypassSaveAs empty", [&] { pointPrinterAt(cups, never); setControlValue(marrowby::kBypassSaveAsValue, ""); }},
        {"BypassSaveAs yes", [&] { pointPrinterAt(cups, never); setControlValue(marrowby::kBypassSaveAsValue, "yes"); }},
        {"no BypassSaveAs", [&] { pointPrinterAt(cups, never); removeControlValue(marrowby::kBypassSaveAsValue); }},
        {"values written without a pointing", [&] {
             removePointings();
             setControlValue(marrowby::kOutputFileValue, never);
             setControlValue(marrowby::kBypassSaveAsValue, QStringLiteral("1"));
         }},
        {"no control values at all", [&] {
             QDir(QString::fromStdString(marrowby::controlFolder(accountHome().toStdString()))).removeRecursively();
         }},
    };
    for (const auto& [row, prepare] : rows) {
        prepare();
        EXPECT_STREQ(stateName(print(pdf, title)), "Finished") << row;
        EXPECT_EQ(readFile(expected), pdf) << row;
        EXPECT_EQ(ownerOf(expected), ::getuid()) << row;
        QFile::remove(expected);
    }
    EXPECT_FALSE(QFile::exists(never));
}

TEST_F(PrinterJobsTest, WithoutControlValuesLpJobsLandInThePdfFolderAndNeverReplaceOneAnother) {
    QDir(QString::fromStdString(marrowby::controlFolder(accountHome().toStdString()))).removeRecursively();
    const QString title = uniqueTitle("lp job");
    const QString text = out.filePath(QStringLiteral("letter.txt"));
    ASSERT_TRUE(writeFile(text, "Dear harbour master,\nthe north pier closes at dusk.\n"));
    const QString pdf = out.filePath(QStringLiteral("letter.pdf"));
    ASSERT_TRUE(writeFile(pdf, makePdf(QStringLiteral("Harbour notice"))));

    for (const QString& file : {text, pdf}) {
        const int jobId = submitWithLp({QStringLiteral("-d"), kQueue, QStringLiteral("-t"), title, file});
        ASSERT_GT(jobId, 0) << "lp refused the job";
        EXPECT_STREQ(stateName(waitForJob(cups, jobId)), "Finished");
    }
    const QString first = pdfFolder() + title + QStringLiteral(".pdf");
    const QString second = pdfFolder() + title + QStringLiteral(" (2).pdf");
    EXPECT_EQ(ownerOf(first), ::getuid());
    EXPECT_EQ(ownerOf(second), ::getuid());
    EXPECT_GT(inkOf(first, out.filePath(QStringLiteral("first"))), 20);
    EXPECT_TRUE(quendrel::testing::PdfText(second).contains(QStringLiteral("Harbour notice")));
    QFile::remove(first);
    QFile::remove(second);
}

TEST_F(PrinterJobsTest, APointingServesOneJobAndLaterJobsLeaveItsPdfAlone) {
    const QString target = out.filePath(QStringLiteral("www.example.com.pdf"));
    const QByteArray pdf = makePdf(QStringLiteral("the run's page"));
    EXPECT_STREQ(stateName(printTo(target, pdf)), "Finished");
    ASSERT_EQ(readFile(target), pdf);

    // Any later job, from lp or the tool's own path, goes to the PDF folder.
    const QString title = uniqueTitle("later job");
    const QString text = out.filePath(QStringLiteral("later.txt"));
    ASSERT_TRUE(writeFile(text, "a later job\n"));
    const int jobId = submitWithLp({QStringLiteral("-d"), kQueue, QStringLiteral("-t"), title, text});
    ASSERT_GT(jobId, 0) << "lp refused the job";
    EXPECT_STREQ(stateName(waitForJob(cups, jobId)), "Finished");
    EXPECT_STREQ(stateName(print(makePdf(QStringLiteral("another")), title)), "Finished");
    EXPECT_EQ(readFile(target), pdf);
    EXPECT_TRUE(QFile::exists(pdfFolder() + title + QStringLiteral(".pdf")));
    EXPECT_TRUE(QFile::exists(pdfFolder() + title + QStringLiteral(" (2).pdf")));
    QFile::remove(pdfFolder() + title + QStringLiteral(".pdf"));
    QFile::remove(pdfFolder() + title + QStringLiteral(" (2).pdf"));

    // A fresh pointing at the same file is used again.
    const QByteArray again = makePdf(QStringLiteral("second run"));
    EXPECT_STREQ(stateName(printTo(target, again)), "Finished");
    EXPECT_EQ(readFile(target), again);
}

// Jobs that reach the printer between a pointing and the job it was made
// for: another program's, a later plain lp after a run was killed, and the
// jobs of a second run of the same user. Each lands where it belongs.
TEST_F(PrinterJobsTest, APointingSteersOnlyTheJobItWasMadeFor) {
    const QString title = uniqueTitle("other program");
    const QString text = out.filePath(QStringLiteral("letter.txt"));
    ASSERT_TRUE(writeFile(text, "another program's letter\n"));
    auto otherProgramPrints = [&] {
        const int jobId = submitWithLp({QStringLiteral("-d"), kQueue, QStringLiteral("-t"), title, text});
        EXPECT_GT(jobId, 0) << "lp refused the job";
        EXPECT_STREQ(stateName(waitForJob(cups, jobId)), "Finished");
        const QString landed = pdfFolder() + title + QStringLiteral(".pdf");
        EXPECT_TRUE(QFile::exists(landed)) << "not in the PDF folder";
        QFile::remove(landed);
    };

    // Another program prints while the run's page is on its way.
    const QString target = out.filePath(QStringLiteral("entry.pdf"));
    pointPrinterAt(cups, target);
    otherProgramPrints();
    const QByteArray page = makePdf(QStringLiteral("the entry's page"));
    EXPECT_STREQ(stateName(print(page, QStringLiteral("entry"))), "Finished");
    EXPECT_EQ(readFile(target), page);

    // A run killed after pointing: the next plain lp leaves its PDF alone.
    const QString killed = out.filePath(QStringLiteral("killed run.pdf"));
    ASSERT_TRUE(writeFile(killed, page));
    {
        CupsPrintSystem killedRun;
        pointPrinterAt(killedRun, killed);
    }
    otherProgramPrints();
    EXPECT_EQ(readFile(killed), page);

    // Two runs of one user at once, their jobs crossing.
    CupsPrintSystem first, second;
    const QString firstTarget = out.filePath(QStringLiteral("first run.pdf"));
    const QString secondTarget = out.filePath(QStringLiteral("second run.pdf"));
    const QByteArray firstPage = makePdf(QStringLiteral("first run's page"));
    const QByteArray secondPage = makePdf(QStringLiteral("second run's page"), 16);
    const QString firstSource = out.filePath(QStringLiteral("first.src"));
    const QString secondSource = out.filePath(QStringLiteral("second.src"));
    ASSERT_TRUE(writeFile(firstSource, firstPage));
    ASSERT_TRUE(writeFile(secondSource, secondPage));
    pointPrinterAt(first, firstTarget);
    pointPrinterAt(second, secondTarget);
    const int secondJob = second.submitPdfToDefault(secondSource, QStringLiteral("second"));
    const int firstJob = first.submitPdfToDefault(firstSource, QStringLiteral("first"));
    EXPECT_STREQ(stateName(waitForJob(cups, secondJob)), "Finished");
    EXPECT_STREQ(stateName(waitForJob(cups, firstJob)), "Finished");
    EXPECT_EQ(readFile(firstTarget), firstPage);
    EXPECT_EQ(readFile(secondTarget), secondPage);
}

TEST_F(PrinterJobsTest, TitlesNeverLeadAJobOutOfThePdfFolder) {
    QDir(QString::fromStdString(marrowby::controlFolder(accountHome().toStdString()))).removeRecursively();
    const QString text = out.filePath(QStringLiteral("titled.txt"));
    ASSERT_TRUE(writeFile(text, "title tricks\n"));
    const QString id = QUuid::createUuid().toString(QUuid::Id128);
    // Title, and the file it must become in the PDF folder.
    const std::pair<QString, QString> rows[] = {
        {QStringLiteral("../../") + id, QStringLiteral("_.._") + id + QStringLiteral(".pdf")},
        {QStringLiteral("/tmp/") + id, QStringLiteral("_tmp_") + id + QStringLiteral(".pdf")},
        {id + QString(210, 'x'), (id + QString(210, 'x')).left(200) + QStringLiteral(".pdf")},  // cut to 200 bytes
    };
    for (const auto& [title, file] : rows) {
        const int jobId = submitWithLp({QStringLiteral("-d"), kQueue, QStringLiteral("-t"), title, text});
        ASSERT_GT(jobId, 0) << "lp refused the job";
        EXPECT_STREQ(stateName(waitForJob(cups, jobId)), "Finished");
        EXPECT_TRUE(QFile::remove(pdfFolder() + file)) << file.toStdString();
    }
    EXPECT_FALSE(QFile::exists(QStringLiteral("/tmp/") + id + QStringLiteral(".pdf")));
    EXPECT_FALSE(QFile::exists(QDir::cleanPath(accountHome() + QStringLiteral("/../") + id + QStringLiteral(".pdf"))));
}

}  // namespace
