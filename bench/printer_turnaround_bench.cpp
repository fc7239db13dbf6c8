// Turnaround of one PDF job through the real PDF printer: from submitting a
// 1 MB PDF to the default printer until CUPS reports the job finished (the
// file written by the backend). Needs cupsd with the printer installed, and
// an ordinary user:  scripts/as-test-user build/bench/printer_turnaround_bench [runs]
#include "pdfprinter/printer_names.h"
#include "platform/cups_print_system.h"
#include "platform/file_printer_control_store.h"
#include "saverun/printer_control.h"
#include "support/fake_platform.h"
#include "support/sample_pdf.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace {

using quendrel::platform::JobState;

// Noise compresses badly, but the writer still shrinks images somewhat:
// grow the picture until the file holds at least 1 MiB.
QByteArray pdfOfOneMegabyte() {
    for (int kilobytes = 1024;; kilobytes += 128) {
        QByteArray pdf = quendrel::testing::makePdf(QStringLiteral("turnaround"), kilobytes);
        if (pdf.size() >= 1024 * 1024) return pdf;
    }
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    if (::geteuid() == 0) {
        std::fprintf(stderr, "run as an ordinary user (scripts/as-test-user): the printer never writes for root\n");
        return 1;
    }

    quendrel::platform::CupsPrintSystem cups;
    quendrel::platform::FilePrinterControlStore controlValues;
    quendrel::testing::FakeDialogs dialogs;
    quendrel::PrinterControl control(cups, controlValues, dialogs, QStringLiteral("Quendrel"));
    const QString lpoptions = QString::fromLocal8Bit(::getpwuid(::getuid())->pw_dir) + "/.cups/lpoptions";
    std::optional<QByteArray> savedOptions;
    if (QFile file(lpoptions); file.open(QIODevice::ReadOnly)) savedOptions = file.readAll();
    if (!cups.setDefaultPrinter(QString::fromUtf8(marrowby::kPrinterName))) {
        std::fprintf(stderr, "the printer \"%s\" is not installed or cupsd is down\n", marrowby::kPrinterName);
        return 1;
    }

    QTemporaryDir dir;
    const QByteArray pdf = pdfOfOneMegabyte();
    const QString source = dir.filePath("source.pdf");
    if (QFile file(source); file.open(QIODevice::WriteOnly)) file.write(pdf);

    std::vector<double> turnaround, submit;
    int failed = 0;
    for (int i = 0; i < runs; ++i) {
        const QString target = dir.filePath(QStringLiteral("run-%1.pdf").arg(i));
        control.PointPdfPrinterAt(target);
        QElapsedTimer timer;
        timer.start();
        const int jobId = cups.submitPdfToDefault(source, QStringLiteral("turnaround"));
        submit.push_back(timer.nsecsElapsed() / 1e6);
        JobState state = cups.jobState(jobId);
        while (state == JobState::Pending && timer.elapsed() < 30000) {
            QThread::usleep(500);
            state = cups.jobState(jobId);
        }
        turnaround.push_back(timer.nsecsElapsed() / 1e6);
        if (state != JobState::Finished || QFileInfo(target).size() != pdf.size()) ++failed;
    }

    if (savedOptions) {
        if (QFile file(lpoptions); file.open(QIODevice::WriteOnly)) file.write(*savedOptions);
    } else {
        QFile::remove(lpoptions);
    }

    std::printf("printer turnaround: %d runs of a %.2f MB PDF, %d failed\n", runs, pdf.size() / 1048576.0, failed);
    std::printf("  submit to finished: median %.1f ms, min %.1f ms, max %.1f ms\n", median(turnaround),
                *std::min_element(turnaround.begin(), turnaround.end()),
                *std::max_element(turnaround.begin(), turnaround.end()));
    std::printf("  submit alone:       median %.1f ms\n", median(submit));
    return failed ? 1 : 0;
}
