// quendrel-batch as a user starts it: the built program, as an ordinary user,
// with no display at all, over pages served on 127.0.0.1, through CUPS and the
// Marrowby PDF Writer queue; its JSON lines, PDFs, exit statuses and signals.
#include "support/local_http_server.h"
#include "support/renderer_killer.h"
#include "support/poppler_tools.h"
#include "support/qstring_printer.h"
#include "support/whole_run_platform.h"
#include "user_default_printer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <csignal>
#include <map>
#include <memory>
#include <sys/types.h>

namespace quendrel {
namespace {

using testing::HttpResponse;
using testing::LocalHttpServer;

const QString kQueue = QStringLiteral("Marrowby_PDF_Writer");

QByteArray page(const QByteArray& words) {
    return "<html><head><title>" + words + "</title></head><body><h1>" + words +
           "</h1><p>Quendrel command line page.</p></body></html>";
}

QString batchProgram() { return qEnvironmentVariable("QUENDREL_BUILD_DIR") + QStringLiteral("/bin/quendrel-batch"); }

// The PDF the printer writes for an address of the test server.
QString pdfOf(const QString& folder, const LocalHttpServer& server, const QString& path) {
    return folder + QStringLiteral("/127.0.0.1 %1_%2.pdf").arg(server.port()).arg(path);
}

bool writeList(const QString& file, const QStringList& entries) {
    QFile list(file);
    if (!list.open(QIODevice::WriteOnly)) return false;
    list.write((entries.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    return true;
}

QByteArray bytesOf(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// What a run leaves besides PDFs: pictures, page copies, the printer's
// unfinished files.
QStringList leftovers(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("*.jpg"), QStringLiteral("*.htm"), QStringLiteral(".marrowby-*.part")},
                                  QDir::Files | QDir::Hidden);
}

// One started quendrel-batch with no display in its environment, its
// standard output and error gathered as they come.
class BatchRun {
public:
    // feeder, when given, writes the list into the program's standard input
    // through a pipe; the caller starts it.
    explicit BatchRun(const QStringList& arguments, QProcess* feeder = nullptr) {
        if (feeder) feeder->setStandardOutputProcess(&process_);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(name));
        process_.setProcessEnvironment(environment);
        process_.start(batchProgram(), arguments);
    }
    ~BatchRun() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5'000);
        }
    }
    BatchRun(const BatchRun&) = delete;
    BatchRun& operator=(const BatchRun&) = delete;

    // Waits for the end; gives the exit status, or -1 when it did not end
    // normally in time.
    int finish(int limitMs = 300'000) {
        // waitForFinished() says false also for a program that ended while
        // the test's event loop ran.
        if (process_.state() != QProcess::NotRunning && !process_.waitForFinished(limitMs)) return -1;
        gather();
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    }
    // Waits until standard output holds this many lines; false when the
    // program ended or the time ran out first.
    bool waitForLines(int count, int limitMs) {
        QElapsedTimer timer;
        timer.start();
        while (gather().count('\n') < count) {
            if (process_.state() == QProcess::NotRunning || timer.elapsed() > limitMs) return false;
            process_.waitForReadyRead(50);
        }
        return true;
    }
    // Sends a signal, as a terminal or a service manager would.
    void signal(int number) { ::kill(pid(), number); }
    pid_t pid() const { return static_cast<pid_t>(process_.processId()); }
    bool running() const { return process_.state() != QProcess::NotRunning; }
    const QByteArray& gather() {
        out_ += process_.readAllStandardOutput();
        err_ += process_.readAllStandardError();
        return out_;
    }
    QString errors() {
        gather();
        return QString::fromLocal8Bit(err_);
    }
    // Every line of standard output as a JSON object; a line that is not one
    // fails the test.
    std::vector<QJsonObject> entries() {
        std::vector<QJsonObject> objects;
        for (const QByteArray& line : gather().split('\n')) {
            if (line.isEmpty()) continue;
            QJsonParseError error{};
            const QJsonDocument document = QJsonDocument::fromJson(line, &error);
            EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
            EXPECT_TRUE(document.isObject()) << line.toStdString();
            const QJsonObject object = document.object();
            EXPECT_EQ(object.keys(), QStringList({"address", "consent", "pdf", "reason", "seconds", "status"})) << line.toStdString();
            objects.push_back(object);
        }
        EXPECT_TRUE(out_.isEmpty() || out_.endsWith('\n')) << "a line left unfinished";
        return objects;
    }

private:
    QProcess process_;
    QByteArray out_;
    QByteArray err_;
};

