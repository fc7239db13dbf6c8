// Jobs the PDF printer must refuse: each one is aborted alone, writes
// nothing, and the queue goes on printing.
#include "printer_e2e_support.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <QUuid>
#include <cups/cups.h>
#include <csignal>
#include "pdfprinter/writer_supervisor.h"
#include <pwd.h>
#include <sys/stat.h>

namespace {

using namespace printer_e2e;

// Runs a CUPS client; gives the job id it reports, 0 when it was refused.
int submittedJob(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());  // never a password prompt
    process.start(program, arguments);
    if (!process.waitForFinished(30000)) return 0;
    const QString output = QString::fromLocal8Bit(process.readAllStandardOutput());
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("(?:request id is \\S+-|job-id \\(integer\\) = )(\\d+)")).match(output);
    return process.exitCode() == 0 && match.hasMatch() ? match.captured(1).toInt() : 0;
}

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

    // Points the printer at `outputFile` as the tool does (armed, but with no
    // OutputFile at all when none is given) and prints; the job must fail.
    void expectRefused(const std::optional<QString>& outputFile, const QString& file = QString()) {
        pointPrinterAt(cups, outputFile.value_or(out.filePath(QStringLiteral("unused.pdf"))));
        if (!outputFile) removeControlValue(marrowby::kOutputFileValue);
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
        expectRefused(target);
        EXPECT_FALSE(QFile::exists(target)) << target.toStdString();
        expectNoLeftovers(folder);
    }
    // Replacing a file that belongs to root is refused as well.
    expectRefused(QStringLiteral("/etc/hostname"));
}

TEST_F(PrinterSecurityTest, AFolderOfTheUsersOwnWithoutWriteRightsIsNotWritten) {
    const QString locked = out.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkpath(locked));
    ASSERT_TRUE(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
    expectRefused(locked + QStringLiteral("/out.pdf"));
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_TRUE(QDir(locked).isEmpty());
}

