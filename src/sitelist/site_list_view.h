#pragma once
// The site list on the main window: a one-column report view with a header.
#include "site_list_model.h"

#include <QTreeView>

namespace quendrel {

class SiteListView : public QTreeView {
    Q_OBJECT
public:
    explicit SiteListView(QWidget* parent = nullptr);
    SiteListModel& entries() { return model_; }
    const SiteListModel& entries() const { return model_; }

private:
    SiteListModel model_;
};

}  // namespace quendrel
