// Jobs the PDF printer must refuse: each one is aborted alone, writes
// nothing, and the queue goes on printing.
#include "printer_e2e_support.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>
#include <QUuid>
#include <sys/stat.h>

namespace {

using namespace printer_e2e;

class PrinterSecurityTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(printerReady());
        ASSERT_TRUE(out.isValid());
        ASSERT_TRUE(cups.setDefaultPrinter(kPdfPrinter));
        source = out.filePath(QStringLiteral("source.pdf"));
        ASSERT_TRUE(writeFile(source, makePdf(QStringLiteral("refused"))));
    }

    void TearDown() override {
        // Whatever happened, nothing the backend made may belong to root.
        for (const QString& folder : {out.path(), accountHome() + QStringLiteral("/PDF")}) {
            QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString path = it.next();
                struct stat st {};
                if (::lstat(QFile::encodeName(path).constData(), &st) == 0) {
                    EXPECT_NE(st.st_uid, 0u) << "owned by root: " << path.toStdString();
                }
            }
        }
    }

    // Prints the source with these control values; the job must fail.
    void expectRefused(const std::optional<QString>& outputFile, const std::optional<QString>& bypass,
                       const QString& file = QString()) {
        if (outputFile)
            setControlValue(marrowby::kOutputFileValue, *outputFile);
        else
            removeControlValue(marrowby::kOutputFileValue);
        if (bypass)
            setControlValue(marrowby::kBypassSaveAsValue, *bypass);
        else
            removeControlValue(marrowby::kBypassSaveAsValue);
        const int jobId = cups.submitPdfToDefault(file.isEmpty() ? source : file, QStringLiteral("refused"));
        EXPECT_STREQ(stateName(waitForJob(cups, jobId)), "Failed") << outputFile.value_or("-").toStdString();
        EXPECT_TRUE(queueStillPrints());
    }

    // No file of the backend's, finished or temporary, in the folder.
    static void expectNoLeftovers(const QString& folder) {
        const QStringList left =
            QDir(folder).entryList({QStringLiteral(".marrowby-*")}, QDir::Files | QDir::Hidden | QDir::System);
        EXPECT_TRUE(left.isEmpty()) << folder.toStdString() << ": " << left.join(' ').toStdString();
    }

    LpoptionsGuard lpoptions;
    CupsPrintSystem cups;
    QTemporaryDir out;
    QString source;
    const QString unique = QStringLiteral("marrowby-e2e-") + QUuid::createUuid().toString(QUuid::Id128);
};

TEST_F(PrinterSecurityTest, FoldersOfRootAreNeverWritten) {
    for (const QString& folder : {QStringLiteral("/etc"), QStringLiteral("/usr/local"), QStringLiteral("/")}) {
        const QString target = QDir::cleanPath(folder + '/' + unique + QStringLiteral(".pdf"));
        expectRefused(target, QStringLiteral("1"));
        EXPECT_FALSE(QFile::exists(target)) << target.toStdString();
        expectNoLeftovers(folder);
    }
    // Replacing a file that belongs to root is refused as well.
    expectRefused(QStringLiteral("/etc/hostname"), QStringLiteral("1"));
}

TEST_F(PrinterSecurityTest, AFolderOfTheUsersOwnWithoutWriteRightsIsNotWritten) {
    const QString locked = out.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkpath(locked));
    ASSERT_TRUE(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
    expectRefused(locked + QStringLiteral("/out.pdf"), QStringLiteral("1"));
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_TRUE(QDir(locked).isEmpty());
}

TEST_F(PrinterSecurityTest, UnusableTargetsAbortTheJob) {
    const QString folder = out.filePath(QStringLiteral("a folder"));
    ASSERT_TRUE(QDir().mkpath(folder));
    expectRefused(unique + QStringLiteral(".pdf"), QStringLiteral("1"));  // relative
    expectRefused(out.filePath(QStringLiteral("missing/out.pdf")), QStringLiteral("1"));
    expectRefused(folder, QStringLiteral("1"));
    expectRefused(QString(), QStringLiteral("1"));
    expectRefused(std::nullopt, QStringLiteral("1"));  // no OutputFile at all
    expectRefused(out.filePath(QStringLiteral("x.pdf")), std::nullopt);  // no BypassSaveAs

    EXPECT_FALSE(QFile::exists(QStringLiteral("/") + unique + QStringLiteral(".pdf")));
    EXPECT_FALSE(QFile::exists(accountHome() + '/' + unique + QStringLiteral(".pdf")));
    EXPECT_FALSE(QFile::exists(out.filePath(QStringLiteral("missing"))));
    EXPECT_FALSE(QFile::exists(out.filePath(QStringLiteral("x.pdf"))));
    EXPECT_TRUE(QDir(folder).isEmpty());
    expectNoLeftovers(out.path());
}

TEST_F(PrinterSecurityTest, AJobThatIsNoPdfIsNotWritten) {
    const QString notPdf = out.filePath(QStringLiteral("not.pdf"));
    ASSERT_TRUE(writeFile(notPdf, "%!PS-Adobe-3.0\nshowpage\n"));
    const QString target = out.filePath(QStringLiteral("target.pdf"));
    expectRefused(target, QStringLiteral("1"), notPdf);
    EXPECT_FALSE(QFile::exists(target));
    expectNoLeftovers(out.path());
}

TEST_F(PrinterSecurityTest, JobsOfUnknownUsersAndOfRootAreAborted) {
    for (const QString& user : {QStringLiteral("nosuchuser-") + unique.right(8), QStringLiteral("root")}) {
        const int jobId = submitWithLp({QStringLiteral("-U"), user, QStringLiteral("-d"), kQueue, source});
        ASSERT_GT(jobId, 0) << "lp refused the job of " << user.toStdString();
        EXPECT_STREQ(stateName(waitForJob(cups, jobId)), "Failed") << user.toStdString();
        EXPECT_TRUE(queueStillPrints());
    }
}

TEST_F(PrinterSecurityTest, TheQueueGoesOnPrintingAfterRefusedJobs) {
    expectRefused(QStringLiteral("relative.pdf"), QStringLiteral("1"));
    const QString target = out.filePath(QStringLiteral("after.pdf"));
    setControlValue(marrowby::kOutputFileValue, target);
    setControlValue(marrowby::kBypassSaveAsValue, QStringLiteral("1"));
    const int jobId = cups.submitPdfToDefault(source, QStringLiteral("after"));
    EXPECT_STREQ(stateName(waitForJob(cups, jobId)), "Finished");
    EXPECT_EQ(readFile(target), readFile(source));
}

}  // namespace
