#include "printer_control.h"

#include "pdfprinter/printer_names.h"
#include "platform/dialogs.h"
#include "platform/print_system.h"
#include "platform/printer_control_store.h"

#include <exception>

namespace quendrel {
namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kPrinterName = QString::fromUtf8(marrowby::kPrinterName);

}  // namespace

PrinterControl::PrinterControl(platform::PrintSystem& printers, platform::PrinterControlStore& controlValues,
                               platform::Dialogs& dialogs, QString applicationTitle)
    : printers_(printers),
      controlValues_(controlValues),
      dialogs_(dialogs),
      applicationTitle_(std::move(applicationTitle)) {}

bool PrinterControl::isPdfPrinterPresent() {
    QStringList devices;
    try {
        devices = printers_.printerDeviceNames();
    } catch (const std::exception&) {
        return false;  // no print system to ask: no printer either
    }
    for (const QString& device : devices)
        if (device == kPrinterName) return true;
    return false;
}

bool PrinterControl::IsPdfPrinterInstalled() {
    if (isPdfPrinterPresent()) return true;
    dialogs_.message(printerMissingMessage(), applicationTitle_);
    return false;
}

platform::DefaultPrinter PrinterControl::ReadDefaultPrinter() {
    try {
        return printers_.defaultPrinter();
    } catch (const platform::PrintFailure& failure) {
        dialogs_.message(defaultPrinterFailureMessage(failure.errorNumber(), failure.description()),
                         applicationTitle_);
    } catch (const std::exception& failure) {
        dialogs_.message(defaultPrinterFailureMessage(platform::kNoPrinterInformationError,
                                                      QString::fromUtf8(failure.what())),
                         applicationTitle_);
    }
    return {};
}

bool PrinterControl::MakeDefaultPrinter(const QString& printerName) {
    try {
        return printers_.setDefaultPrinter(printerName);
    } catch (...) {
        return false;
    }
}

bool PrinterControl::MakeDefaultPrinter(const platform::DefaultPrinter& previous) {
    try {
        return printers_.restoreDefaultPrinter(previous);
    } catch (...) {
        return false;
    }
}

void PrinterControl::PointPdfPrinterAt(const QString& pdfPath) {
    try {
        controlValues_.write(QString::fromUtf8(marrowby::kOutputFileValue), pdfPath);
    } catch (...) {
    }
    try {
        controlValues_.write(QString::fromUtf8(marrowby::kBypassSaveAsValue), QStringLiteral("1"));
    } catch (...) {
    }
    // Last: arms the printer for the one job that follows. The printer takes
    // the mark with that job, so no later job replaces this PDF.
    try {
        controlValues_.write(QString::fromUtf8(marrowby::kJobMarkValue), pdfPath);
    } catch (...) {
    }
}

QString PrinterControl::printerMissingMessage() {
    return QStringLiteral("Can not continue.") + kCrLf + QStringLiteral("There is no \"") + kPrinterName +
           QStringLiteral("\" printer installed.") + kCrLf + QStringLiteral("Please install \"") +
           QString::fromUtf8(marrowby::kProductName) + QStringLiteral("\" again.");
}

QString PrinterControl::defaultPrinterFailureMessage(int errorNumber, const QString& description) {
    return QStringLiteral("Error No: ") + QString::number(errorNumber) + kCrLf + description + kCrLf +
           QStringLiteral("Has occured in modPrinters.GetDefaultPrinter") + kCrLf +
           QStringLiteral("Please contact Technical Support");
}

}  // namespace quendrel
