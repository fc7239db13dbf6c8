#pragma once
// Everything behind the site list and its buttons, made over one main window:
// the window hands each handler the controls and the busy flag it needs.
#include "sitelist/list_drag_reorder.h"
#include "sitelist/list_editing.h"
#include "sitelist/list_file_import.h"
#include "sitelist/pointer_feedback.h"
#include "sitelist/sample_entries.h"
#include "sitelist/site_list.h"
#include "sitelist/site_list_window.h"

namespace quendrel {

namespace platform { struct Platform; }
class ErrorReport;
class Form1;

// The main window as the site list sees it.
class Form1ForSiteList : public SiteListWindow {
public:
    explicit Form1ForSiteList(Form1& form) : form_(form) {}
    bool IsBusy() const override;
    void ShowHandPointer() override;
    void ShowDefaultPointer() override;

private:
    Form1& form_;
};

struct SiteListHandlers {
    SiteListHandlers(Form1& form, platform::Platform& platform, ErrorReport& report);

    Form1ForSiteList window;
    SiteList list;
    PointerFeedback pointer;
    ListEditing editing;
    ListDragReorder drag;
    ListFileImport import;
    SampleEntries samples;
};

}  // namespace quendrel
