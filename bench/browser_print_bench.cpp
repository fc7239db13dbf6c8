// Browser print per page against the engine's bare load-and-print loop on the
// same ten pages in the same run, then the process's memory over 100 prints.
// Pages are served on 127.0.0.1 by this program. Prints its measurements.
#include "platform/print_system.h"
#include "platform/qt_event_pump.h"
#include "engine/browser_tab.h"
#include "engine/headless_browser.h"
#include "saverun/browser_print.h"
#include "support/local_http_server.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using quendrel::testing::HttpResponse;
using quendrel::testing::LocalHttpServer;

// Takes every job and keeps nothing, so only the program's own work is timed.
class NullPrintSystem : public quendrel::platform::PrintSystem {
public:
    int jobs = 0;
    long long bytes = 0;
    QStringList printerDeviceNames() override { return {}; }
    QString defaultPrinterDeviceName() override { return {}; }
    bool setDefaultPrinter(const QString&) override { return true; }
    int submitPdfToDefault(const QString& pdfPath, const QString&) override {
        bytes += QFile(pdfPath).size();
        return ++jobs;
    }
    void setJobOption(const QString&, const QString&) override {}
    quendrel::platform::JobState jobState(int) override { return quendrel::platform::JobState::Finished; }
    void cancelJob(int) override {}
};

QByteArray pageBody(int number) {
    QByteArray body = "<html><head><title>Bench page " + QByteArray::number(number) +
                      "</title><style>body{font-family:serif} td{border:1px solid #888}</style></head><body>";
    body += "<h1>Page " + QByteArray::number(number) + "</h1>";
    // Pages from about one to about eight printed pages long.
    const int paragraphs = 10 + number * 12;
    for (int i = 0; i < paragraphs; ++i) {
        body += "<p>Paragraph " + QByteArray::number(i) +
                ": the lighthouse keepers of the northern coast wrote their logs by hand, "
                "each entry naming the weather, the ships that passed and the oil that was burnt.</p>";
        if (i % 15 == 0) {
            body += "<table>";
            for (int r = 0; r < 6; ++r)
                body += "<tr><td>row " + QByteArray::number(r) + "</td><td>" + QByteArray::number(r * i) +
                        "</td><td>value</td></tr>";
            body += "</table>";
        }
    }
    return body + "</body></html>";
}

long rssKilobytes(qint64 pid) {
    QFile status(pid == 0 ? QStringLiteral("/proc/self/status") : QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// The bare engine: one tab, load, wait for its end, print, wait for the PDF.
class BareLoop {
public:
    explicit BareLoop(quendrel::engine::HeadlessBrowser& browser) : tab(browser), events(browser.events()) {}
    quendrel::engine::BrowserTab tab;
    quendrel::platform::EventPump& events;
    long long bytes = 0;
    void print(const QUrl& url) {
        using Load = quendrel::engine::BrowserTab::Load;
        tab.navigate(url);
        while (tab.load() == Load::Pending || tab.load() == Load::Committed) events.waitForEvents(100);
        const auto pdf = tab.call(QStringLiteral("Page.printToPDF"));
        bytes += pdf.result.value(QStringLiteral("data")).toString().size() * 3 / 4;
    }
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    LocalHttpServer server;
    std::vector<QUrl> pages;
    for (int i = 1; i <= 10; ++i) {
        const QString path = QStringLiteral("/page%1.html").arg(i);
        server.serve(path, HttpResponse::html(pageBody(i)));
        pages.emplace_back(server.url(path));
    }

    quendrel::platform::QtEventPump events;
    NullPrintSystem printers;
    quendrel::engine::HeadlessBrowser engine(events);
    quendrel::BrowserPrint ours(engine, printers);
    BareLoop bare(engine);

    // Warm both up so neither pays for starting the engine inside a measurement.
    bare.print(pages[0]);
    ours.LoadAndPrintPage(pages[0].toString());

    constexpr int kRounds = 6;
    std::vector<double> oursMs, bareMs;
    QElapsedTimer timer;
    auto timeBare = [&] {
        timer.start();
        for (const QUrl& url : pages) bare.print(url);
        bareMs.push_back(timer.nsecsElapsed() / 1e6 / pages.size());
    };
    auto timeOurs = [&] {
        timer.start();
        for (const QUrl& url : pages) ours.LoadAndPrintPage(url.toString());
        oursMs.push_back(timer.nsecsElapsed() / 1e6 / pages.size());
    };
    // Taking turns at going first cancels what the order alone would give.
    for (int round = 0; round < kRounds; ++round) {
        if (round % 2 == 0) {
            timeBare();
            timeOurs();
        } else {
            timeOurs();
            timeBare();
        }
    }
    const double oursMedian = median(oursMs), bareMedian = median(bareMs);
    std::printf("browser print, 10 local pages, %d rounds (median per page)\n", kRounds);
    std::printf("  bare engine load+printToPdf: %8.1f ms/page\n", bareMedian);
    std::printf("  LoadAndPrintPage:            %8.1f ms/page\n", oursMedian);
    std::printf("  ratio ours/bare:             %8.3f (target <= 1.1)\n", oursMedian / bareMedian);
    std::printf("  rounds ours:");
    for (double ms : oursMs) std::printf(" %.1f", ms);
    std::printf("\n  rounds bare:");
    for (double ms : bareMs) std::printf(" %.1f", ms);
    std::printf("\n  mean PDF size: %.1f KB\n", printers.bytes / 1024.0 / printers.jobs);

    std::printf("memory over 100 prints (VmRSS of the program, KB)\n");
    std::printf("  at start:        %8ld\n", rssKilobytes(0));
    for (int i = 1; i <= 100; ++i) {
        ours.LoadAndPrintPage(pages[i % pages.size()].toString());
        if (i == 10 || i == 100) std::printf("  after %3d prints: %8ld\n", i, rssKilobytes(0));
    }
    return 0;
}
