#pragma once
// Everything behind the site list and its buttons, made over one main window.
#include "list_drag_reorder.h"
#include "list_editing.h"
#include "list_file_import.h"
#include "pointer_feedback.h"
#include "sample_entries.h"
#include "site_list.h"

namespace quendrel {

namespace platform { struct Platform; }
class ErrorReport;
class Form1;

struct SiteListHandlers {
    SiteListHandlers(Form1& form, platform::Platform& platform, ErrorReport& report);

    SiteList list;
    PointerFeedback pointer;
    ListEditing editing;
    ListDragReorder drag;
    ListFileImport import;
    SampleEntries samples;
};

}  // namespace quendrel
