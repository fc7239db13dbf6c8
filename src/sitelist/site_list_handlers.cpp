// Compiled into quendrel_core (src/app/CMakeLists.txt).
#include "site_list_handlers.h"

#include "app/form1.h"
#include "platform/platform.h"
#include "site_list_view.h"

namespace quendrel {

SiteListHandlers::SiteListHandlers(Form1& form, platform::Platform& platform, ErrorReport& report)
    : list(form.ListView1->entries()),
      pointer(form),
      editing(form, list, platform.dialogs, report),
      drag(*form.ListView1, pointer, platform.desktop),
      import(list, platform.dialogs, platform.events, report),
      samples(list, report) {}

}  // namespace quendrel