// The lines of a run by address; an address reported twice fails the test.
std::map<QString, QJsonObject> byAddress(const std::vector<QJsonObject>& lines) {
    std::map<QString, QJsonObject> map;
    for (const QJsonObject& line : lines)
        EXPECT_TRUE(map.emplace(line[QStringLiteral("address")].toString(), line).second)
            << "reported twice: " << line[QStringLiteral("address")].toString().toStdString();
    return map;
}

class BatchEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(out.isValid());
        ASSERT_TRUE(QFileInfo(batchProgram()).isExecutable()) << "run through ctest";
        ASSERT_TRUE(whole.cups.printerDeviceNames().contains(QStringLiteral("Marrowby PDF Writer")))
            << "cupsd must run with the PDF printer installed";
    }
    // Pages of one run, each with its own words and the given delay; gives
    // their addresses.
    QStringList servePages(const QString& run, int count, int delayMs) {
        QStringList addresses;
        for (int i = 0; i < count; ++i) {
            HttpResponse response = HttpResponse::html(page(words(run, i).toUtf8()));
            response.delayMs = delayMs;
            server.serve(QLatin1Char('/') + path(run, i), response);
            addresses << server.url(QLatin1Char('/') + path(run, i));
        }
        return addresses;
    }
    static QString path(const QString& run, int i) { return QStringLiteral("%1-%2.html").arg(run).arg(i); }
    static QString words(const QString& run, int i) { return QStringLiteral("%1 page %2 Kestrel").arg(run).arg(i); }
    QString list(const QString& name, const QStringList& entries) {
        const QString file = lists.filePath(name);
        EXPECT_TRUE(writeList(file, entries));
        return file;
    }
    QString pdf(const QString& run, int i) { return pdfOf(out.path(), server, path(run, i)); }
    // Every PDF of the run is there and holds its own page's words.
    void expectEachPdfHoldsItsPage(const QString& run, int count) {
        for (int i = 0; i < count; ++i) {
            const QString file = pdf(run, i);
            ASSERT_TRUE(QFileInfo::exists(file)) << file.toStdString();
            EXPECT_TRUE(testing::PdfText(file).contains(words(run, i))) << file.toStdString();
        }
    }

    QTemporaryDir out;
    QTemporaryDir lists;  // the list files, apart from the PDFs
    LocalHttpServer server;
    testing::WholeRunPlatform whole;
};

