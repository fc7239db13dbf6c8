#pragma once
// Adding one typed address, removing the selected entry, clearing the list and
// adding dropped files. Removing and clearing are refused while a save run is
// busy; adding is not.
#include <QStringList>

namespace quendrel {

namespace platform { class Dialogs; }
class ErrorReport;
class SiteList;
class SiteListView;
class SiteListWindow;

class ListEditing {
public:
    // view: the list as shown, whose selected entry is removed; window: asked
    // whether a save run is busy.
    ListEditing(SiteListView& view, const SiteListWindow& window, SiteList& list,
                platform::Dialogs& dialogs, ErrorReport& report);

    // "Add Single Web Site URL": asks for an address and appends it as typed.
    void PushButton1_Click();
    // "Clear List": removes every entry without asking.
    void PushButton7_Click();
    // A double-click anywhere in the list, and the Delete key, remove the
    // selected entry without asking.
    void ListView1_DblClick() { RemoveSelectedEntry(); }
    void ListView1_KeyDown() { RemoveSelectedEntry(); }
    // Dropped files and folders: each full path becomes an entry, in drop order.
    void ListView1_OLEDragDrop(const QStringList& paths);

private:
    void RemoveSelectedEntry();

    SiteListView& view_;
    const SiteListWindow& window_;
    SiteList& list_;
    platform::Dialogs& dialogs_;
    ErrorReport& report_;
};

}  // namespace quendrel
