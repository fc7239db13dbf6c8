#include "site_list_handlers.h"

#include "form1.h"
#include "platform/platform.h"
#include "sitelist/site_list_view.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

namespace quendrel {

bool Form1ForSiteList::IsBusy() const { return form_.IsBusy(); }
void Form1ForSiteList::ShowHandPointer() { form_.setCursor(form_.customPointer); }
void Form1ForSiteList::ShowDefaultPointer() { form_.ShowDefaultPointer(); }

SiteListHandlers::SiteListHandlers(Form1& form, platform::Platform& platform, ErrorReport& report)
    : window(form),
      list(form.ListView1->entries()),
      // The hand over the six push buttons; the default pointer over the
      // window's background, its frames and the folder box.
      pointer(window,
              {form.PushButton1, form.PushButton2, form.PushButton3, form.PushButton4,
               form.PushButton6, form.PushButton7},
              {&form, form.Frame1, form.Frame2, form.Text1}),
      editing(*form.ListView1, window, list, platform.dialogs, report),
      drag(*form.ListView1, pointer, platform.desktop),
      import(list, platform.dialogs, platform.events, report),
      samples(list, report) {}

}  // namespace quendrel