// Every method over one list of good, slow, redirecting, crashing, missing
// and unreachable pages.
TEST_F(BatchEndToEnd, EveryMethodWritesTheGoodPagesAndNamesWhyTheOthersFailed) {
    constexpr int kGood = 13;
    const QStringList good = servePages(QStringLiteral("good"), kGood, 0);
    HttpResponse slow = HttpResponse::html(page("Slow Tortoise Page"));
    slow.delayMs = 4'000;
    server.serve(QStringLiteral("/slow.html"), slow);
    server.serve(QStringLiteral("/gone.html"), HttpResponse::html(page("Gone Page Marker"), 404));
    server.serve(QStringLiteral("/empty-gone.html"), HttpResponse::html(QByteArray(), 404));
    const QString slowAddress = server.url(QStringLiteral("/slow.html"));
    const QString gone = server.url(QStringLiteral("/gone.html"));
    const QString emptyGone = server.url(QStringLiteral("/empty-gone.html"));
    const QString refused = QStringLiteral("http://127.0.0.1:%1/refused.html").arg(LocalHttpServer::closedPort());
    const QString unresolvable = QStringLiteral("http://no-such-host.invalid/");
    // Sent on by its script before its load, which then never comes.
    server.serve(QStringLiteral("/leaving.html"),
                 HttpResponse::html("<script>location.replace('arrived.html')</script><p>Leaving</p>"));
    server.serve(QStringLiteral("/arrived.html"), HttpResponse::html(page("Arrived Heron Page")));
    const QString leaving = server.url(QStringLiteral("/leaving.html"));
    // Its renderer is killed while the page keeps changing after its load.
    server.serve(QStringLiteral("/heavy.html"), HttpResponse::html(testing::kHeavyPage));
    const QString heavy = server.url(QStringLiteral("/heavy.html"));
    QStringList entries = good.mid(0, 5);
    entries << gone << slowAddress << refused << good.mid(5, 3) << leaving << heavy << good.mid(8, 2) << unresolvable
            << emptyGone << good.mid(10);
    ASSERT_EQ(entries.size(), 20);
    const QString listFile = list(QStringLiteral("list.txt"), entries);

    // What each address that is not a good page gives, per method: the
    // status, and the words of the reason a user needs. A server's error page
    // is no page of the site, with a body or without, for every method.
    struct Expected {
        QString address;
        const char* status[3];
        QStringList reasonWords[3];
    };
    const Expected expected[] = {
        {slowAddress, {"written", "written", "written"}, {}},
        {leaving, {"written", "written", "written"}, {}},
        {heavy, {"failed", "failed", "failed"}, {{"the page crashed"}, {"the page crashed"}, {"the page crashed"}}},
        {gone, {"failed", "failed", "failed"}, {{"404 Not Found"}, {"404 Not Found"}, {"404 Not Found"}}},
        {emptyGone, {"failed", "failed", "failed"}, {{"404 Not Found"}, {"404 Not Found"}, {"404 Not Found"}}},
        {refused, {"failed", "failed", "failed"}, {{"refused"}, {"refused"}, {"refused"}}},
        {unresolvable, {"failed", "failed", "failed"}, {{"not found"}, {"not found"}, {"not found"}}},
    };
    const QString defaultBefore = default_printer_e2e::lpstatDefault();
    for (int method = 1; method <= 3; ++method) {
        SCOPED_TRACE(method);
        QTemporaryDir folder;
        QElapsedTimer took;
        took.start();
        BatchRun run({QStringLiteral("--method"), QString::number(method), QStringLiteral("--folder"), folder.path(),
                      listFile});
        const testing::RendererKiller killer(run.pid());
        EXPECT_EQ(run.finish(), 1) << run.errors().toStdString();
        EXPECT_TRUE(killer.killed());
        RecordProperty(QStringLiteral("method%1_seconds").arg(method).toStdString(), static_cast<int>(took.elapsed() / 1000));
        EXPECT_FALSE(run.errors().contains(QLatin1Char('\r'))) << "a bare carriage return on a pipe";
        const std::vector<QJsonObject> lines = run.entries();
        ASSERT_EQ(lines.size(), 20u) << run.errors().toStdString();
        for (int i = 0; i < 20; ++i) EXPECT_EQ(lines[i][QStringLiteral("address")].toString(), entries[i]) << "list order";
        std::map<QString, QJsonObject> outcome = byAddress(lines);

        QSet<QString> written;
        for (int i = 0; i < kGood; ++i) {
            const QJsonObject line = outcome[good[i]];
            EXPECT_EQ(line[QStringLiteral("status")].toString(), QStringLiteral("written")) << good[i].toStdString();
            EXPECT_EQ(line[QStringLiteral("reason")].toString(), QString());
            EXPECT_EQ(line[QStringLiteral("pdf")].toString(), pdfOf(folder.path(), server, path(QStringLiteral("good"), i)));
        }
        for (const Expected& e : expected) {
            SCOPED_TRACE(e.address.toStdString());
            const QJsonObject line = outcome[e.address];
            EXPECT_EQ(line[QStringLiteral("status")].toString(), QString::fromLatin1(e.status[method - 1]));
            const QString reason = line[QStringLiteral("reason")].toString();
            if (line[QStringLiteral("status")].toString() == QStringLiteral("failed")) {
                EXPECT_FALSE(reason.isEmpty());
                for (const QString& word : e.reasonWords[method - 1])
                    EXPECT_TRUE(reason.contains(word, Qt::CaseInsensitive)) << reason.toStdString();
            } else {
                EXPECT_EQ(reason, QString());
            }
            EXPECT_GE(line[QStringLiteral("seconds")].toDouble(), 0.0);
        }

        // The first document's load, which never comes, is not waited for.
        EXPECT_LT(outcome[leaving][QStringLiteral("seconds")].toDouble(), 30.0);
        RecordProperty(QStringLiteral("method%1_redirect_seconds").arg(method).toStdString(),
                       QString::number(outcome[leaving][QStringLiteral("seconds")].toDouble()).toStdString());

        // The PDFs: the good, slow and redirecting pages, each its own;
        // nothing else is left.
        QStringList expectedFiles;
        for (int i = 0; i < kGood; ++i) expectedFiles << QFileInfo(pdfOf(folder.path(), server, path("good", i))).fileName();
        expectedFiles << QFileInfo(pdfOf(folder.path(), server, QStringLiteral("slow.html"))).fileName();
        expectedFiles << QFileInfo(pdfOf(folder.path(), server, QStringLiteral("leaving.html"))).fileName();
        expectedFiles.sort();
        EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), expectedFiles);
        for (int i = 0; i <= kGood; ++i) {
            const QString file = i < kGood ? pdfOf(folder.path(), server, path("good", i))
                                           : pdfOf(folder.path(), server, QStringLiteral("slow.html"));
            const QString own = i < kGood ? words(QStringLiteral("good"), i) : QStringLiteral("Slow Tortoise Page");
            if (!QFileInfo::exists(file)) continue;  // said above
            EXPECT_EQ(QFileInfo(file).ownerId(), getuid());
            if (method == 1) {
                EXPECT_EQ(testing::PdfInfoField(file, QStringLiteral("Pages")), QStringLiteral("1")) << file.toStdString();
                EXPECT_EQ(testing::PdfImages(file).size(), 1u) << file.toStdString();
            } else {
                EXPECT_TRUE(testing::PdfText(file).contains(own)) << file.toStdString();
            }
        }
        if (method != 1) {
            EXPECT_TRUE(testing::PdfText(pdfOf(folder.path(), server, QStringLiteral("leaving.html")))
                            .contains(QStringLiteral("Arrived Heron Page")));
        }
    }
    EXPECT_EQ(default_printer_e2e::lpstatDefault(), defaultBefore) << "the default printer was touched";
}

