// Whole save runs, as a user starts them with "Start Saving As PDF", against
// the programs a user could script instead: Chromium's own command line
// (--headless --print-to-pdf, one process per page) for the browser methods,
// and the capture program alone for the picture method. Ten documentation-like
// pages are served on 127.0.0.1 by this program; every run goes through the
// real parts (the main window offscreen, CUPS with the Marrowby PDF Writer
// queue and its backend, the system's Chromium, iecapt). Also measures what the tool
// itself burns while it only waits: for the capture program, and for a held
// printer queue. Prints its measurements; fails loudly when a run does not end
// with "Done." and ten PDFs.
//
// Run as an ordinary user: the printer writes no files for root
// (scripts/as-test-user <build>/bench/save_run_bench). --look-ahead-only
// measures only the look-ahead, --batch only the command line (quendrel-batch)
// against the window, --long-run=N only the memory of a long run, --consent
// only what dealing with consent dialogs costs a page that shows none.
#include "app/main_window.h"
#include "saverun/page_rendering.h"
#include "saverun/save_run.h"
#include "platform/cups_print_system.h"
#include "platform/file_printer_control_store.h"
#include "engine/browser_tab.h"
#include "engine/chromium_process.h"
#include "engine/consent_dialogs.h"
#include "engine/headless_browser.h"
#include "engine/page_settle.h"
#include "platform/posix_process_launcher.h"
#include "platform/qt_event_pump.h"
#include "sitelist/site_list_view.h"
#include "support/fake_platform.h"
#include "support/local_http_server.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <iterator>
#include <thread>
#include <vector>

#include <cups/cups.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using quendrel::testing::HttpResponse;
using quendrel::testing::LocalHttpServer;
using quendrel::testing::ShownBox;

const QString kQueue = QStringLiteral("Marrowby_PDF_Writer");
constexpr int kPages = 10;
constexpr int kHeldPages = 3;
// Pages that never stop changing after the load, per method.
constexpr int kChangingPages = 2;
// The held queue is released after this long; the window from kHeldWaitFromMs
// on has the first job sitting in the queue and the tool doing nothing but wait.
constexpr int kHeldWaitFromMs = 2000;
constexpr int kReleaseAfterMs = 5000;

std::vector<QString> failures;

void fail(const QString& what) {
    failures.push_back(what);
    std::fprintf(stderr, "FAILED: %s\n", qPrintable(what));
}

// ---- pages -------------------------------------------------------------

struct Topic {
    const char* title;
    const char* thing;    // what the page is about, woven into its sentences
    const char* command;  // the command its examples show
};

const Topic kTopics[kPages] = {
    {"Installing the harbour ledger", "ledger package", "ledger-install"},
    {"Configuring tide tables", "tide table", "tides --configure"},
    {"Managing berth reservations", "berth reservation", "berth reserve"},
    {"Importing cargo manifests", "cargo manifest", "manifest import"},
    {"Scheduling pilot boats", "pilot roster", "pilots schedule"},
    {"Auditing customs records", "customs record", "customs audit"},
    {"Backing up the ledger store", "backup archive", "ledger-backup"},
    {"Tuning crane throughput", "crane profile", "cranes tune"},
    {"Writing lighthouse reports", "lighthouse report", "beacon report"},
    {"Upgrading from release four", "migration plan", "ledger-upgrade"},
};

const char* const kSections[] = {"Before you begin", "Overview",   "Step by step", "Options",
                                 "Examples",         "Limits",     "Troubleshooting", "See also"};

// Sentences with the page's own subject put in, so no two pages read alike.
const char* const kSentences[] = {
    "Every %1 is checked against the harbour master's register before it is accepted.",
    "The %1 keeps its history, so an earlier state can be restored at any time.",
    "When two clerks change the same %1, the later change is kept and the earlier one is logged.",
    "Run %2 from the ledger folder; it prints what it would change and asks before writing.",
    "Large ports often split the %1 by quay, which keeps each part small enough to review by hand.",
    "A %1 that names an unknown vessel is set aside and listed in the morning summary.",
    "The command %2 accepts the same options in the configuration file and on the command line.",
    "Nothing in the %1 is deleted outright; withdrawn lines are marked and kept for seven years.",
    "If the network to the customs office is down, %2 waits and tries again every ten minutes.",
    "Reviewers sign each %1 with their staff number, and the signature is shown on every print.",
    "The harbour's night shift reads the %1 on paper, so keep its lines short and plain.",
    "Tables in the %1 sort by arrival time first and by berth number second.",
};

QByteArray sentence(int index, const Topic& topic) {
    return QByteArray(kSentences[index % std::size(kSentences)])
        .replace("%1", topic.thing)
        .replace("%2", topic.command);
}

// A manual page of a few screens: navigation, headings, prose, a code block,
// an options table and a note, with nothing fetched from anywhere else.
QByteArray documentationPage(int number) {
    const Topic& topic = kTopics[number];
    QByteArray html =
        "<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\"><title>" + QByteArray(topic.title) +
        " - Harbour Ledger Manual</title><style>"
        "body{font-family:sans-serif;margin:0;line-height:1.5;color:#222}"
        "header{background:#1d3557;color:#fff;padding:12px 24px}"
        "nav{float:left;width:220px;padding:16px;background:#f1f1f1;font-size:90%}"
        "main{margin-left:260px;padding:16px 32px;max-width:820px}"
        "pre{background:#f6f8fa;border:1px solid #ddd;padding:8px;overflow:auto}"
        "table{border-collapse:collapse}td,th{border:1px solid #999;padding:4px 8px}"
        ".note{border-left:4px solid #e9c46a;background:#fff8e1;padding:8px 12px}"
        "</style></head><body><header>Harbour Ledger Manual, release 5</header><nav><ul>";
    for (int i = 0; i < kPages; ++i)
        html += "<li><a href=\"/guide-" + QByteArray::number(i + 1) + ".html\">" + kTopics[i].title + "</a></li>";
    html += "</ul></nav><main><h1>" + QByteArray(topic.title) + "</h1>";
    int next = number * 5;
    for (int s = 0; s < static_cast<int>(std::size(kSections)); ++s) {
        html += "<h2>" + QByteArray(kSections[s]) + "</h2>";
        for (int p = 0; p < 3; ++p) {
            html += "<p>";
            for (int k = 0; k < 4; ++k) html += sentence(next++, topic) + ' ';
            html += "</p>";
        }
        if (s == 2 || s == 4)
            html += "<pre>$ " + QByteArray(topic.command) + " --port=harbour-" + QByteArray::number(number + 1) +
                    " --dry-run\nchecked 1" + QByteArray::number(40 + s) + " lines, 0 changes\n$ " +
                    QByteArray(topic.command) + " --port=harbour-" + QByteArray::number(number + 1) + "\n</pre>";
        if (s == 3) {
            html += "<table><tr><th>Option</th><th>Default</th><th>Meaning</th></tr>";
            for (int r = 0; r < 8; ++r)
                html += "<tr><td>--quay-" + QByteArray::number(r) + "</td><td>" + QByteArray::number(r * 3 + number) +
                        "</td><td>" + sentence(r + number, topic) + "</td></tr>";
            html += "</table>";
        }
        if (s == 5) html += "<p class=\"note\">Note: " + sentence(number + 7, topic) + "</p>";
    }
    return html + "</main></body></html>";
}

