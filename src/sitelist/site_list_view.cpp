#include "site_list_view.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

namespace quendrel {

SiteListView::SiteListView(QWidget* parent) : QTreeView(parent), model_(this) {
    setModel(&model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);  // keeps a list of a million entries fast
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->setStretchLastSection(false);
    // Entries are moved by the list's own swaps, never by a drag transfer;
    // files come in by drops, which the events below judge.
    setDragEnabled(false);
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    viewport()->setMouseTracking(true);
}

int SiteListView::selectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.constFirst().row();
}

void SiteListView::selectRow(int row) {
    selectionModel()->setCurrentIndex(model_.index(row, 0),
                                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

bool SiteListView::OffersFileList(const QMimeData* data) {
    if (!data || !data->hasUrls()) return false;
    const QList<QUrl> urls = data->urls();
    if (urls.isEmpty()) return false;
    for (const QUrl& url : urls)
        if (!url.isLocalFile()) return false;
    return true;
}

QStringList SiteListView::DroppedPaths(const QMimeData* data) {
    QStringList paths;
    for (const QUrl& url : data->urls()) paths.append(url.toLocalFile());
    return paths;
}

void SiteListView::mousePressEvent(QMouseEvent* event) {
    emit listMouseDown();
    if (!indexAt(event->position().toPoint()).isValid()) {
        // A press below the entries keeps the selected entry: the first press
        // of a double-click there must leave it for the double-click to remove.
        event->accept();
        setFocus(Qt::MouseFocusReason);
        return;
    }
    QTreeView::mousePressEvent(event);
    emit entryClicked();
}

void SiteListView::mouseMoveEvent(QMouseEvent* event) {
    // With a button held the handlers move the entry; the view's own
    // rubber-band selection would fight them.
    if (event->buttons() == Qt::NoButton) QTreeView::mouseMoveEvent(event);
    emit listMouseMoved(event->position().toPoint(), qRound(event->globalPosition().y()));
}

void SiteListView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    emit listMouseUp();
}

void SiteListView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QTreeView::mouseDoubleClickEvent(event);
        return;
    }
    event->accept();
    emit listDoubleClicked();
}

void SiteListView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete) {
        event->accept();
        emit deleteKeyPressed();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void SiteListView::dragEnterEvent(QDragEnterEvent* event) {
    if (OffersFileList(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void SiteListView::dragMoveEvent(QDragMoveEvent* event) {
    if (OffersFileList(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void SiteListView::dropEvent(QDropEvent* event) {
    if (!OffersFileList(event->mimeData())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    emit filesDropped(DroppedPaths(event->mimeData()));
}

}  // namespace quendrel
