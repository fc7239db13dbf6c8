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

// The user's default printer as the print system names it, and where it comes
// from. A user often has none: that is an answer, not a failure.
struct DefaultPrinter {
    enum class Origin {
        Unread,  // the print system could not say
        None,    // neither the user nor the server has a default
        Own,     // the user's own choice (the Default line of their lpoptions)
        Server,  // the server's default, the user has none of their own
    };
    Origin origin = Origin::Unread;
    QString destination;  // "queue" or "queue/instance"; empty without a default
    QString deviceName;   // what desktops show for it; empty without a default
};

class PrintSystem {
public:
    virtual ~PrintSystem() = default;
    // Device names of the installed printers in the order the print system lists
    // them. A device name is the printer's description, or its queue name when it
    // has none. Throws Failure when the print system cannot be asked.
    virtual QStringList printerDeviceNames() = 0;
    // Device name of the current user's default printer, empty when there is
    // none; throws PrintFailure when it cannot be read.
    virtual QString defaultPrinterDeviceName() = 0;
    // The current user's default printer; throws PrintFailure when it cannot
    // be read. A print system that knows only device names sees every default
    // as the user's own.
    virtual DefaultPrinter defaultPrinter();
    // Makes the printer with that device name the current user's default.
    // Gives false on any failure.
    virtual bool setDefaultPrinter(const QString& deviceName) = 0;
    // Puts back a default that defaultPrinter() gave: that same destination
    // as the user's own, or no default of the user's own when it was the
    // server's or there was none. Gives false on any failure, and for an
    // unread default.
    virtual bool restoreDefaultPrinter(const DefaultPrinter& previous);
    // Submits a PDF file to the default printer as one job; gives its id.
    // Throws Failure when the job cannot be submitted.
    virtual int submitPdfToDefault(const QString& pdfPath, const QString& title) = 0;
    // An option (name=value) that every job submitted from now on carries;
    // an empty value takes it away. Pure, so that no print system standing in
    // for another can drop the printer's pointing of a job unnoticed.
    virtual void setJobOption(const QString& name, const QString& value) = 0;
    virtual JobState jobState(int jobId) = 0;
    // What the printer said last about a job, in its own words ("" when
    // nothing or when it cannot be asked): for a failed job, why.
    virtual QString jobPrinterMessage(int jobId) {
        Q_UNUSED(jobId)
        return {};
    }
    virtual void cancelJob(int jobId) = 0;
};

inline DefaultPrinter PrintSystem::defaultPrinter() {
    const QString device = defaultPrinterDeviceName();
    if (device.isEmpty()) return {DefaultPrinter::Origin::None, {}, {}};
    return {DefaultPrinter::Origin::Own, device, device};
}

inline bool PrintSystem::restoreDefaultPrinter(const DefaultPrinter& previous) {
    return previous.origin == DefaultPrinter::Origin::Own && setDefaultPrinter(previous.deviceName);
}

}  // namespace quendrel::platform
