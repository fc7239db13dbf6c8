#pragma once
// The real components behind every platform interface but the dialogs, which
// each front end brings: the window's message boxes, or the command line's
// lines on standard error.
#include "cups_print_system.h"
#include "file_printer_control_store.h"
#include "linux_desktop.h"
#include "platform.h"
#include "posix_process_launcher.h"
#include "qt_event_pump.h"
#include "qt_settings_backend.h"

namespace quendrel::platform {

struct LinuxPlatform {
    explicit LinuxPlatform(Dialogs& dialogs)
        : platform{dialogs, settings, desktop, events, printers, printerControl, processes} {}
    LinuxPlatform(const LinuxPlatform&) = delete;
    LinuxPlatform& operator=(const LinuxPlatform&) = delete;

    QtSettingsBackend settings;
    LinuxDesktop desktop;
    QtEventPump events;
    CupsPrintSystem printers;
    FilePrinterControlStore printerControl;
    PosixProcessLauncher processes;
    Platform platform;  // last: it refers to the members above
};

}  // namespace quendrel::platform
