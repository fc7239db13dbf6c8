#pragma once
// The window's platform: the shared Linux components with the toolkit's
// message boxes and file choosers as its dialogs.
#include "platform/linux_platform.h"
#include "platform/qt_dialogs.h"

namespace quendrel {

struct LinuxPlatform {
    platform::QtDialogs dialogs;
    platform::LinuxPlatform parts{dialogs};
    platform::QtEventPump& events = parts.events;
    platform::Platform& platform = parts.platform;
};

}  // namespace quendrel
