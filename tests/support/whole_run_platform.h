#pragma once
// The platform of a whole save run in an end-to-end test: the real event
// pump, CUPS, printer control store and process launcher, with scripted
// dialogs, settings and desktop.
#include "platform/cups_print_system.h"
#include "platform/file_printer_control_store.h"
#include "platform/platform.h"
#include "platform/posix_process_launcher.h"
#include "platform/qt_event_pump.h"
#include "support/fake_platform.h"

namespace quendrel::testing {

struct WholeRunPlatform {
    FakeDialogs dialogs;
    FakeSettings settings;
    FakeDesktop desktop;
    platform::QtEventPump events;
    platform::CupsPrintSystem cups;
    platform::FilePrinterControlStore control;
    platform::PosixProcessLauncher processes;
    platform::Platform platform{dialogs, settings, desktop, events, cups, control, processes};
};

}  // namespace quendrel::testing