// The same manual page with a clock that changes its text ten times a second
// for as long as the page is open: the page is never quiet.
QByteArray changingPage(int number) {
    return documentationPage(number).replace(
        "</body>", "<p id=\"clock\"></p><script>setInterval(function(){"
                   "document.getElementById('clock').textContent=new Date().toISOString();},100);</script></body>");
}

// ---- measuring -----------------------------------------------------------

// Runs the event loop with nothing to do for a while, as an open window idles.
void idleFor(int milliseconds) {
    QEventLoop idle;
    QTimer::singleShot(milliseconds, &idle, &QEventLoop::quit);
    idle.exec();
}

double cpuSecondsOfThisProcess() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double cpuSecondsOfThisThread() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// CPU seconds the CUPS scheduler has used so far (its /proc entry is open to
// every user), or -1 when it cannot be found.
double cupsdCpuSeconds() {
    QFile pidFile(QStringLiteral("/run/cups/cupsd.pid"));
    if (!pidFile.open(QIODevice::ReadOnly)) return -1;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(QString::fromLatin1(pidFile.readAll().trimmed())));
    if (!stat.open(QIODevice::ReadOnly)) return -1;
    const QByteArray text = stat.readAll();
    // Fields after the command name, which is in parentheses: utime and stime are the 14th and 15th.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13) return -1;
    return (fields[11].toLongLong() + fields[12].toLongLong()) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Watches a method 1 run from outside: whether a capture program it started
// is alive, and how many PDFs have landed in the output folder. From that it
// splits the run's CPU use into the stretches while the tool only waits for a
// capture and the rest, and the run's time per page into capture, capture end
// to PDF written, and PDF written to the next capture. Samples from a thread
// of its own every 20 ms; that thread's own CPU is taken out again.
class CaptureRunSampler {
public:
    bool available = true;
    double waitingWall = 0, waitingCpu = 0;
    // Per-page averages over the pages whose steps were all seen.
    double captureSeconds = 0, toPdfSeconds = 0, toNextSeconds = 0;
    int pagesSeen = 0;

    void start(const QString& outFolder) {
        const QString children = QStringLiteral("/proc/self/task/%1/children").arg(getpid());
        available = QFileInfo::exists(children);
        if (!available) return;
        samples_.clear();
        stop_ = false;
        thread_ = std::thread([this, children, outFolder] { loop(children, outFolder); });
    }
    void stop() {
        if (!thread_.joinable()) return;
        stop_ = true;
        thread_.join();
        analyse();
    }

private:
    struct Sample {
        double seconds;
        double cpu;
        bool capturing;
        int pdfs;
    };

