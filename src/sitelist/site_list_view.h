#pragma once
// The site list on the main window: a one-column report view with a header.
// It reports the mouse, the Delete key and dropped files as signals and leaves
// what they do to the list's handlers.
#include "site_list_model.h"

#include <QStringList>
#include <QTreeView>

class QMimeData;

namespace quendrel {

class SiteListView : public QTreeView {
    Q_OBJECT
public:
    explicit SiteListView(QWidget* parent = nullptr);
    SiteListModel& entries() { return model_; }
    const SiteListModel& entries() const { return model_; }

    // The selected row, or -1.
    int selectedRow() const;
    void selectRow(int row);

    // Only a list of local files or folders may be dropped on the list.
    static bool OffersFileList(const QMimeData* data);
    // The full paths of the dropped items, in the order the data lists them.
    static QStringList DroppedPaths(const QMimeData* data);

signals:
    void listMouseDown();
    // A press landed on an entry, which is now the selected one.
    void entryClicked();
    // Every pointer move over the entries; position in the list's viewport and
    // the pointer's height on the screen.
    void listMouseMoved(QPoint position, int screenY);
    void listMouseUp();
    // A left double-click anywhere in the list, on an entry or below the last one.
    void listDoubleClicked();
    void deleteKeyPressed();
    void filesDropped(const QStringList& paths);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    SiteListModel model_;
};

}  // namespace quendrel