// Two command-line runs and a window run of one user at once, into one
// folder: every PDF holds its own page, and a document another program
// prints meanwhile lands in ~/PDF under its title.
TEST_F(BatchEndToEnd, TwoCommandLineRunsAndAWindowAtOnceEachGetTheirOwnPages) {
    constexpr int kPages = 4;
    const QString letter = lists.filePath(QStringLiteral("letter.txt"));
    ASSERT_TRUE(writeList(letter, {QStringLiteral("A letter from another program")}));
    const QString title = QStringLiteral("batch-letter-") + QString::number(QCoreApplication::applicationPid());
    const QString landed = QDir::homePath() + QStringLiteral("/PDF/") + title + QStringLiteral(".pdf");
    QFile::remove(landed);

    const QStringList window = servePages(QStringLiteral("window"), kPages, 500);
    BatchRun first({QStringLiteral("--method=2"), QStringLiteral("--folder=") + out.path(),
                    list(QStringLiteral("first.txt"), servePages(QStringLiteral("first"), kPages, 500))});
    BatchRun second({QStringLiteral("--method"), QStringLiteral("2"), QStringLiteral("--folder"), out.path(),
                     list(QStringLiteral("second.txt"), servePages(QStringLiteral("second"), kPages, 500))});
    // Once the first command-line run has written a PDF, while the others
    // are still at work.
    int lp = -1;
    bool othersRunning = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (lp != -1 || !first.gather().contains('\n')) return;
        othersRunning = first.running() && second.running();
        QProcess tool;
        tool.start(QStringLiteral("lp"), {QStringLiteral("-d"), kQueue, QStringLiteral("-t"), title, letter});
        tool.waitForFinished(30'000);
        lp = tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -2;
    });
    watch.start(20);
    std::unique_ptr<MainWindow> form = whole.openWindow(out.path());
    const QString closing = whole.runEntries(*form, window, 2);
    watch.stop();
    EXPECT_EQ(closing, QStringLiteral("Done."));
    EXPECT_EQ(first.finish(), 0) << first.errors().toStdString();
    EXPECT_EQ(second.finish(), 0) << second.errors().toStdString();
    EXPECT_EQ(lp, 0) << "lp did not print during the runs";
    EXPECT_TRUE(othersRunning) << "lp printed after a command-line run had ended";
    EXPECT_EQ(first.entries().size(), static_cast<size_t>(kPages));
    EXPECT_EQ(second.entries().size(), static_cast<size_t>(kPages));
    for (const char* run : {"window", "first", "second"}) {
        SCOPED_TRACE(run);
        expectEachPdfHoldsItsPage(QString::fromLatin1(run), kPages);
        for (int i = 0; i < kPages; ++i)
            EXPECT_NE(testing::PdfInfoField(pdf(QString::fromLatin1(run), i), QStringLiteral("Title")), title);
    }
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).size(), 3 * kPages) << "only the runs' PDFs";
    QElapsedTimer waited;
    waited.start();
    while (!QFile::exists(landed) && waited.elapsed() < 20'000) QTest::qWait(50);
    ASSERT_TRUE(QFile::exists(landed)) << "the other program's document is not in ~/PDF";
    // The text printer's PDF keeps no text to read back: its title and maker say it is the letter.
    const QMap<QString, QString> letterInfo = testing::PdfInfoFields(landed);
    EXPECT_EQ(letterInfo.value(QStringLiteral("Title")), title);
    EXPECT_TRUE(letterInfo.value(QStringLiteral("Creator")).startsWith(QStringLiteral("texttopdf")))
        << letterInfo.value(QStringLiteral("Creator")).toStdString();
    QFile::remove(landed);
}

