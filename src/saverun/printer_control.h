#pragma once
// What the tool does to the PDF printer and to the user's default printer:
// the presence test, reading and switching the default, and pointing the
// printer at the file the next job must become.
#include <QString>

namespace quendrel {

namespace platform {
class Dialogs;
class PrintSystem;
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

    // The device name of the current default printer. When it cannot be read:
    // the four-line message with the failure's number, and an empty name.
    QString GetDefaultPrinter();

    // Makes the named printer the user's default; false on any failure, which
    // is never shown.
    bool MakeDefaultPrinter(const QString& printerName);

    // Sets "OutputFile" to the path and "BypassSaveAs" to "1", in that order.
    // Failures are silent: the run goes on.
    void PointPdfPrinterAt(const QString& pdfPath);

    static QString printerMissingMessage();
    static QString defaultPrinterFailureMessage(int errorNumber, const QString& description);

private:
    platform::PrintSystem& printers_;
    platform::PrinterControlStore& controlValues_;
    platform::Dialogs& dialogs_;
    QString applicationTitle_;
};

}  // namespace quendrel