TEST_F(PrinterSecurityTest, UnusableTargetsAbortTheJob) {
    const QString folder = out.filePath(QStringLiteral("a folder"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString fifo = out.filePath(QStringLiteral("fifo.pdf"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString readOnly = out.filePath(QStringLiteral("read-only.pdf"));
    ASSERT_TRUE(writeFile(readOnly, "kept"));
    ASSERT_TRUE(QFile::setPermissions(readOnly, QFile::ReadOwner));
    expectRefused(unique + QStringLiteral(".pdf"));  // relative
    expectRefused(out.filePath(QStringLiteral("missing/out.pdf")));
    expectRefused(folder);
    expectRefused(QString());
    expectRefused(std::nullopt);  // no OutputFile at all
    expectRefused(fifo);
    expectRefused(readOnly);
    EXPECT_EQ(readFile(readOnly), QByteArray("kept"));

    EXPECT_FALSE(QFile::exists(QStringLiteral("/") + unique + QStringLiteral(".pdf")));
    EXPECT_FALSE(QFile::exists(accountHome() + '/' + unique + QStringLiteral(".pdf")));
    EXPECT_FALSE(QFile::exists(out.filePath(QStringLiteral("missing"))));
    EXPECT_TRUE(QDir(folder).isEmpty());
    expectNoLeftovers(out.path());
}

TEST_F(PrinterSecurityTest, AJobThatIsNoPdfIsNotWritten) {
    const QString notPdf = out.filePath(QStringLiteral("not.pdf"));
    ASSERT_TRUE(writeFile(notPdf, "%!PS-Adobe-3.0\nshowpage\n"));
    const QString target = out.filePath(QStringLiteral("target.pdf"));
    expectRefused(target, notPdf);
    EXPECT_FALSE(QFile::exists(target));
    expectNoLeftovers(out.path());
}

TEST_F(PrinterSecurityTest, JobsClaimedForUnknownUsersOrRootAreRefused) {
    for (const QString& user : {QStringLiteral("nosuchuser-") + unique.right(8), QStringLiteral("root")}) {
        const int jobId = submittedJob(QStringLiteral("lp"), {QStringLiteral("-U"), user, QStringLiteral("-d"), kQueue,
                                                              source});
        if (jobId > 0) {
            EXPECT_STREQ(stateName(waitForJob(cups, jobId)), "Failed") << user.toStdString();
        }
        EXPECT_TRUE(queueStillPrints());
    }
}

TEST_F(PrinterSecurityTest, TheQueueGoesOnPrintingAfterRefusedJobs) {
    expectRefused(QStringLiteral("relative.pdf"));
    const QString target = out.filePath(QStringLiteral("after.pdf"));
    pointPrinterAt(cups, target);
    const int jobId = cups.submitPdfToDefault(source, QStringLiteral("after"));
    EXPECT_STREQ(stateName(waitForJob(cups, jobId)), "Finished");
    EXPECT_EQ(readFile(target), readFile(source));
}

// The second account scripts/as-test-user makes ("<user>-b"), whose files a
// job of this user must never reach; its PDF folder is open for reading.
struct OtherAccount {
    QString name;
    QString pdfFolder;
    QStringList files() const { return QDir(pdfFolder).entryList(QDir::Files | QDir::Hidden | QDir::System); }
};

std::optional<OtherAccount> otherAccount() {
    const struct passwd* self = ::getpwuid(::getuid());
    if (!self) return std::nullopt;
    const QString name = QString::fromLocal8Bit(self->pw_name) + QStringLiteral("-b");
    const struct passwd* other = ::getpwnam(name.toLocal8Bit().constData());
    if (!other) return std::nullopt;
    return OtherAccount{name, QString::fromLocal8Bit(other->pw_dir) + QStringLiteral("/PDF")};
}

QString localSocketPrinterUri() {
    const QString server = QString::fromUtf8(cupsServer());
    const QString host = server.startsWith('/') ? QString::fromUtf8(QUrl::toPercentEncoding(server)) : server;
    return QStringLiteral("ipp://") + host + QStringLiteral("/printers/") + kQueue;
}

TEST_F(PrinterSecurityTest, ANameClaimedForAnotherAccountWritesNothingOfTheirs) {
    const std::optional<OtherAccount> other = otherAccount();
    if (!other) GTEST_SKIP() << "no second account; scripts/as-test-user makes \"<user>-b\"";
    QDir(QString::fromStdString(marrowby::controlFolder(accountHome().toStdString()))).removeRecursively();
    const QStringList othersFiles = other->files();
    const QString text = out.filePath(QStringLiteral("claimed.txt"));
    ASSERT_TRUE(writeFile(text, "written by someone else\n"));
    const QString ippTest = out.filePath(QStringLiteral("claim.test"));
    ASSERT_TRUE(writeFile(ippTest, "{ NAME \"claim\" OPERATION Print-Job\n"
                                   "GROUP operation-attributes-tag\n"
                                   "ATTR charset attributes-charset utf-8\n"
                                   "ATTR language attributes-natural-language en\n"
                                   "ATTR uri printer-uri $uri\n"
                                   "ATTR name requesting-user-name $claimed\n"
                                   "ATTR name job-name $title\n"
                                   "ATTR mimeMediaType document-format text/plain\n"
                                   "FILE $filename STATUS successful-ok EXPECT job-id }\n"));
    const bool haveIpptool = !QStandardPaths::findExecutable(QStringLiteral("ipptool")).isEmpty();

    struct Row {
        const char* name;
        QString uri;  // empty: lp -U
    };
    const Row rows[] = {
        {"lp -U", QString()},
        {"IPP on the local socket", localSocketPrinterUri()},
        {"IPP on localhost:631", QStringLiteral("ipp://localhost:%1/printers/%2").arg(ippPort()).arg(kQueue)},
    };
    for (const Row& row : rows) {
        if (!row.uri.isEmpty() && !haveIpptool) continue;
        const QString title = QStringLiteral("claimed ") + QUuid::createUuid().toString(QUuid::Id128);
        const int jobId =
            row.uri.isEmpty()
                ? submittedJob(QStringLiteral("lp"), {QStringLiteral("-U"), other->name, QStringLiteral("-d"), kQueue,
                                                      QStringLiteral("-t"), title, text})
                : submittedJob(QStringLiteral("ipptool"),
                               {QStringLiteral("-tv"), QStringLiteral("-d"), QStringLiteral("claimed=") + other->name,
                                QStringLiteral("-d"), QStringLiteral("title=") + title, QStringLiteral("-f"), text,
                                row.uri, ippTest});
        // Refused outright, or taken as this user's own job.
        const QString mine = accountHome() + QStringLiteral("/PDF/") + title + QStringLiteral(".pdf");
        if (jobId > 0) {
            EXPECT_STREQ(stateName(waitForJob(cups, jobId)), "Finished") << row.name;
            EXPECT_TRUE(QFile::exists(mine)) << row.name;
            QFile::remove(mine);
        }
        EXPECT_EQ(other->files(), othersFiles) << row.name;
    }
}

TEST_F(PrinterSecurityTest, AJobMovedInFromAnotherQueueIsRefused) {
    const std::optional<OtherAccount> other = otherAccount();
    if (!other) GTEST_SKIP() << "no second account; scripts/as-test-user makes \"<user>-b\"";
    // A queue under CUPS's default policy, which takes any claimed name; it
    // is stopped, so the job waits there until it is moved.
    const QString probe = QStringLiteral("Marrowby_Move_Probe_") + unique.right(8);
    if (!runTool(QStringLiteral("lpadmin"), {QStringLiteral("-p"), probe, QStringLiteral("-v"),
                                             QStringLiteral("lpd://127.0.0.1:9/none")}))
        GTEST_SKIP() << "adding a queue needs a print administrator (group lpadmin)";
    struct Remove {
        QString queue;
        ~Remove() { runTool(QStringLiteral("lpadmin"), {QStringLiteral("-x"), queue}); }
    } remove{probe};
    ASSERT_TRUE(runTool(QStringLiteral("cupsaccept"), {probe}));
    const QStringList othersFiles = other->files();
    const QString text = out.filePath(QStringLiteral("moved.txt"));
    ASSERT_TRUE(writeFile(text, "moved in\n"));
    const QString title = QStringLiteral("moved ") + unique;

    const int jobId = submittedJob(QStringLiteral("lp"), {QStringLiteral("-U"), other->name, QStringLiteral("-d"),
                                                          probe, QStringLiteral("-t"), title, text});
    ASSERT_GT(jobId, 0);
    ASSERT_TRUE(runTool(QStringLiteral("lpmove"), {probe + '-' + QString::number(jobId), kQueue}));
    EXPECT_STREQ(stateName(waitForJob(cups, jobId)), "Failed");
    EXPECT_EQ(other->files(), othersFiles);
    EXPECT_FALSE(QFile::exists(accountHome() + QStringLiteral("/PDF/") + title + QStringLiteral(".pdf")));
    EXPECT_TRUE(queueStillPrints());
}

// The processes of this account that run the printer's backend: its writer.
std::vector<pid_t> writersOfThisAccount() {
    std::vector<pid_t> pids;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool numeric = false;
        const pid_t pid = entry.toInt(&numeric);
        if (!numeric) continue;
        const std::optional<QByteArray> status = readFile(QStringLiteral("/proc/%1/status").arg(pid));
        if (!status || !status->startsWith("Name:\tmarrowby\n")) continue;
        const QRegularExpressionMatch uid =
            QRegularExpression(QStringLiteral("\nUid:\t(\\d+)")).match(QString::fromLatin1(*status));
        if (uid.hasMatch() && uid.captured(1).toUInt() == ::getuid()) pids.push_back(pid);
    }
    return pids;
}

// A writer is the user's own process: the user may stop or kill it mid-copy.
// Its job fails alone, with no partial file left, and the next job runs at
// once; a stopped writer holds the queue only for the keeper's time limit.
TEST_F(PrinterSecurityTest, AWriterStoppedOrKilledMidCopyFailsOnlyItsJobAndLeavesNoPartialFile) {
    constexpr int kJobMegabytes = 16;
    const QString big = out.filePath(QStringLiteral("big.src"));
    ASSERT_TRUE(writeFile(big, makePdf(QStringLiteral("big")) + QByteArray(kJobMegabytes << 20, ' ')));
    const std::pair<const char*, int> rows[] = {{"killed", SIGKILL}, {"stopped", SIGSTOP}};
    for (const auto& [row, signal] : rows) {
        const QString target = out.filePath(QStringLiteral("big.pdf"));
        pointPrinterAt(cups, target);
        const int jobId = cups.submitPdfToDefault(big, QStringLiteral("big"));
        ASSERT_GT(jobId, 0);
        // Caught once its partial file is there, in the middle of the copy.
        QElapsedTimer waited;
        waited.start();
        while (QDir(out.path()).entryList({QStringLiteral(".marrowby-*.part")}, QDir::Files | QDir::Hidden).isEmpty() &&
               waited.elapsed() < 20000)
            QThread::usleep(200);
        const std::vector<pid_t> writers = writersOfThisAccount();
        ASSERT_FALSE(writers.empty()) << row << ": the writer was not caught";
        for (pid_t pid : writers) ::kill(pid, signal);

        const int limitMs = (marrowby::kWriterBaseSeconds + kJobMegabytes + 15) * 1000;
        EXPECT_STREQ(stateName(waitForJob(cups, jobId, limitMs)), "Failed") << row;
        for (pid_t pid : writers) ::kill(pid, SIGKILL);  // none is left to kill
        EXPECT_FALSE(QFile::exists(target)) << row;
        expectNoLeftovers(out.path());
        EXPECT_TRUE(queueStillPrints());

        const QString next = out.filePath(QStringLiteral("next.pdf"));
        pointPrinterAt(cups, next);
        const int nextJob = cups.submitPdfToDefault(source, QStringLiteral("next"));
        EXPECT_STREQ(stateName(waitForJob(cups, nextJob, 10000)), "Finished") << row;
        EXPECT_EQ(readFile(next), readFile(source)) << row;
        QFile::remove(next);
    }
}

// The backend's lines become the printer's state message, which every client
// reads as UTF-8: a path of any bytes must not make the printer unreadable.
TEST_F(PrinterSecurityTest, AFileNameThatIsNotUtf8KeepsThePrinterReadableForEveryone) {
    const std::string token(32, 'e');
    const std::string home = accountHome().toStdString();
    const std::string target = "/nonexistent-" + unique.toStdString() + "-\xff\xfe/x\xc3.pdf";
    ASSERT_EQ(marrowby::writeControlValue(home, marrowby::kOutputFileValue, target), "");
    ASSERT_EQ(marrowby::writeControlValue(home, marrowby::kBypassSaveAsValue, "1"), "");
    ASSERT_EQ(marrowby::writeControlValue(home, marrowby::kPointingValuePrefix + token, target), "");
    const int jobId = submittedJob(QStringLiteral("lp"), {QStringLiteral("-d"), kQueue, QStringLiteral("-o"),
                                                          QStringLiteral("marrowby-pointing=") + QString::fromStdString(token),
                                                          source});
    ASSERT_GT(jobId, 0);
    EXPECT_STREQ(stateName(waitForJob(cups, jobId)), "Failed");
    const QString message = cups.jobPrinterMessage(jobId);
    EXPECT_TRUE(message.contains(QStringLiteral("-\\xff\\xfe\" does not exist"))) << message.toStdString();
    EXPECT_TRUE(cups.printerDeviceNames().contains(kPdfPrinter));
    const std::optional<QString> state = runTool(QStringLiteral("lpstat"), {QStringLiteral("-l"), QStringLiteral("-p"), kQueue});
    ASSERT_TRUE(state.has_value()) << "the printer's state cannot be read";
    EXPECT_TRUE(state->contains(kQueue));
}

}  // namespace
