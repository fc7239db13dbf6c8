#include "site_list_view.h"

#include <QHeaderView>

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
}

}  // namespace quendrel
