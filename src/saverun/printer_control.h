#pragma once
// What the tool does to the PDF printer and to the user's default printer:
// the presence test, reading and switching the default, and pointing the
// printer at the file the next job must become.
#include "platform/print_system.h"

#include <QString>

namespace quendrel {

namespace platform {
class Dialogs;
class PrinterControlStore;
}  // namespace platform

class PrinterControl {
public:
    PrinterControl(platform::PrintSystem& printers, platform::PrinterControlStore& controlValues,
                   platform::Dialogs& dialogs, QString applicationTitle);

    // True when an installed printer's device name is exactly "Marrowby PDF
    // Writer" (letter case counts). A print system that cannot be asked has no
    // such printer. Shows nothing.
    bool isPdfPrinterPresent();

    // The presence test; when it fails, the three-line message and false.
    bool IsPdfPrinterInstalled();

    // The user's default printer as the print system names it. A user
    // without one gets an empty one and no message: that is no failure. When
    // the print system cannot say: the four-line message with the failure's
    // number, and an unread one.
    platform::DefaultPrinter ReadDefaultPrinter();
    // Its device name; empty when there is none or it cannot be read.
    QString GetDefaultPrinter() { return ReadDefaultPrinter().deviceName; }

    // Makes the named printer the user's default; false on any failure, which
    // is never shown.
    bool MakeDefaultPrinter(const QString& printerName);
    // Puts back what ReadDefaultPrinter gave: the same destination when it was
    // the user's own, no default of the user's own otherwise. False on any
    // failure, never shown, and for an unread default.
    bool MakeDefaultPrinter(const platform::DefaultPrinter& previous);

    // Sets "OutputFile" to the path and "BypassSaveAs" to "1", in that order,
    // then points the next job this program submits, and only that job, at
    // the path. Failures are silent: the run goes on.
    void PointPdfPrinterAt(const QString& pdfPath);
    // 32 lowercase hex digits from the system's random source.
    static QString NewPointingToken();

    static QString printerMissingMessage();
    static QString defaultPrinterFailureMessage(int errorNumber, const QString& description);

private:
    platform::PrintSystem& printers_;
    platform::PrinterControlStore& controlValues_;
    platform::Dialogs& dialogs_;
    QString applicationTitle_;
};

}  // namespace quendrel
