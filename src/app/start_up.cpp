#include "start_up.h"

#include "common/app_title.h"
#include "common/error_trap.h"
#include "common/file_exists.h"
#include "common/pointer_image.h"
#include "form1.h"
#include "options/method_options.h"
#include "platform/platform.h"
#include "pdfprinter/printer_names.h"
#include "common/product.h"
#include "saverun/printer_control.h"
#include "common/saved_choices.h"
#include "common/settings_store.h"
#include "sitelist/site_list_view.h"
#include "skin.h"
#include "twips.h"

#include <QIcon>
#include <QLineEdit>
#include <QPixmap>
#include <random>

namespace quendrel {

namespace {
const QString kPrinterName = QString::fromUtf8(marrowby::kPrinterName);
}

StartUp::StartUp(Form1& form, platform::Platform& platform, SettingsStore& settings,
                 ErrorReport& report, MethodOptions& options)
    : form_(form), platform_(platform), settings_(settings), report_(report), options_(options) {}

void StartUp::Form_Load() {
    ErrorTrap trap(report_, HandlerLocation("Form_Load"));
    const QString program = platform_.desktop.programFolder();
    const QString hand = program + QStringLiteral("/HAND-M.CUR");
    trap.step(100, [&] { ApplySkin(); });
    if (trap.test(104, [&] { return FileExists(hand); }))
        trap.step(106, [&] { form_.customPointer = LoadPointer(hand); });
    trap.step(108, [&] { VisitHomePage(); });
    // Geometry is held in twips and converted on use; there is no other unit to set.
    trap.step(126, [&] { form_.setWindowTitle(kProductName); });
    trap.step(126, [&] { form_.setWindowIcon(QIcon(QStringLiteral(":/quendrel/quendrel.png"))); });
    trap.step(126, [&] { SetAppTitle(); });
    trap.step(128, [&] { form_.ListView1->entries().setHeader(QStringLiteral(" Web Site(s)")); });
    trap.step(130, [&] { form_.ListView1->setColumnWidth(0, TwipsToPixels(7000)); });
    trap.step(132, [&] {
        const QString desktop = GetDesktopFolder();
        form_.Text1->setText(SavedFolder(settings_, desktop));
    });
    trap.step(134, [&] { options_.Restore(1, SavedOption(settings_, 1)); });
    trap.step(136, [&] { options_.Restore(2, SavedOption(settings_, 2)); });
    trap.step(138, [&] { options_.Restore(3, SavedOption(settings_, 3)); });
    trap.step(140, [&] { ShowPrinterInstallHelp(); });
}

void StartUp::ApplySkin() {
    const QString skin = platform_.desktop.programFolder() + QStringLiteral("/x/o.cjs");
    if (!IsPlainVisibleFile(skin)) return;
    UseButtonFaceColours(form_);
    ApplyStyleSheetFile(form_, skin);
}

int StartUp::HomePageDraw(double secondsSinceMidnight) {
    std::minstd_rand generator(static_cast<std::minstd_rand::result_type>(secondsSinceMidnight * 1000.0) + 1);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    return static_cast<int>(uniform(generator) * 100.0) + 1;
}

void StartUp::VisitHomePage() {
    if (HomePageDraw(platform_.desktop.secondsSinceMidnight()) == 7)
        platform_.desktop.openInBrowser(kHomePage);
}

QString StartUp::GetDesktopFolder() {
    const QString desktop = platform_.desktop.desktopFolder();
    if (desktop.isEmpty()) throw Failure(QStringLiteral("The desktop folder cannot be found"));
    return desktop.endsWith(QLatin1Char('/')) ? desktop : desktop + QLatin1Char('/');
}

QString StartUp::PrinterInstallHelpText(const QString& programFolder) {
    const QString crlf = QStringLiteral("\r\n");
    return kPrinterName + QStringLiteral(" is not installed. Please follow these instructions:") +
           crlf + crlf +
           QStringLiteral("1) Make sure the print system runs: sudo systemctl enable --now cups") + crlf +
           QStringLiteral("2) Install the printer with Quendrel's installer: sudo ") + programFolder +
           QStringLiteral("/install-printer.sh") + crlf +
           QStringLiteral("3) Check that ") + kPrinterName +
           QStringLiteral(" is listed: lpstat -l -p Marrowby_PDF_Writer") + crlf +
           QStringLiteral("4) Start Quendrel again.");
}

void StartUp::ShowPrinterInstallHelp() {
    PrinterControl printer(platform_.printers, platform_.printerControl, platform_.dialogs, AppTitle());
    if (printer.isPdfPrinterPresent()) return;
    platform_.dialogs.message(PrinterInstallHelpText(platform_.desktop.programFolder()), AppTitle());
}

}  // namespace quendrel
