#include "printer_control.h"

#include "pdfprinter/printer_names.h"
#include "platform/dialogs.h"
#include "platform/print_system.h"
#include "platform/printer_control_store.h"

#include <QRandomGenerator>
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
    // The pointing serves the one job that carries its token: the next one
    // this program submits. A job of another program, or of another run,
    // carries none or another.
    const QString token = NewPointingToken();
    try {
        printers_.setJobOption(QString::fromUtf8(marrowby::kPointingOption), token);
    } catch (...) {
    }
    try {
        controlValues_.write(QString::fromUtf8(marrowby::kOutputFileValue), pdfPath);
    } catch (...) {
    }
    try {
        controlValues_.write(QString::fromUtf8(marrowby::kBypassSaveAsValue), QStringLiteral("1"));
    } catch (...) {
    }
    try {
        controlValues_.write(QString::fromUtf8(marrowby::kPointingValuePrefix) + token, pdfPath);
    } catch (...) {
    }
}

QString PrinterControl::NewPointingToken() {
    QString token;
    for (int i = 0; i < 4; ++i)
        token += QStringLiteral("%1").arg(QRandomGenerator::system()->generate(), 8, 16, QLatin1Char('0'));
    return token;
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