// The same list on three "machines" at once writes every PDF exactly once.
TEST_F(BatchEndToEnd, ThreeShardsOfOneListWriteEveryPdfOnce) {
    constexpr int kPages = 9;
    constexpr int kShards = 3;
    const QStringList entries = servePages(QStringLiteral("shard"), kPages, 200);
    const QString listFile = list(QStringLiteral("list.txt"), entries);
    std::vector<std::unique_ptr<BatchRun>> runs;
    for (int shard = 0; shard < kShards; ++shard)
        runs.push_back(std::make_unique<BatchRun>(QStringList{QStringLiteral("--method"), QStringLiteral("2"),
                                                              QStringLiteral("--shard"),
                                                              QStringLiteral("%1/%2").arg(shard).arg(kShards),
                                                              QStringLiteral("--folder"), out.path(), listFile}));
    std::vector<QJsonObject> all;
    for (int shard = 0; shard < kShards; ++shard) {
        SCOPED_TRACE(shard);
        EXPECT_EQ(runs[shard]->finish(), 0) << runs[shard]->errors().toStdString();
        const std::vector<QJsonObject> lines = runs[shard]->entries();
        QStringList mine;
        for (const QJsonObject& line : lines) {
            mine << line[QStringLiteral("address")].toString();
            EXPECT_EQ(line[QStringLiteral("status")].toString(), QStringLiteral("written"));
        }
        EXPECT_EQ(mine, QStringList({entries[shard], entries[shard + kShards], entries[shard + 2 * kShards]}))
            << "positions " << shard << " modulo " << kShards;
        all.insert(all.end(), lines.begin(), lines.end());
    }
    EXPECT_EQ(all.size(), static_cast<size_t>(kPages));
    EXPECT_EQ(byAddress(all).size(), static_cast<size_t>(kPages));
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).size(), kPages);
    expectEachPdfHoldsItsPage(QStringLiteral("shard"), kPages);
}

