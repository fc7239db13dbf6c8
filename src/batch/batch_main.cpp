// quendrel-batch: the save run of Quendrel's window, without a window. See
// BatchUsage() for the command line.
#include "batch_front_end.h"
#include "batch_list.h"
#include "batch_options.h"
#include "stderr_dialogs.h"

#include "common/error_report.h"
#include "common/product.h"
#include "common/settings_store.h"
#include "pdfprinter/printer_names.h"
#include "engine/chromium_process.h"
#include "platform/cups_print_system.h"
#include "platform/file_printer_control_store.h"
#include "platform/linux_desktop.h"
#include "platform/platform.h"
#include "platform/posix_process_launcher.h"
#include "platform/qt_event_pump.h"
#include "platform/qt_settings_backend.h"
#include "saverun/engine_rendering.h"
#include "saverun/printer_control.h"
#include "saverun/save_run.h"
#include "sitelist/site_list_model.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace quendrel {
namespace {

// Exit statuses besides 0 (all written or skipped) and 1 (some failed).
constexpr int kCannotStart = 2;

int g_signalPipe[2] = {-1, -1};

void onStopSignal(int signalNumber) {
    const unsigned char number = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &number, 1);
}

int cannotStart(const QString& why) {
    std::fprintf(stderr, "quendrel-batch: %s\n", why.toLocal8Bit().constData());
    return kCannotStart;
}

// The method and folder the window saved last, as its start-up reads them.
int SavedMethod(SettingsStore& settings) {
    const QString defaults[] = {QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("0")};
    for (int method = 1; method <= 3; ++method)
        if (TextToBoolean(settings.ReadSetting(QStringLiteral("Option%1").arg(method), defaults[method - 1])))
            return method;
    return 1;
}

QString SavedFolder(SettingsStore& settings, platform::Desktop& desktop) {
    return settings.ReadSetting(QStringLiteral("Folder"), desktop.desktopFolder());
}

}  // namespace

int RunBatch(int argc, char** argv) {
    // Never a display: method 1's picture print draws off screen as well.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const ParsedBatchOptions parsed = ParseBatchOptions(app.arguments().mid(1));
    if (!parsed.error.isEmpty()) return cannotStart(parsed.error + QStringLiteral(" (see --help)"));
    const BatchOptions& options = parsed.options;
    if (options.help) {
        std::fputs(BatchUsage().toLocal8Bit().constData(), stdout);
        return 0;
    }

    platform::QtSettingsBackend settingsBackend;
    SettingsStore settings(settingsBackend);
    platform::LinuxDesktop desktop;
    const int method = options.method.value_or(SavedMethod(settings));
    const QString folder = options.folder.value_or(SavedFolder(settings, desktop));
    if (!QFileInfo(folder).isDir()) return cannotStart(QStringLiteral("the folder \"%1\" does not exist").arg(folder));

    std::optional<QStringList> entries = ReadBatchList(options.listFile);
    if (!entries) return cannotStart(QStringLiteral("the list \"%1\" cannot be read").arg(options.listFile));
    const QStringList shard = ShardOf(*entries, options.shard, options.shards);

    BatchProgress progress(stderr, ::isatty(STDERR_FILENO) == 1);
    StderrDialogs dialogs([&](const QString& line) { progress.Say(line); });
    platform::QtEventPump events;
    platform::CupsPrintSystem printers;
    // Jobs go to the PDF printer by name: the user's default printer is never touched.
    printers.setJobPrinter(QString::fromUtf8(marrowby::kPrinterName));
    platform::FilePrinterControlStore printerControl;
    platform::PosixProcessLauncher processes;
    platform::Platform platform{dialogs, settingsBackend, desktop, events, printers, printerControl, processes};

    PrinterControl printer(printers, printerControl, dialogs, kProductName);
    if (!printer.isPdfPrinterPresent())
        return cannotStart(QStringLiteral("there is no printer \"%1\" (is the CUPS daemon running?)")
                               .arg(QString::fromUtf8(marrowby::kPrinterName)));
    if (engine::FindChromium().isEmpty())
        return cannotStart(QStringLiteral("the web engine is missing: install the package \"%1\"")
                               .arg(QString::fromUtf8(engine::kChromiumPackage)));
    if (shard.isEmpty()) return 0;  // nothing of the list is this machine's

    SiteListModel list;
    for (const QString& entry : shard) list.append(entry);
    QLabel pictureHolder;  // method 1's picture, never shown
    EngineRendering rendering(platform, &pictureHolder, progress, [&] { return list.count(); });
    rendering.KeepConsentDialogs(options.keepConsentDialogs);  // the command line alone decides
    ErrorReport report(dialogs, kSupportAddress);
    BatchFrontEnd front(folder, method, options.skipExisting, stdout, progress);
    SaveRun run({front, list, progress, printer, rendering, printers, events, report});

    // SIGINT and SIGTERM abandon the entry in hand cleanly and end the
    // program: what it prepared is released, its picture or page copy
    // removed; a PDF is only ever written whole.
    if (::pipe2(g_signalPipe, O_CLOEXEC) != 0) return cannotStart(QStringLiteral("cannot make a pipe"));
    QSocketNotifier stopNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, [&] {
        unsigned char signalNumber = 0;
        if (::read(g_signalPipe[0], &signalNumber, 1) != 1) return;
        front.Stop(signalNumber);
        run.DeleteTemporaryFile();
        rendering.LookAhead({});
        progress.EndLine();
        const int notDone = static_cast<int>(shard.size()) - front.endedCount();
        std::fprintf(stderr, "quendrel-batch: stopped by signal %d; %d entr%s not done:\n", signalNumber, notDone,
                     notDone == 1 ? "y" : "ies");
        for (int i = front.endedCount(); i < shard.size(); ++i)
            std::fprintf(stderr, "  %s\n", shard[i].toLocal8Bit().constData());
        std::fflush(nullptr);
        std::_Exit(128 + signalNumber);
    });
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);

    run.PushButton2_Click();
    progress.EndLine();
    return front.failedCount() > 0 ? 1 : 0;
}

}  // namespace quendrel

int main(int argc, char** argv) { return quendrel::RunBatch(argc, argv); }
