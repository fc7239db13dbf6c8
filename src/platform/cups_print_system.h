#pragma once
// The print system through libcups: destinations, the user's default printer
// (~/.cups/lpoptions), and PDF jobs with their states.
#include "print_system.h"

#include <QByteArray>
#include <QMap>

namespace quendrel::platform {

class CupsPrintSystem : public PrintSystem {
public:
    // Each call opens its own short connection to the scheduler with these
    // limits, so a scheduler that is down or hangs never stalls the program
    // for long. A scheduler that is down fails at once; one that accepts and
    // never answers costs one reply time plus about a second per request
    // (listing the printers makes two).
    explicit CupsPrintSystem(int connectTimeoutMs = 3000, int replyTimeoutMs = 4000);

    QStringList printerDeviceNames() override;
    QString defaultPrinterDeviceName() override;
    // The user's own default is the Default line of their lpoptions, which
    // libcups writes; any other default is the server's.
    DefaultPrinter defaultPrinter() override;
    bool setDefaultPrinter(const QString& deviceName) override;
    bool restoreDefaultPrinter(const DefaultPrinter& previous) override;
    // Submits to the user's default printer, or to the one setJobPrinter named.
    int submitPdfToDefault(const QString& pdfPath, const QString& title) override;
    // From now on jobs go to the printer with this device name, whatever the
    // user's default printer is; an empty name goes back to the default.
    void setJobPrinter(const QString& deviceName) { jobPrinter_ = deviceName; }
    void setJobOption(const QString& name, const QString& value) override;
    JobState jobState(int jobId) override;
    // The job's "job-printer-state-message": the last INFO or ERROR line of
    // the printer's backend for it.
    QString jobPrinterMessage(int jobId) override;
    void cancelJob(int jobId) override;

    // The file that holds the user's own printer choices: ~/.cups/lpoptions,
    // or the system-wide one for root, where libcups writes it.
    static QString userOptionsPath();
    // The destination ("queue" or "queue/instance") of the last Default line
    // of an lpoptions text; empty when it has none.
    static QString ownDefaultIn(const QByteArray& lpoptions);

private:
    QMap<QByteArray, QByteArray> jobOptions_;
    QString jobPrinter_;
    int connectTimeoutMs_;
    int replyTimeoutMs_;
};

}  // namespace quendrel::platform
