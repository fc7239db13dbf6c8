#include "list_editing.h"

#include "common/app_title.h"
#include "common/error_trap.h"
#include "common/product.h"
#include "platform/dialogs.h"
#include "site_list.h"
#include "site_list_view.h"
#include "site_list_window.h"

namespace quendrel {

ListEditing::ListEditing(SiteListView& view, const SiteListWindow& window, SiteList& list,
                         platform::Dialogs& dialogs, ErrorReport& report)
    : view_(view), window_(window), list_(list), dialogs_(dialogs), report_(report) {}

void ListEditing::PushButton1_Click() {
    ErrorTrap trap(report_, HandlerLocation("PushButton1_Click"));
    QString address;
    trap.step(100, [&] {
        address = dialogs_.inputText(QStringLiteral("Enter website address to add: "), AppTitle());
    });
    if (trap.test(102, [&] { return address.isEmpty(); })) return;
    trap.step(104, [&] { list_.Append(address); });
}

void ListEditing::PushButton7_Click() {
    ErrorTrap trap(report_, HandlerLocation("PushButton7_Click"));
    if (trap.test(100, [&] { return !window_.IsBusy(); })) trap.step(100, [&] { list_.Clear(); });
}

void ListEditing::ListView1_OLEDragDrop(const QStringList& paths) {
    for (const QString& path : paths) list_.Append(path);
}

void ListEditing::RemoveSelectedEntry() {
    if (window_.IsBusy()) return;
    if (list_.Count() == 0) return;
    const int row = view_.selectedRow();
    if (row < 0) return;
    list_.RemoveAt(row + 1);
}

}  // namespace quendrel