    static bool captureRunning(const QString& childrenFile) {
        QFile file(childrenFile);
        if (!file.open(QIODevice::ReadOnly)) return false;
        for (const QByteArray& pid : file.readAll().simplified().split(' ')) {
            if (pid.isEmpty()) continue;
            QFile comm(QStringLiteral("/proc/%1/comm").arg(QString::fromLatin1(pid)));
            if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "iecapt") return true;
        }
        return false;
    }
    void loop(const QString& childrenFile, const QString& outFolder) {
        // The printer writes into a hidden temporary file and renames it, so
        // a visible PDF is a finished one.
        QDir folder(outFolder, QStringLiteral("*.pdf"), QDir::NoSort, QDir::Files);
        QElapsedTimer clock;
        clock.start();
        while (!stop_) {
            const bool capturing = captureRunning(childrenFile);
            folder.refresh();  // a QDir keeps the listing it read first
            const int pdfs = static_cast<int>(folder.entryList().size());
            samples_.push_back({clock.nsecsElapsed() / 1e9, cpuSecondsOfThisProcess() - cpuSecondsOfThisThread(),
                                capturing, pdfs});
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    void analyse() {
        std::vector<double> captureStart, captureEnd, pdfAt;
        for (size_t i = 1; i < samples_.size(); ++i) {
            const Sample& a = samples_[i - 1];
            const Sample& b = samples_[i];
            if (a.capturing && b.capturing) {
                waitingWall += b.seconds - a.seconds;
                waitingCpu += b.cpu - a.cpu;
            }
            if (!a.capturing && b.capturing) captureStart.push_back(b.seconds);
            if (a.capturing && !b.capturing) captureEnd.push_back(b.seconds);
            for (int n = a.pdfs; n < b.pdfs; ++n) pdfAt.push_back(b.seconds);
        }
        if (!samples_.empty()) captureStart.push_back(samples_.back().seconds);  // the run's end
        const size_t pages = std::min({captureEnd.size(), pdfAt.size(), captureStart.size() - 1});
        for (size_t k = 0; k < pages; ++k) {
            if (captureEnd[k] < captureStart[k] || pdfAt[k] < captureEnd[k] || captureStart[k + 1] < pdfAt[k]) continue;
            captureSeconds += captureEnd[k] - captureStart[k];
            toPdfSeconds += pdfAt[k] - captureEnd[k];
            toNextSeconds += captureStart[k + 1] - pdfAt[k];
            ++pagesSeen;
        }
        if (pagesSeen > 0) {
            captureSeconds /= pagesSeen;
            toPdfSeconds /= pagesSeen;
            toNextSeconds /= pagesSeen;
        }
    }

    std::vector<Sample> samples_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The resident memory of this process and every process below it (the
// engine's helpers and renderers, capture programs), sampled while a run goes.
// Calls visit for the process and for each process under it.
void forEachInTree(int pid, const std::function<void(int)>& visit) {
    visit(pid);
    for (const QString& task : QDir(QStringLiteral("/proc/%1/task").arg(pid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile children(QStringLiteral("/proc/%1/task/%2/children").arg(pid).arg(task));
        if (!children.open(QIODevice::ReadOnly)) continue;
        for (const QByteArray& child : children.readAll().simplified().split(' '))
            if (!child.isEmpty()) forEachInTree(child.toInt(), visit);
    }
}

class TreeMemorySampler {
public:
    void start() {
        peak_ = 0;
        stop_ = false;
        thread_ = std::thread([this] {
            while (!stop_) {
                peak_ = std::max(peak_.load(), residentBytes(getpid()));
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        });
    }
    // The peak in MB.
    double stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        return peak_ / 1048576.0;
    }
    // The resident memory of the process and of every process under it.
    static long long residentBytes(int pid) {
        long long bytes = 0;
        forEachInTree(pid, [&bytes](int member) { bytes += residentBytesOf(member); });
        return bytes;
    }
    // How many processes the tree holds, this one included.
    static int processCount(int pid) {
        int count = 0;
        forEachInTree(pid, [&count](int) { ++count; });
        return count;
    }
    static long long residentBytesOf(int pid) {
        QFile statm(QStringLiteral("/proc/%1/statm").arg(pid));
        if (!statm.open(QIODevice::ReadOnly)) return 0;
        return statm.readAll().split(' ').value(1).toLongLong() * sysconf(_SC_PAGESIZE);
    }

private:
    std::atomic<long long> peak_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

struct Timed {
    double wall = 0;  // seconds
    double cpu = 0;   // seconds of this process
    double perPage(int pages) const { return wall / pages; }
    double cpuShare() const { return wall > 0 ? cpu / wall : 0; }
};

int runTool(const QString& program, const QStringList& arguments) {
    QProcess tool;
    tool.start(program, arguments);
    if (!tool.waitForFinished(30'000)) return -1;
    return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
}

// Whether this user's job of that title still waits in the queue. Other jobs
// may sit there too (other programs of the same user), so the title tells.
bool jobWaiting(const QByteArray& title) {
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, kQueue.toUtf8().constData(), 1, CUPS_WHICHJOBS_ACTIVE);
    bool waiting = false;
    for (int i = 0; i < count; ++i)
        if (title == jobs[i].title && jobs[i].state <= IPP_JSTATE_HELD) waiting = true;
    cupsFreeJobs(count, jobs);
    return waiting;
}

// The newest finished job of this user on the queue, or 0.
int lastFinishedJob() {
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, kQueue.toUtf8().constData(), 1, CUPS_WHICHJOBS_COMPLETED);
    int newest = 0;
    for (int i = 0; i < count; ++i) newest = std::max(newest, jobs[i].id);
    cupsFreeJobs(count, jobs);
    return newest;
}

void freshFolder(const QString& path) {
    QDir(path).removeRecursively();
    QDir().mkpath(path);
}

// One program run per page, waited for; the outputs must exist afterwards.
Timed timeProgramPerPage(const QString& program, const std::vector<QUrl>& pages,
                         const std::function<QStringList(const QUrl&, const QString&)>& arguments,
                         const QString& outFolder, const QString& extension) {
    freshFolder(outFolder);
    Timed timed;
    QElapsedTimer clock;
    clock.start();
    for (size_t i = 0; i < pages.size(); ++i) {
        const QString out = outFolder + QStringLiteral("/page%1.%2").arg(i + 1).arg(extension);
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(program, arguments(pages[i], out));
        const bool ended = process.waitForFinished(90'000);
        if (!ended || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0 ||
            QFileInfo(out).size() == 0) {
            fail(QStringLiteral("%1 gave no %2 for %3: %4")
                     .arg(QFileInfo(program).fileName(), out, pages[i].toString(),
                          QString::fromLocal8Bit(process.readAllStandardError().right(400))));
            if (!ended) process.kill();
        }
    }
    timed.wall = clock.nsecsElapsed() / 1e9;
    return timed;
}

// These pass everything on to the real parts and count what the run asks of them:
// how often a waiting run wakes, and how often it asks cupsd about its job.
class CountingEventPump : public quendrel::platform::EventPump {
public:
    std::atomic<long> waits{0};
    void processEvents() override { real_.processEvents(); }
    void waitForEvents(int milliseconds) override {
        ++waits;
        real_.waitForEvents(milliseconds);
    }
    void sleepBlocking(int milliseconds) override { real_.sleepBlocking(milliseconds); }
    long long steadyMilliseconds() override { return real_.steadyMilliseconds(); }

private:
    quendrel::platform::QtEventPump real_;
};

class CountingPrintSystem : public quendrel::platform::PrintSystem {
public:
    std::atomic<long> jobQuestions{0};
    QStringList printerDeviceNames() override { return real_.printerDeviceNames(); }
    QString defaultPrinterDeviceName() override { return real_.defaultPrinterDeviceName(); }
    quendrel::platform::DefaultPrinter defaultPrinter() override { return real_.defaultPrinter(); }
    bool restoreDefaultPrinter(const quendrel::platform::DefaultPrinter& previous) override {
        return real_.restoreDefaultPrinter(previous);
    }
    bool setDefaultPrinter(const QString& deviceName) override { return real_.setDefaultPrinter(deviceName); }
    int submitPdfToDefault(const QString& pdfPath, const QString& title) override {
        return real_.submitPdfToDefault(pdfPath, title);
    }
    void setJobOption(const QString& name, const QString& value) override { real_.setJobOption(name, value); }
    quendrel::platform::JobState jobState(int jobId) override {
        ++jobQuestions;
        return real_.jobState(jobId);
    }
    QString jobPrinterMessage(int jobId) override { return real_.jobPrinterMessage(jobId); }
    void cancelJob(int jobId) override { real_.cancelJob(jobId); }

private:
    quendrel::platform::CupsPrintSystem real_;
};

class SaveRunner {
public:
    SaveRunner(const QString& programFolder, LocalHttpServer& server) : server_(server) {
        desktop.program = programFolder;
        window = std::make_unique<quendrel::MainWindow>(platform);
        window->Load();
        window->form().show();  // as the program shows it; offscreen here
    }

    // Clicks "Start Saving As PDF" over the given pages with the given method;
    // the click returns when the run has ended.
    Timed run(int method, const std::vector<QUrl>& pages, const QString& outFolder, const QString& label,
              const std::function<void()>& beforeClick = {}) {
        quendrel::Form1& form = window->form();
        freshFolder(outFolder);
        form.ListView1->entries().clear();
        dialogs.shown.clear();
        for (const QUrl& page : pages) form.ListView1->entries().append(page.toString());
        form.Text1->setText(outFolder + QLatin1Char('/'));
        QRadioButton* options[] = {form.Option1, form.Option2, form.Option3};
        options[method - 1]->click();
        if (!options[method - 1]->isChecked()) fail(label + QStringLiteral(": the method could not be chosen"));
        if (beforeClick) beforeClick();

        Timed timed;
        const double cpuBefore = cpuSecondsOfThisProcess();
        QElapsedTimer clock;
        clock.start();
        form.PushButton2->click();
        timed.wall = clock.nsecsElapsed() / 1e9;
        timed.cpu = cpuSecondsOfThisProcess() - cpuBefore;
        check(pages, outFolder, label);
        return timed;
    }

    quendrel::testing::FakeDialogs dialogs;
    quendrel::testing::FakeSettings settings;
    quendrel::testing::FakeDesktop desktop;
    CountingEventPump events;
    CountingPrintSystem cups;
    quendrel::platform::FilePrinterControlStore control;
    quendrel::platform::PosixProcessLauncher processes;
    quendrel::platform::Platform platform{dialogs, settings, desktop, events, cups, control, processes};
    std::unique_ptr<quendrel::MainWindow> window;

private:
    void check(const std::vector<QUrl>& pages, const QString& outFolder, const QString& label) {
        const auto boxes = dialogs.boxesOf(ShownBox::Message);
        const QString closing = boxes.empty() ? QStringLiteral("(no message)") : boxes.back().text;
        if (closing != QStringLiteral("Done.")) fail(label + QStringLiteral(" ended with: ") + closing);
        if (dialogs.shown.size() != 1)
            fail(label + QStringLiteral(": %1 boxes shown, expected only the closing one").arg(dialogs.shown.size()));
        QStringList missing;
        for (const QUrl& page : pages) {
            const QString pdf = outFolder + QStringLiteral("/127.0.0.1 %1_%2.pdf")
                                                .arg(server_.port())
                                                .arg(page.path().mid(1));
            if (QFileInfo(pdf).size() == 0) missing << QFileInfo(pdf).fileName();
        }
        if (!missing.isEmpty()) fail(label + QStringLiteral(": no PDF: ") + missing.join(QStringLiteral(", ")));
        const QStringList all = QDir(outFolder).entryList(QDir::Files);
        if (all.size() != static_cast<int>(pages.size()))
            fail(label + QStringLiteral(": the folder holds %1 files: %2").arg(all.size()).arg(all.join(", ")));
    }
    LocalHttpServer& server_;
};

void printLine(const char* name, double secondsPerPage, const QString& target) {
    std::printf("  %-40s %6.2f s/page   %s\n", name, secondsPerPage, qPrintable(target));
}

QString verdict(bool met) { return met ? QStringLiteral("met") : QStringLiteral("MISSED"); }

constexpr int kAheadPages = 20;
constexpr int kDistantLatencyMs = 1500;

Timed timeChromium(const QString& chromium, const std::vector<QUrl>& pages, const QString& workFolder) {
    const QString profile = workFolder + QStringLiteral("/chromium-profile");
    return timeProgramPerPage(
        chromium, pages,
        [&profile](const QUrl& url, const QString& file) {
            return QStringList{QStringLiteral("--headless"),
                               QStringLiteral("--no-sandbox"),
                               QStringLiteral("--disable-gpu"),
                               QStringLiteral("--no-first-run"),
                               QStringLiteral("--disable-background-networking"),
                               QStringLiteral("--disable-component-update"),
                               QStringLiteral("--disable-sync"),
                               QStringLiteral("--user-data-dir=") + profile,
                               QStringLiteral("--print-to-pdf=") + file,
                               url.toString()};
        },
        workFolder + QStringLiteral("/chromium"), QStringLiteral("pdf"));
}

// Later entries prepared while earlier ones print: twenty pages from a distant
// site (each answered after 1.5 s) and twenty local ones, every method, beside
// Chromium's command line over the same pages; local runs also with nothing
// prepared ahead, as a run went before; peak memory of the whole process tree.
// The methods to measure: all, or those QUENDREL_BENCH_METHODS names ("2 3").
std::vector<int> benchMethods() {
    std::vector<int> methods;
    for (const QString& name : qEnvironmentVariable("QUENDREL_BENCH_METHODS", QStringLiteral("1 2 3")).split(u' ', Qt::SkipEmptyParts))
        if (const int method = name.toInt(); method >= 1 && method <= 3) methods.push_back(method);
    return methods;
}

void benchLookAhead(SaveRunner& tool, LocalHttpServer& server, const QString& chromium, const QString& work) {
    std::vector<QUrl> distant, local;
    for (int i = 0; i < kAheadPages; ++i) {
        HttpResponse slow = HttpResponse::html(documentationPage(i % kPages));
        slow.delayMs = kDistantLatencyMs;
        server.serve(QStringLiteral("/distant-%1.html").arg(i + 1), slow);
        distant.emplace_back(server.url(QStringLiteral("/distant-%1.html").arg(i + 1)));
        server.serve(QStringLiteral("/local-%1.html").arg(i + 1), HttpResponse::html(documentationPage(i % kPages)));
        local.emplace_back(server.url(QStringLiteral("/local-%1.html").arg(i + 1)));
    }
    const QString out = work + QStringLiteral("/ahead-out");
    quendrel::SaveRun& saveRun = tool.window->saveRun();
    TreeMemorySampler memory;
    // Seconds per page at the default look-ahead: distant pages, local pages
    // (0 where none is set); the whole process tree's peak for every method.
    const double targets[3] = {1.0, 0.40, 0.6};
    const double localTargets[3] = {0, 0.37, 0};
    constexpr double kMostTreeMegabytes = 1024;
    std::printf("the tool's engine: %s\n", qPrintable(quendrel::engine::FindChromium()));
    for (const auto& [name, pages] : {std::pair{"distant", distant}, std::pair{"local", local}}) {
        const bool far = std::string(name) == "distant";
        memory.start();
        const double chromiumPerPage = timeChromium(chromium, pages, work).perPage(kAheadPages);
        const double chromiumPeak = memory.stop();
        std::printf("look-ahead, %d %s pages%s, wall seconds per page\n", kAheadPages, name,
                    far ? " (each answered after 1.5 s)" : "");
        printLine("chromium --headless --print-to-pdf", chromiumPerPage,
                  QStringLiteral("(one process per page, %1), peak %2 MB")
                      .arg(QFileInfo(chromium).fileName())
                      .arg(chromiumPeak, 0, 'f', 0));
        for (const int method : benchMethods()) {
            // Local runs also as before, with nothing ahead; a distant run with
            // nothing ahead takes the latency for every page, so it is left out.
            // Further look-aheads to compare can be named for distant pages.
            std::vector<int> aheads = far ? std::vector<int>{1, 4} : std::vector<int>{0, 4};
            if (far)
                for (const QString& k : qEnvironmentVariable("QUENDREL_BENCH_AHEAD").split(u' ', Qt::SkipEmptyParts))
                    aheads.push_back(k.toInt());
            for (const int ahead : aheads) {
                saveRun.SetLookAheadEntries(ahead);
                const long long residentBefore = TreeMemorySampler::residentBytes(getpid());
                memory.start();
                const double perPage =
                    tool.run(method, pages, out, QStringLiteral("method %1, %2 pages, %3 ahead").arg(method).arg(name).arg(ahead))
                        .perPage(kAheadPages);
                const double peak = memory.stop();
                const double kept = (TreeMemorySampler::residentBytes(getpid()) - residentBefore) / 1048576.0;
                QString target = QStringLiteral("peak %1 MB, %2%3 MB kept after the run")
                                     .arg(peak, 0, 'f', 0)
                                     .arg(kept >= 0 ? QStringLiteral("+") : QString())
                                     .arg(kept, 0, 'f', 1);
                const double wanted = far ? targets[method - 1] : localTargets[method - 1];
                if (ahead == quendrel::kLookAheadEntries && wanted > 0)
                    target += QStringLiteral(", %1x chromium; target <= %2 s/page: %3")
                                  .arg(perPage / chromiumPerPage, 0, 'f', 2)
                                  .arg(wanted)
                                  .arg(verdict(perPage <= wanted));
                if (ahead == quendrel::kLookAheadEntries)
                    target += QStringLiteral("; peak target <= %1 MB: %2")
                                  .arg(kMostTreeMegabytes, 0, 'f', 0)
                                  .arg(verdict(peak <= kMostTreeMegabytes));
                printLine(qPrintable(QStringLiteral("method %1, %2 ahead").arg(method).arg(ahead)), perPage, target);
            }
        }
    }
    if (tool.cups.defaultPrinterDeviceName() == QStringLiteral("Marrowby PDF Writer"))
        fail(QStringLiteral("the PDF printer stayed the default printer after the runs"));
    saveRun.SetLookAheadEntries(quendrel::kLookAheadEntries);
}

// The command line against the window over the same twenty distant pages,
// each method, beside Chromium's command line: the command line runs the
// window's save run without a window, so it should be no slower.
void benchBatch(SaveRunner& tool, LocalHttpServer& server, const QString& chromium, const QString& programFolder,
                const QString& work) {
    std::vector<QUrl> distant;
    QByteArray list;
    for (int i = 0; i < kAheadPages; ++i) {
        HttpResponse slow = HttpResponse::html(documentationPage(i % kPages));
        slow.delayMs = kDistantLatencyMs;
        const QString path = QStringLiteral("/batch-%1.html").arg(i + 1);
        server.serve(path, slow);
        distant.emplace_back(server.url(path));
        list += distant.back().toString().toUtf8() + '\n';
    }
    const QString listFile = work + QStringLiteral("/batch-list.txt");
    if (QFile file(listFile); !file.open(QIODevice::WriteOnly) || file.write(list) != list.size())
        return fail(QStringLiteral("cannot write the list file"));
    const double chromiumPerPage = timeChromium(chromium, distant, work).perPage(kAheadPages);
    std::printf("command line against window, %d pages each answered after 1.5 s, wall seconds per page\n",
                kAheadPages);
    printLine("chromium --headless --print-to-pdf", chromiumPerPage, QStringLiteral("(one process per page)"));
    const QString out = work + QStringLiteral("/batch-out");
    for (const int method : benchMethods()) {
        const double window =
            tool.run(method, distant, out, QStringLiteral("method %1, window").arg(method)).perPage(kAheadPages);
        freshFolder(out);
        QProcess batch;
        batch.setStandardOutputFile(QProcess::nullDevice());
        batch.setStandardErrorFile(QProcess::nullDevice());
        QElapsedTimer timer;
        timer.start();
        batch.start(programFolder + QStringLiteral("/quendrel-batch"),
                    {QStringLiteral("--method"), QString::number(method), QStringLiteral("--folder"), out, listFile});
        batch.waitForFinished(-1);
        const double commandLine = timer.elapsed() / 1000.0 / kAheadPages;
        const int written = static_cast<int>(QDir(out).entryList({QStringLiteral("*.pdf")}, QDir::Files).size());
        if (batch.exitCode() != 0 || written != kAheadPages)
            fail(QStringLiteral("method %1: the command line wrote %2 of %3 PDFs (exit %4)")
                     .arg(method).arg(written).arg(kAheadPages).arg(batch.exitCode()));
        printLine(qPrintable(QStringLiteral("method %1, window").arg(method)), window, QString());
        printLine(qPrintable(QStringLiteral("method %1, command line").arg(method)), commandLine,
                  QStringLiteral("%1x the window; target no slower: %2")
                      .arg(commandLine / window, 0, 'f', 2)
                      .arg(verdict(commandLine <= window * 1.05)));
    }
}

// What a long run keeps: the memory of the process and of all it started, taken
// after a short run has brought the web engine up and again after a run of
// many local entries, each time once the run's window has been idle a moment.
void benchMemoryRun(SaveRunner& tool, LocalHttpServer& server, const QString& work, int entries) {
    std::vector<QUrl> pages;
    for (int i = 0; i < entries; ++i) {
        const QString path = QStringLiteral("/long-%1.html").arg(i + 1);
        server.serve(path, HttpResponse::html(documentationPage(i % kPages)));
        pages.emplace_back(server.url(path));
    }
    const std::vector<QUrl> warmUp(pages.begin(), pages.begin() + std::min(entries, kAheadPages));
    const QString out = work + QStringLiteral("/long-out");
    // The process's own memory, and the tree's: the engine may keep a spare
    // renderer ready, which the tree's figure takes in.
    struct Memory {
        double self = 0, tree = 0;  // MB
        int processes = 0;
    };
    auto settled = [] {
        idleFor(2000);
        return Memory{TreeMemorySampler::residentBytesOf(getpid()) / 1048576.0,
                      TreeMemorySampler::residentBytes(getpid()) / 1048576.0, TreeMemorySampler::processCount(getpid())};
    };
    std::printf("long run, %d local entries, memory of the process and of its tree (K = %d)\n", entries,
                quendrel::kLookAheadEntries);
    for (const int method : benchMethods()) {
        tool.run(method, warmUp, out, QStringLiteral("method %1, warm-up").arg(method));
        const Memory before = settled();
        TreeMemorySampler peak;
        peak.start();
        const double perPage = tool.run(method, pages, out, QStringLiteral("method %1, long run").arg(method)).perPage(entries);
        const double peakMb = peak.stop();
        const Memory after = settled();
        auto change = [](double mb) { return QStringLiteral("%1%2 MB").arg(mb >= 0 ? "+" : "").arg(mb, 0, 'f', 1); };
        printLine(qPrintable(QStringLiteral("method %1").arg(method)), perPage,
                  QStringLiteral("kept %1 by the process (%2 MB before), %3 by the tree (%4 MB before, peak %5 MB; "
                                 "%6 processes before, %7 after); target: a few MB: %8")
                      .arg(change(after.self - before.self))
                      .arg(before.self, 0, 'f', 0)
                      .arg(change(after.tree - before.tree))
                      .arg(before.tree, 0, 'f', 0)
                      .arg(peakMb, 0, 'f', 0)
                      .arg(before.processes)
                      .arg(after.processes)
                      .arg(verdict(after.self - before.self <= 10)));
    }
}

// The consent step on pages without a dialog: the call itself, timed five
// times on each page loaded and settled in a tab of the engine, then whole
// method 2 runs with the step and without it (the window's setting),
// alternated so load from other work hits both alike.
void benchConsent(SaveRunner& tool, const std::vector<QUrl>& pages, const QString& work) {
    constexpr int kTimesPerPage = 5;
    constexpr double kLimitMs = 50;
    std::vector<double> callMs;
    {
        quendrel::platform::QtEventPump pump;
        quendrel::engine::HeadlessBrowser browser(pump);
        for (const QUrl& page : pages) {
            quendrel::engine::BrowserTab tab(browser);
            bool loaded = false;
            tab.whenLoaded([&loaded] { loaded = true; });
            tab.navigate(page);
            while (!loaded && tab.load() != quendrel::engine::BrowserTab::Load::Failed) pump.waitForEvents(100);
            quendrel::engine::PageSettle settle(tab);
            settle.start();
            while (!settle.isDone()) pump.waitForEvents(100);
            for (int i = 0; i < kTimesPerPage; ++i) {
                QElapsedTimer clock;
                clock.start();
                if (quendrel::engine::DealWithConsentDialogs(tab) != quendrel::engine::ConsentOutcome::None)
                    fail(page.toString() + QStringLiteral(": a dialog was found on a page without one"));
                callMs.push_back(clock.nsecsElapsed() / 1e6);
            }
        }
    }
    std::sort(callMs.begin(), callMs.end());
    std::printf("consent step on %zu pages without a dialog, %d calls each: median %.1f ms, slowest %.1f ms "
                "(target at most %.0f ms: %s)\n",
                pages.size(), kTimesPerPage, callMs[callMs.size() / 2], callMs.back(), kLimitMs,
                qPrintable(verdict(callMs.back() <= kLimitMs)));
    double seconds[2] = {0, 0};  // kept, dealt with
    constexpr int kRounds = 3;
    for (int round = 0; round < kRounds; ++round)
        for (const bool keep : {true, false}) {
            tool.settings.values[QStringLiteral("KeepConsentDialogs")] = keep ? QStringLiteral("True") : QStringLiteral("False");
            seconds[keep ? 0 : 1] += tool.run(2, pages, work + QStringLiteral("/consent-out"),
                                              QStringLiteral("method 2, consent %1").arg(keep ? "kept" : "dealt with"))
                                         .wall;
        }
    const double runs = kRounds * static_cast<double>(pages.size());
    std::printf("method 2 whole runs, %d rounds: %.3f s/page with the consent step, %.3f s/page without: "
                "%+.0f ms/page\n",
                kRounds, seconds[1] / runs, seconds[0] / runs, (seconds[1] - seconds[0]) / runs * 1000);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    if (geteuid() == 0) {
        std::fprintf(stderr, "The PDF printer writes no files for root: run this as an ordinary user "
                             "(scripts/as-test-user %s).\n", argv[0]);
        return 2;
    }
    const QString programFolder = QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../bin"));
    const QString iecapt = programFolder + QStringLiteral("/iecapt");
    const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (!QFileInfo(iecapt).isExecutable()) {
        std::fprintf(stderr, "FAILED: no capture program at %s (build the iecapt target)\n", qPrintable(iecapt));
        return 1;
    }
    if (chromium.isEmpty()) {
        std::fprintf(stderr, "FAILED: chromium is not installed (apt-get install chromium)\n");
        return 1;
    }
    QTemporaryDir work(QDir::tempPath() + QStringLiteral("/save-run-bench-XXXXXX"));
    if (!work.isValid()) {
        std::fprintf(stderr, "FAILED: no temporary folder\n");
        return 1;
    }

    LocalHttpServer server;
    std::vector<QUrl> pages;
    qint64 pageBytes = 0;
    for (int i = 0; i < kPages; ++i) {
        const QString path = QStringLiteral("/guide-%1.html").arg(i + 1);
        const QByteArray body = documentationPage(i);
        pageBytes += body.size();
        server.serve(path, HttpResponse::html(body));
        pages.emplace_back(server.url(path));
    }

    SaveRunner tool(programFolder, server);
    if (!tool.cups.printerDeviceNames().contains(QStringLiteral("Marrowby PDF Writer"))) {
        std::fprintf(stderr, "FAILED: the printer \"Marrowby PDF Writer\" is not installed or cupsd is not running "
                             "(scripts/start-cupsd.sh && scripts/install-printer.sh as root)\n");
        return 1;
    }
    const QString out = work.path() + QStringLiteral("/out");
    if (const QStringList memoryRun = QCoreApplication::arguments().filter(QStringLiteral("--long-run="));
        !memoryRun.isEmpty()) {
        benchMemoryRun(tool, server, work.path(), memoryRun.front().section(u'=', 1).toInt());
        return failures.empty() ? 0 : 1;
    }
    if (QCoreApplication::arguments().contains(QStringLiteral("--batch"))) {
        benchBatch(tool, server, chromium, programFolder, work.path());
        return failures.empty() ? 0 : 1;
    }
    if (QCoreApplication::arguments().contains(QStringLiteral("--consent"))) {
        benchConsent(tool, pages, work.path());
        return failures.empty() ? 0 : 1;
    }
    if (QCoreApplication::arguments().contains(QStringLiteral("--look-ahead-only"))) {
        benchLookAhead(tool, server, chromium, work.path());
        return failures.empty() ? 0 : 1;
    }

    // Each reference is timed right beside what it is compared with, so load
    // from other work on the machine hits both alike.
    const Timed capture = timeProgramPerPage(
        iecapt, pages,
        [](const QUrl& url, const QString& file) {
            return QStringList{QStringLiteral("--url=") + url.toString(), QStringLiteral("--out=") + file};
        },
        work.path() + QStringLiteral("/iecapt"), QStringLiteral("jpg"));

    CaptureRunSampler sampler;
    sampler.start(out);
    const long method1WaitsFrom = tool.events.waits;
    const Timed method1 = tool.run(1, pages, out, QStringLiteral("method 1"));
    const long method1Waits = tool.events.waits - method1WaitsFrom;
    sampler.stop();

    const Timed browser = timeChromium(chromium, pages, work.path());

    const Timed method2 = tool.run(2, pages, out, QStringLiteral("method 2"));
    const Timed method3 = tool.run(3, pages, out, QStringLiteral("method 3"));

    std::vector<QUrl> changing;
    for (int i = 0; i < kChangingPages; ++i) {
        const QString path = QStringLiteral("/changing-%1.html").arg(i + 1);
        server.serve(path, HttpResponse::html(changingPage(i)));
        changing.emplace_back(server.url(path));
    }
    Timed changingRuns[3];
    for (int method = 1; method <= 3; ++method)
        changingRuns[method - 1] = tool.run(method, changing, out, QStringLiteral("method %1, changing pages").arg(method));

    // A held queue: the first job waits in CUPS until the queue is enabled
    // again, and the tool has nothing to do but wait for it.
    const std::vector<QUrl> heldPages(pages.begin(), pages.begin() + kHeldPages);
    double heldCpuFrom = 0, heldCpuTo = 0;
    double heldCupsdFrom = 0, heldCupsdTo = 0;
    long heldWaitsFrom = 0, heldWaitsTo = 0, heldQuestionsFrom = 0, heldQuestionsTo = 0;
    const QByteArray firstTitle = QByteArray(kTopics[0].title) + " - Harbour Ledger Manual";
    bool waitingAtStart = false;
    const Timed held = tool.run(2, heldPages, out, QStringLiteral("method 2, held queue"), [&] {
        if (runTool(QStringLiteral("cupsdisable"), {kQueue}) != 0)
            fail(QStringLiteral("cupsdisable %1 failed: the bench user must be in lpadmin").arg(kQueue));
        QTimer::singleShot(kHeldWaitFromMs, [&] {
            waitingAtStart = jobWaiting(firstTitle);
            heldCpuFrom = cpuSecondsOfThisProcess();
            heldWaitsFrom = tool.events.waits;
            heldCupsdFrom = cupsdCpuSeconds();
            heldQuestionsFrom = tool.cups.jobQuestions;
        });
        QTimer::singleShot(kReleaseAfterMs, [&] {
            heldCpuTo = cpuSecondsOfThisProcess();
            heldWaitsTo = tool.events.waits;
            heldCupsdTo = cupsdCpuSeconds();
            heldQuestionsTo = tool.cups.jobQuestions;
            if (runTool(QStringLiteral("cupsenable"), {kQueue}) != 0) fail(QStringLiteral("cupsenable failed"));
        });
    });
    runTool(QStringLiteral("cupsenable"), {kQueue});  // never leave the queue held
    const double heldWindow = (kReleaseAfterMs - kHeldWaitFromMs) / 1000.0;
    // Only a run that was still waiting when the queue was released measured a wait.
    const bool heldClean = waitingAtStart && heldCpuTo > 0;

    // What a held wait is made of: the open window doing nothing, and the
    // job-state question the run asks the print system ten times a second.
    constexpr int kIdleMs = 2000;
    const double idleCpuFrom = cpuSecondsOfThisProcess();
    const double idleCupsdFrom = cupsdCpuSeconds();
    idleFor(kIdleMs);
    const double idleCpu = cpuSecondsOfThisProcess() - idleCpuFrom;
    const double idleCupsd = idleCupsdFrom < 0 ? -1 : cupsdCpuSeconds() - idleCupsdFrom;
    constexpr int kQuestions = 20;
    const int someJob = lastFinishedJob();
    QElapsedTimer questionClock;
    questionClock.start();
    const double questionCpuFrom = cpuSecondsOfThisProcess();
    for (int i = 0; i < kQuestions; ++i) (void)tool.cups.jobState(someJob);
    const double questionCpu = (cpuSecondsOfThisProcess() - questionCpuFrom) / kQuestions;
    const double questionWall = questionClock.nsecsElapsed() / 1e9 / kQuestions;

    benchLookAhead(tool, server, chromium, work.path());

    const double chromiumPerPage = browser.perPage(kPages);
    const double capturePerPage = capture.perPage(kPages);
    std::printf("save run, %d local documentation pages (%.0f KB of HTML each), one run per method, "
                "wall seconds per page\n", kPages, pageBytes / 1024.0 / kPages);
    printLine("chromium --headless --print-to-pdf", chromiumPerPage, QStringLiteral("(one process per page)"));
    printLine("iecapt alone", capturePerPage, QStringLiteral("(one process per page)"));
    printLine("method 1 (capture, picture print)", method1.perPage(kPages),
              QStringLiteral("target <= iecapt + 0.5 = %1 s/page: %2")
                  .arg(capturePerPage + 0.5, 0, 'f', 2)
                  .arg(verdict(method1.perPage(kPages) <= capturePerPage + 0.5)));
    printLine("method 2 (live page)", method2.perPage(kPages),
              QStringLiteral("%1x chromium, target <= 1.0x: %2")
                  .arg(method2.perPage(kPages) / chromiumPerPage, 0, 'f', 2)
                  .arg(verdict(method2.perPage(kPages) <= chromiumPerPage)));
    printLine("method 3 (downloaded copy)", method3.perPage(kPages),
              QStringLiteral("%1x chromium, target <= 1.2x: %2")
                  .arg(method3.perPage(kPages) / chromiumPerPage, 0, 'f', 2)
                  .arg(verdict(method3.perPage(kPages) <= 1.2 * chromiumPerPage)));
    std::printf("  (each run includes the 1 s pause that ends it; method 2's first run includes starting "
                "the web engine)\n");

    // A page that never settles is printed when the settle limit has passed:
    // its time is that limit plus what the same page costs when static.
    const double settleLimit = quendrel::engine::kPageSettleLimitMs / 1000.0;
    const double staticPerPage[3] = {method1.perPage(kPages), method2.perPage(kPages), method3.perPage(kPages)};
    std::printf("save run, %d pages that keep changing after the load (a clock ticking ten times a second), "
                "wall seconds per page; settle limit %.1f s\n", kChangingPages, settleLimit);
    for (int method = 1; method <= 3; ++method) {
        const double perPage = changingRuns[method - 1].perPage(kChangingPages);
        const double target = settleLimit + staticPerPage[method - 1];
        printLine(qPrintable(QStringLiteral("method %1, changing pages").arg(method)), perPage,
                  QStringLiteral("%1 s after the settle limit; target <= limit + static page = %2 s/page: %3")
                      .arg(perPage - settleLimit, 0, 'f', 2)
                      .arg(target, 0, 'f', 2)
                      .arg(verdict(perPage <= target)));
    }

    std::printf("the tool's own CPU while it waits: CPU seconds of this process (getrusage RUSAGE_SELF: the tool's\n"
                "threads with the engine's browser side and the page server; not the iecapt children, not the\n"
                "engine's renderer processes) over wall seconds, target < 5%% of one core\n");
    auto share = [](const char* name, double cpu, double wall, const char* note) {
        std::printf("  %-40s %5.1f%%  (%.3f s CPU over %.1f s): %s%s\n", name, 100 * cpu / wall, cpu, wall,
                    qPrintable(verdict(cpu / wall < 0.05)), note);
    };
    share("method 1, whole run", method1.cpu, method1.wall, ", with the picture prints");
    if (sampler.available && sampler.waitingWall > 0) {
        share("method 1, while iecapt ran", sampler.waitingCpu, sampler.waitingWall, "");
        std::printf("  method 1, CPU outside the capture waits: %.3f s per page (picture load, PDF, job)\n",
                    (method1.cpu - sampler.waitingCpu) / kPages);
    }
    if (sampler.pagesSeen == 0)
        std::printf("  method 1 per page: the steps of no page could be told apart\n");
    else
        std::printf("  method 1 wall per page (%d pages seen): capture %.2f s, capture end to PDF written %.2f s,\n"
                    "    PDF written to next capture (or run end) %.2f s\n",
                    sampler.pagesSeen, sampler.captureSeconds, sampler.toPdfSeconds, sampler.toNextSeconds);
    std::printf("  method 1: the run's waits woke %ld times in %.1f s (%.0f a second)\n", method1Waits, method1.wall,
                method1Waits / method1.wall);
    share(qPrintable(QStringLiteral("method 2 held queue, whole run (%1 pages)").arg(kHeldPages)), held.cpu, held.wall,
          ", with the page loads and prints");
    if (heldClean) {
        share(qPrintable(QStringLiteral("method 2 held queue, job held %1-%2 s")
                             .arg(kHeldWaitFromMs / 1000)
                             .arg(kReleaseAfterMs / 1000)),
              heldCpuTo - heldCpuFrom, heldWindow, "");
        std::printf("    in it the run woke %ld times and asked cupsd about its job %ld times (every 100 ms: %.0f)\n",
                    heldWaitsTo - heldWaitsFrom, heldQuestionsTo - heldQuestionsFrom, heldWindow * 10);
        if (heldCupsdFrom >= 0 && heldCupsdTo >= 0)
            std::printf("    cupsd meanwhile: %.1f%% of one core (%.2f s CPU; other users of cupsd count too)\n",
                        100 * (heldCupsdTo - heldCupsdFrom) / heldWindow, heldCupsdTo - heldCupsdFrom);
    } else {
        fail(QStringLiteral("the held-queue run did not wait: no job of it in the queue %1 s in, or it ended "
                            "before the queue was released")
                 .arg(kHeldWaitFromMs / 1000));
    }
    share("the window open, no run", idleCpu, kIdleMs / 1000.0, "");
    if (idleCupsd >= 0) std::printf("    cupsd meanwhile: %.1f%% of one core\n", 100 * idleCupsd / (kIdleMs / 1000.0));
    std::printf("  one job-state question to cupsd: %.2f ms CPU, %.2f ms wall (meant to be asked every 100 ms)\n",
                1000 * questionCpu, 1000 * questionWall);

    if (!failures.empty()) {
        std::printf("FAILED: %zu check(s), see above\n", failures.size());
        return 1;
    }
    return 0;
}
