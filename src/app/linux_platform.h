#pragma once
// The real components behind every platform interface.
#include "platform/cups_print_system.h"
#include "platform/file_printer_control_store.h"
#include "platform/linux_desktop.h"
#include "platform/platform.h"
#include "platform/posix_process_launcher.h"
#include "platform/qt_dialogs.h"
#include "platform/qt_event_pump.h"
#include "platform/qt_settings_backend.h"

namespace quendrel {

struct LinuxPlatform {
    platform::QtDialogs dialogs;
    platform::QtSettingsBackend settings;
    platform::LinuxDesktop desktop;
    platform::QtEventPump events;
    platform::CupsPrintSystem printers;
    platform::FilePrinterControlStore printerControl;
    platform::PosixProcessLauncher processes;
    platform::Platform platform{dialogs, settings, desktop, events, printers, printerControl, processes};
};

}  // namespace quendrel
