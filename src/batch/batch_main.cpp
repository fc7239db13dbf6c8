// quendrel-batch: the save run of Quendrel's window, without a window. See
// BatchUsage() for the command line.
#include "batch_folder.h"
#include "batch_front_end.h"
#include "batch_list.h"
#include "batch_options.h"
#include "stderr_dialogs.h"

#include "common/error_report.h"
#include "common/product.h"
#include "common/saved_choices.h"
#include "common/settings_store.h"
#include "engine/chromium_process.h"
#include "pdfprinter/printer_names.h"
#include "platform/failure.h"
#include "platform/linux_platform.h"
#include "saverun/engine_rendering.h"
#include "saverun/printer_control.h"
#include "saverun/save_run.h"

#include <QGuiApplication>
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

void say(const QString& line) {
    std::fprintf(stderr, "quendrel-batch: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

int cannotStart(const QString& why) {
    say(why);
    return kCannotStart;
}

}  // namespace

int RunBatch(int argc, char** argv) {
    // The command line is checked first, and the list read whole, before any
    // setting is read or anything is started.
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    const ParsedBatchOptions parsed = ParseBatchOptions(arguments);
    if (!parsed.error.isEmpty()) return cannotStart(parsed.error + QStringLiteral(" (see --help)"));
    const BatchOptions& options = parsed.options;
    if (options.help) {
        std::fputs(BatchUsage().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (options.folder)
        if (const QString refusal = FolderRefusal(*options.folder); !refusal.isEmpty()) return cannotStart(refusal);
    const BatchList list = ReadBatchList(options.listFile);
    if (!list.error.isEmpty()) return cannotStart(list.error);
    const QStringList shard = ShardOf(list.entries, options.shard, options.shards);

    // Never a display, and no widgets: method 1's picture print draws off
    // screen. The toolkit is given none of the arguments, which are ours.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int toolkitArgc = 1;
    QGuiApplication app(toolkitArgc, argv);

    BatchProgress progress(stderr, ::isatty(STDERR_FILENO) == 1);
    StderrDialogs dialogs([&](const QString& line) { progress.Say(line); });
    platform::LinuxPlatform linux(dialogs);
    // Jobs go to the PDF printer by name: the user's default printer is never touched.
    linux.printers.setJobPrinter(QString::fromUtf8(marrowby::kPrinterName));

    // Then the settings: the method and the folder the window saved last.
    SettingsStore settings(linux.settings);
    int method = options.method.value_or(0);
    try {
        if (!options.method) method = SavedMethod(settings);
    } catch (const Failure& failure) {
        return cannotStart(QStringLiteral("the window's saved method cannot be read (%1); give --method")
                               .arg(failure.description()));
    }
    if (method == 0) method = 1;  // none saved as selected: the window's first
    QString folder = options.folder.value_or(QString());
    if (!options.folder) {
        const DefaultFolder chosen = ChooseDefaultFolder(SavedFolder(settings, linux.desktop.desktopFolder()));
        if (!chosen.note.isEmpty()) say(chosen.note);
        if (const QString refusal = FolderRefusal(chosen.path); !refusal.isEmpty()) return cannotStart(refusal);
        folder = chosen.path;
    }

    PrinterControl printer(linux.printers, linux.printerControl, dialogs, kProductName);
    if (!printer.isPdfPrinterPresent())
        return cannotStart(QStringLiteral("there is no printer \"%1\" (is the CUPS daemon running?)")
                               .arg(QString::fromUtf8(marrowby::kPrinterName)));
    if (engine::FindChromium().isEmpty())
        return cannotStart(QStringLiteral("the web engine is missing: install the package \"%1\"")
                               .arg(QString::fromUtf8(engine::kChromiumPackage)));
    if (shard.isEmpty()) return 0;  // nothing of the list is this machine's

    BatchFrontEnd front(shard, folder, method, options.skipExisting, stdout, progress);
    // No picture holder: method 1's picture is printed, never shown.
    EngineRendering rendering(linux.platform, {}, progress, [&] { return front.EntryCount(); });
    rendering.KeepConsentDialogs(options.keepConsentDialogs);  // the command line alone decides
    ErrorReport report(dialogs, kSupportAddress);
    SaveRun run({front, progress, printer, rendering, linux.printers, linux.events, report});

    // SIGINT and SIGTERM abandon the run and end the program: what the entry
    // in hand prepared is released, its picture or page copy removed; a PDF
    // is only ever written whole.
    if (::pipe2(g_signalPipe, O_CLOEXEC) != 0) return cannotStart(QStringLiteral("cannot make a pipe"));
    QSocketNotifier stopNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, [&] {
        unsigned char signalNumber = 0;
        if (::read(g_signalPipe[0], &signalNumber, 1) != 1) return;
        front.Stop(signalNumber);
        try {
            run.Abandon();
        } catch (const std::exception& failure) {
            progress.Say(QString::fromLocal8Bit(failure.what()));
        }
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
