#pragma once
// Moving an entry by dragging it with a mouse button held: the entry's text is
// swapped with the entry the pointer reaches, one swap per move, so a slow
// movement walks it through the list.
#include <QCursor>
#include <QPersistentModelIndex>
#include <QPoint>
#include <QString>

namespace quendrel {

namespace platform { class Desktop; }
class PointerFeedback;
class SiteListView;

class ListDragReorder {
public:
    ListDragReorder(SiteListView& list, PointerFeedback& pointer, platform::Desktop& desktop);

    void ListView1_MouseDown();
    // A press on an entry: it becomes the dragged one, shown by the drag pointer.
    void ListView1_ItemClick();
    // position: in the list's viewport; screenY: the pointer's height on the screen.
    void ListView1_MouseMove(QPoint position, int screenY);
    void ListView1_MouseUp();

    bool ListMouseDown() const { return listMouseDown_; }
    // The entry that carries the dragged text; invalid when there is none or
    // it has been removed.
    const QPersistentModelIndex& ListDragItem() const { return listDragItem_; }

    // The pointer shown while dragging: "drag.ico" beside the program, read
    // afresh each time, or the closed hand when it is missing or unreadable.
    static QCursor DragPointer(const QString& programFolder);

    // Moves above this height on the screen scroll the entry above into view,
    // moves from the lower bound on the entry below.
    static constexpr int kScrollUpAbove = 305;
    static constexpr int kScrollDownFrom = 365;

private:
    SiteListView& list_;
    PointerFeedback& pointer_;
    platform::Desktop& desktop_;
    bool listMouseDown_ = false;
    QPersistentModelIndex listDragItem_;
};

}  // namespace quendrel
