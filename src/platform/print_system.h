#pragma once
// The print system (CUPS on Linux): installed printers, the user's default
// printer, and print jobs.
#include "failure.h"

#include <QString>
#include <QStringList>

namespace quendrel::platform {

enum class JobState { Pending, Finished, Failed, Unknown };

// The error number of a default printer that cannot be read: the one reports
// have always shown for "no printer information from the system".
inline constexpr int kNoPrinterInformationError = 484;

// A failure of the print system with the error number reports show for it.
class PrintFailure : public Failure {
public:
    PrintFailure(int errorNumber, const QString& description)
        : Failure(description), errorNumber_(errorNumber) {}
    int errorNumber() const { return errorNumber_; }

private:
    int errorNumber_;
};

class PrintSystem {
public:
    virtual ~PrintSystem() = default;
    // Device names of the installed printers in the order the print system lists
    // them. A device name is the printer's description, or its queue name when it
    // has none. Throws Failure when the print system cannot be asked.
    virtual QStringList printerDeviceNames() = 0;
    // Device name of the current user's default printer; throws PrintFailure when
    // there is none or it cannot be read.
    virtual QString defaultPrinterDeviceName() = 0;
    // Makes the printer with that device name the current user's default.
    // Gives false on any failure.
    virtual bool setDefaultPrinter(const QString& deviceName) = 0;
    // Submits a PDF file to the default printer as one job; gives its id.
    // Throws Failure when the job cannot be submitted.
    virtual int submitPdfToDefault(const QString& pdfPath, const QString& title) = 0;
    virtual JobState jobState(int jobId) = 0;
    virtual void cancelJob(int jobId) = 0;
};

}  // namespace quendrel::platform