// A script hands its list over a pipe, as `yes ADDRESS | head -n 3 |` does.
TEST_F(BatchEndToEnd, AListPipedIntoStandardInputIsRead) {
    const QStringList address = servePages(QStringLiteral("piped"), 1, 0);
    QProcess yes;
    QProcess head;
    yes.setStandardOutputProcess(&head);
    BatchRun run({QStringLiteral("--method"), QStringLiteral("2"), QStringLiteral("--folder"), out.path(),
                  QStringLiteral("-")},
                 &head);
    yes.start(QStringLiteral("yes"), address);
    head.start(QStringLiteral("head"), {QStringLiteral("-n"), QStringLiteral("3")});
    EXPECT_EQ(run.finish(), 0) << run.errors().toStdString();
    yes.kill();  // head has gone after three lines; yes ends on its broken pipe, or here
    yes.waitForFinished(5'000);
    const std::vector<QJsonObject> lines = run.entries();
    ASSERT_EQ(lines.size(), 3u) << run.errors().toStdString();
    QSet<QString> pdfs;
    for (const QJsonObject& line : lines) {
        EXPECT_EQ(line[QStringLiteral("address")].toString(), address[0]);
        EXPECT_EQ(line[QStringLiteral("status")].toString(), QStringLiteral("written"));
        const QString file = line[QStringLiteral("pdf")].toString();
        pdfs.insert(file);
        EXPECT_TRUE(testing::PdfText(file).contains(words(QStringLiteral("piped"), 0))) << file.toStdString();
    }
    EXPECT_EQ(pdfs.size(), 3) << "each entry its own PDF";
}

// A signal abandons the entry in hand cleanly: its status, no picture, page
// copy or unfinished PDF left, the entries not done listed; with SIGINT the
// same list run again with --skip-existing finishes the rest and leaves the
// earlier PDFs as they were.
TEST_F(BatchEndToEnd, ASignalStopsTheRunCleanlyAndSkipExistingFinishesIt) {
    struct Case {
        const char* what;
        int method;
        int signal;
        int status;
        int linesBefore;    // the signal follows this many JSON lines,
        const char* whileThere;  // or the first of these files in the folder
    };
    const Case cases[] = {
        {"SIGINT after two entries", 2, SIGINT, 130, 2, nullptr},
        {"SIGTERM while the page copy waits", 3, SIGTERM, 143, 0, "*.htm"},
        {"SIGTERM while the picture waits", 1, SIGTERM, 143, 0, "*.jpg"},
    };
    constexpr int kPages = 8;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir folder;
        const QString run = QStringLiteral("stop%1").arg(c.method);
        const QStringList entries = servePages(run, kPages, 700);
        const QString listFile = list(run + QStringLiteral(".txt"), entries);
        const QStringList arguments = {QStringLiteral("--method"), QString::number(c.method), QStringLiteral("--folder"),
                                       folder.path(), listFile};
        BatchRun stopped(arguments);
        if (c.whileThere) {
            QElapsedTimer timer;
            timer.start();
            while (stopped.running() && timer.elapsed() < 120'000 &&
                   QDir(folder.path()).entryList({QString::fromLatin1(c.whileThere)}, QDir::Files).isEmpty())
                QTest::qWait(5);
        } else {
            ASSERT_TRUE(stopped.waitForLines(c.linesBefore, 120'000)) << stopped.errors().toStdString();
        }
        ASSERT_TRUE(stopped.running()) << "the run ended before the signal";
        stopped.signal(c.signal);
        EXPECT_EQ(stopped.finish(30'000), c.status) << stopped.errors().toStdString();
        const std::vector<QJsonObject> done = stopped.entries();
        ASSERT_LT(done.size(), static_cast<size_t>(kPages));
        QSet<QString> reported;
        for (const QJsonObject& line : done) {
            EXPECT_EQ(line[QStringLiteral("status")].toString(), QStringLiteral("written"));
            reported << line[QStringLiteral("pdf")].toString();
        }
        // The job of the entry in hand may have reached the printer before
        // the signal: its PDF, whole, may come after the program ended.
        QTest::qWait(3'000);
        EXPECT_EQ(leftovers(folder.path()), QStringList());
        QStringList pdfs;
        for (const QString& name : QDir(folder.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name))
            pdfs << folder.filePath(name);
        const QString inHand = pdfOf(folder.path(), server, path(run, static_cast<int>(done.size())));
        for (const QString& file : reported) EXPECT_TRUE(pdfs.contains(file)) << file.toStdString();
        for (const QString& file : pdfs) {
            EXPECT_TRUE(reported.contains(file) || file == inHand) << "a PDF of an entry not begun: " << file.toStdString();
            EXPECT_EQ(testing::PdfInfoField(file, QStringLiteral("Pages")), QStringLiteral("1")) << file.toStdString();
        }
        const QString errors = stopped.errors();
        const qsizetype listed = errors.indexOf(QStringLiteral("not done:"));
        ASSERT_GE(listed, 0) << errors.toStdString();
        const QStringList notDoneLines = errors.mid(listed).split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(1);
        QStringList notDone;
        for (const QString& line : notDoneLines) notDone << line.trimmed();
        EXPECT_EQ(notDone, entries.mid(static_cast<qsizetype>(done.size()))) << errors.toStdString();
        if (c.signal != SIGINT) continue;

        std::map<QString, QByteArray> before;
        for (const QString& file : pdfs) before[file] = bytesOf(file);
        BatchRun resumed(QStringList{QStringLiteral("--skip-existing")} + arguments);
        EXPECT_EQ(resumed.finish(), 0) << resumed.errors().toStdString();
        const std::vector<QJsonObject> lines = resumed.entries();
        ASSERT_EQ(lines.size(), static_cast<size_t>(kPages));
        for (int i = 0; i < kPages; ++i) {
            EXPECT_EQ(lines[i][QStringLiteral("address")].toString(), entries[i]);
            const bool there = before.count(pdfOf(folder.path(), server, path(run, i))) > 0;
            EXPECT_EQ(lines[i][QStringLiteral("status")].toString(),
                      there ? QStringLiteral("skipped") : QStringLiteral("written"))
                << i;
        }
        for (const auto& [file, bytes] : before) EXPECT_EQ(bytesOf(file), bytes) << file.toStdString();
        for (int i = 0; i < kPages; ++i) {
            const QString file = pdfOf(folder.path(), server, path(run, i));
            ASSERT_TRUE(QFileInfo::exists(file)) << file.toStdString();
            EXPECT_TRUE(testing::PdfText(file).contains(words(run, i))) << file.toStdString();
        }
        EXPECT_EQ(leftovers(folder.path()), QStringList());
    }
}

// What keeps the program from starting is said in one line on standard
// error, with status 2 and nothing on standard output.
TEST_F(BatchEndToEnd, WhatKeepsARunFromStartingIsOneLineAndStatusTwo) {
    const QString listFile = list(QStringLiteral("list.txt"), {server.url(QStringLiteral("/never.html"))});
    const QString missing = out.filePath(QStringLiteral("no-such-folder"));
    struct Case {
        QStringList arguments;
        QString says;
    };
    const Case cases[] = {
        {{QStringLiteral("--method"), QStringLiteral("4"), QStringLiteral("--folder"), out.path(), listFile},
         QStringLiteral("--method takes 1, 2 or 3")},
        {{QStringLiteral("--shard"), QStringLiteral("3/3"), QStringLiteral("--folder"), out.path(), listFile},
         QStringLiteral("--shard")},
        {{QStringLiteral("--method"), QStringLiteral("2"), QStringLiteral("--folder"), missing, listFile},
         QStringLiteral("the folder \"%1\" does not exist").arg(missing)},
        {{QStringLiteral("--method"), QStringLiteral("2"), QStringLiteral("--folder"), out.path(),
          out.filePath(QStringLiteral("no-such-list.txt"))},
         QStringLiteral("cannot be read")},
        // Refused before a byte of it is read, not read until memory runs out.
        {{QStringLiteral("--method"), QStringLiteral("2"), QStringLiteral("--folder"), out.path(),
          QStringLiteral("/dev/zero")},
         QStringLiteral("the list \"/dev/zero\" cannot be read: it is not a file or a pipe")},
        // The test account may not write there: no entry is tried.
        {{QStringLiteral("--method"), QStringLiteral("2"), QStringLiteral("--folder"), QStringLiteral("/root"), listFile},
         QStringLiteral("the folder \"/root\" cannot be written into")},
        {{QStringLiteral("--methodology"), QStringLiteral("2"), QStringLiteral("--folder"), out.path(), listFile},
         QStringLiteral("unknown option --methodology (see --help)")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
        BatchRun run(c.arguments);
        EXPECT_EQ(run.finish(30'000), 2);
        EXPECT_TRUE(run.gather().isEmpty()) << run.gather().toStdString();
        // Qt's own warning about the test account's empty XDG_RUNTIME_DIR is
        // not the program's.
        QStringList lines = run.errors().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        lines.removeIf([](const QString& line) { return line.startsWith(QStringLiteral("QStandardPaths: XDG_RUNTIME_DIR")); });
        ASSERT_EQ(lines.size(), 1) << run.errors().toStdString();
        EXPECT_TRUE(lines[0].startsWith(QStringLiteral("quendrel-batch: "))) << lines[0].toStdString();
        EXPECT_TRUE(lines[0].contains(c.says)) << lines[0].toStdString();
    }
    EXPECT_EQ(server.requests(), QStringList()) << "no page was fetched";
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

}  // namespace
}  // namespace quendrel
