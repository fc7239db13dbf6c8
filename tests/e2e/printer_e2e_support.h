#pragma once
// Helpers for the end-to-end tests of the PDF printer. They need the real
// parts: a running cupsd with the queue Marrowby_PDF_Writer installed
// (scripts/start-cupsd.sh, scripts/install-printer.sh), and an ordinary user
// (scripts/as-test-user): the printer never writes files for root.
#include "pdfprinter/control_values.h"
#include "pdfprinter/printer_names.h"
#include "platform/cups_print_system.h"
#include "platform/file_printer_control_store.h"
#include "saverun/printer_control.h"
#include "support/fake_platform.h"
#include "support/sample_pdf.h"

#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QThread>
#include <cmath>
#include <gtest/gtest.h>
#include <optional>
#include <pwd.h>
#include <unistd.h>

namespace printer_e2e {

using quendrel::testing::makePdf;

using quendrel::platform::CupsPrintSystem;
using quendrel::platform::JobState;

inline const QString kPdfPrinter = QString::fromUtf8(marrowby::kPrinterName);
inline const QString kQueue = QString::fromUtf8(marrowby::kQueueName);

inline const char* stateName(JobState state) {
    switch (state) {
    case JobState::Pending: return "Pending";
    case JobState::Finished: return "Finished";
    case JobState::Failed: return "Failed";
    case JobState::Unknown: return "Unknown";
    }
    return "?";
}

// The home folder the backend uses: the account database's, not $HOME.
inline QString accountHome() {
    const struct passwd* entry = ::getpwuid(::getuid());
    return entry ? QString::fromLocal8Bit(entry->pw_dir) : QString();
}

// Stops the test with a clear message unless the printer can be used.
inline ::testing::AssertionResult printerReady() {
    if (::geteuid() == 0)
        return ::testing::AssertionFailure()
               << "run this test as an ordinary user (scripts/as-test-user); the printer never writes for root";
    CupsPrintSystem cups;
    QStringList devices;
    try {
        devices = cups.printerDeviceNames();
    } catch (const std::exception& failure) {
        return ::testing::AssertionFailure()
               << "cupsd does not answer (" << failure.what() << "); start it with scripts/start-cupsd.sh";
    }
    if (!devices.contains(kPdfPrinter))
        return ::testing::AssertionFailure() << "the printer \"Marrowby PDF Writer\" is not installed; "
                                                "install it with scripts/install-printer.sh (as root)";
    return ::testing::AssertionSuccess();
}

inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    const bool ok = file.write(bytes) == bytes.size();
    file.close();
    return ok;
}

inline std::optional<QByteArray> readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return file.readAll();
}

// Polls the job's state until it is final or the time is up.
inline JobState waitForJob(quendrel::platform::PrintSystem& printers, int jobId, int timeoutMs = 30000) {
    QElapsedTimer timer;
    timer.start();
    JobState state = printers.jobState(jobId);
    while ((state == JobState::Pending || state == JobState::Unknown) && timer.elapsed() < timeoutMs) {
        QThread::msleep(5);
        state = printers.jobState(jobId);
    }
    return state;
}

// Runs a CUPS command-line tool; gives its standard output, or nothing when it failed.
inline std::optional<QString> runTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

// Submits with lp; gives the job id.
inline int submitWithLp(const QStringList& arguments) {
    const std::optional<QString> output = runTool(QStringLiteral("lp"), arguments);
    if (!output) return 0;
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("request id is \\S+-(\\d+)")).match(*output);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

// The queue is still enabled and accepting jobs.
inline ::testing::AssertionResult queueStillPrints() {
    const std::optional<QString> printer = runTool(QStringLiteral("lpstat"), {QStringLiteral("-p"), kQueue});
    const std::optional<QString> accepting = runTool(QStringLiteral("lpstat"), {QStringLiteral("-a"), kQueue});
    if (!printer || printer->contains(QStringLiteral("disabled")))
        return ::testing::AssertionFailure() << "the queue stopped: " << printer.value_or("?").toStdString();
    if (!accepting || !accepting->contains(QStringLiteral("accepting requests")) ||
        accepting->contains(QStringLiteral("not accepting")))
        return ::testing::AssertionFailure() << "the queue refuses jobs: " << accepting.value_or("?").toStdString();
    return ::testing::AssertionSuccess();
}

inline void setControlValue(const char* name, const QString& value) {
    ASSERT_TRUE(quendrel::platform::FilePrinterControlStore().write(QString::fromUtf8(name), value));
}

// Points the printer at `target` for the next job `cups` submits, the way
// the tool does; gives the pointing that job carries, for lp's -o.
inline QString pointPrinterAt(CupsPrintSystem& cups, const QString& target) {
    quendrel::testing::FakeDialogs dialogs;
    quendrel::platform::FilePrinterControlStore values;
    quendrel::PrinterControl(cups, values, dialogs, QStringLiteral("Quendrel")).PointPdfPrinterAt(target);
    const QDir folder(QString::fromStdString(marrowby::controlFolder(accountHome().toStdString())));
    const QString prefix = QString::fromUtf8(marrowby::kPointingValuePrefix);
    for (const QString& name : folder.entryList({prefix + '*'}, QDir::Files, QDir::Time))
        if (readFile(folder.filePath(name)) == target.toUtf8()) return name.mid(prefix.size());
    return {};
}

// Takes away every pointing the tool left.
inline void removePointings() {
    const QDir folder(QString::fromStdString(marrowby::controlFolder(accountHome().toStdString())));
    for (const QString& name : folder.entryList({QString::fromUtf8(marrowby::kPointingValuePrefix) + '*'}, QDir::Files))
        QFile::remove(folder.filePath(name));
}

inline void removeControlValue(const char* name) {
    QFile::remove(QString::fromStdString(marrowby::controlFolder(accountHome().toStdString())) + '/' +
                  QString::fromUtf8(name));
}

// Keeps the user's printer settings (~/.cups/lpoptions) as they were.
class LpoptionsGuard {
public:
    LpoptionsGuard() : path_(accountHome() + QStringLiteral("/.cups/lpoptions")), saved_(readFile(path_)) {}
    ~LpoptionsGuard() {
        if (saved_)
            writeFile(path_, *saved_);
        else
            QFile::remove(path_);
    }
    const QString& path() const { return path_; }

private:
    QString path_;
    std::optional<QByteArray> saved_;
};

}  // namespace printer_e2e
