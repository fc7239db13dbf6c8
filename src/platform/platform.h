#pragma once
// The program's whole reach outside its own process, one interface per facility.
// The start-up code builds the Linux set (linux_platform.h); tests build fakes.
#include "desktop.h"
#include "dialogs.h"
#include "event_pump.h"
#include "print_system.h"
#include "printer_control_store.h"
#include "process_launcher.h"
#include "settings_backend.h"

namespace quendrel::platform {

struct Platform {
    Dialogs& dialogs;
    SettingsBackend& settings;
    Desktop& desktop;
    EventPump& events;
    PrintSystem& printers;
    PrinterControlStore& printerControl;
    ProcessLauncher& processes;
};

}  // namespace quendrel::platform
