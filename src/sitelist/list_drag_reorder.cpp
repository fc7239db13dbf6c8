#include "list_drag_reorder.h"

#include "common/pointer_image.h"
#include "platform/desktop.h"
#include "pointer_feedback.h"
#include "site_list_view.h"

namespace quendrel {

ListDragReorder::ListDragReorder(SiteListView& list, PointerFeedback& pointer,
                                 platform::Desktop& desktop)
    : list_(list), pointer_(pointer), desktop_(desktop) {}

QCursor ListDragReorder::DragPointer(const QString& programFolder) {
    try {
        return LoadPointer(programFolder + QStringLiteral("/drag.ico"));
    } catch (const std::exception&) {
        return QCursor(Qt::ClosedHandCursor);
    }
}

void ListDragReorder::ListView1_MouseDown() { listMouseDown_ = true; }

void ListDragReorder::ListView1_ItemClick() {
    list_.viewport()->setCursor(DragPointer(desktop_.programFolder()));
    list_.setDragEnabled(false);
    const int selected = list_.selectedRow();
    listDragItem_ = selected < 0 ? QPersistentModelIndex()
                                 : QPersistentModelIndex(list_.entries().index(selected, 0));
}

void ListDragReorder::ListView1_MouseMove(QPoint position, int screenY) {
    pointer_.ShowDefaultPointer();
    if (!listMouseDown_) return;
    const QModelIndex under = list_.indexAt(position);
    if (!under.isValid() || !listDragItem_.isValid()) return;
    SiteListModel& entries = list_.entries();
    const int from = listDragItem_.row();
    const int to = under.row();
    const QString dragged = entries.textAt(from);
    if (entries.textAt(to) == dragged) return;

    entries.setText(from, entries.textAt(to));
    entries.setText(to, dragged);
    list_.selectRow(to);
    listDragItem_ = QPersistentModelIndex(under);

    if (screenY < kScrollUpAbove && to > 0)
        list_.scrollTo(entries.index(to - 1, 0));
    else if (screenY >= kScrollDownFrom && to < entries.shownCount() - 1)
        list_.scrollTo(entries.index(to + 1, 0));
}

void ListDragReorder::ListView1_MouseUp() {
    listMouseDown_ = false;
    // Back to the pointer of the window: the arrow, or the hourglass of a run.
    list_.viewport()->unsetCursor();
}

}  // namespace quendrel
