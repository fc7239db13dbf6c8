// Wall time of one capture by iecapt, from start to exit, for a short page and
// for a long documentation-like page served on 127.0.0.1 by this program.
// One warm-up run, then the median of five. Prints its measurements.
#include "support/local_http_server.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using quendrel::testing::HttpResponse;
using quendrel::testing::LocalHttpServer;

constexpr int kRuns = 5;

QString iecaptPath() {
    const QString buildDir = qEnvironmentVariable("QUENDREL_BUILD_DIR");
    if (!buildDir.isEmpty()) return buildDir + QStringLiteral("/bin/iecapt");
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../bin/iecapt"));
}

QByteArray shortPage() {
    return "<html><head><title>Short</title></head><body><h1>A short page</h1>"
           "<p>One paragraph of text and nothing else.</p></body></html>";
}

QByteArray longPage() {
    QByteArray body = "<html><head><title>Manual</title><style>body{font-family:serif;max-width:900px}"
                      "pre{background:#eee} td{border:1px solid #888}</style></head><body><h1>Manual</h1>";
    for (int section = 0; section < 40; ++section) {
        body += "<h2>Section " + QByteArray::number(section) + "</h2>";
        for (int p = 0; p < 3; ++p)
            body += "<p>The lighthouse keepers of the northern coast wrote their logs by hand, each entry "
                    "naming the weather, the ships that passed and the oil that was burnt in the lamp.</p>";
        body += "<pre>keeper --log=" + QByteArray::number(section) + " --weather=fog</pre>";
        if (section % 5 == 0) {
            body += "<table>";
            for (int r = 0; r < 5; ++r)
                body += "<tr><td>row " + QByteArray::number(r) + "</td><td>" + QByteArray::number(r * section) +
                        "</td></tr>";
            body += "</table>";
        }
    }
    return body + "</body></html>";
}

struct Capture {
    double seconds = 0;
    bool ok = false;
    QSize size;
};

Capture captureOnce(const QString& program, const QString& address, const QString& out) {
    QFile::remove(out);
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    process.start(program, {QStringLiteral("--url=") + address, QStringLiteral("--out=") + out});
    const bool ended = process.waitForFinished(120000);
    Capture capture;
    capture.seconds = clock.nsecsElapsed() / 1e9;
    capture.ok = ended && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!capture.ok)
        std::fprintf(stderr, "capture failed: %s\n", process.readAllStandardError().constData());
    capture.size = QImageReader(out).size();
    return capture;
}

void measure(const QString& program, const QString& name, const QString& address, const QString& out) {
    captureOnce(program, address, out);  // warm-up: fonts, disk caches
    std::vector<double> seconds;
    QSize size;
    for (int i = 0; i < kRuns; ++i) {
        const Capture capture = captureOnce(program, address, out);
        if (!capture.ok) return;
        seconds.push_back(capture.seconds);
        size = capture.size;
    }
    std::vector<double> sorted = seconds;
    std::sort(sorted.begin(), sorted.end());
    std::printf("%-12s %4dx%-5d median %.2f s  (runs:", qPrintable(name), size.width(), size.height(),
                sorted[sorted.size() / 2]);
    for (double s : seconds) std::printf(" %.2f", s);
    std::printf(")  target <= 2.00 s\n");
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString program = iecaptPath();
    if (!QFileInfo(program).isExecutable()) {
        std::fprintf(stderr, "iecapt not found at %s (set QUENDREL_BUILD_DIR)\n", qPrintable(program));
        return 1;
    }
    QTemporaryDir folder;
    if (!folder.isValid()) return 1;
    LocalHttpServer server;
    server.serve(QStringLiteral("/short.html"), HttpResponse::html(shortPage()));
    server.serve(QStringLiteral("/manual.html"), HttpResponse::html(longPage()));

    std::printf("iecapt wall time per capture, %d runs after one warm-up\n", kRuns);
    measure(program, QStringLiteral("short page"), server.url(QStringLiteral("/short.html")),
            folder.filePath(QStringLiteral("short.jpg")));
    measure(program, QStringLiteral("long page"), server.url(QStringLiteral("/manual.html")),
            folder.filePath(QStringLiteral("manual.jpg")));
    return 0;
}
