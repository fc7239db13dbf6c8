#include "site_list_model.h"

namespace quendrel {

int SiteListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shown_;
}

QVariant SiteListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= shown_ || index.column() != 0) return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole) return textAt(index.row());
    return {};
}

QVariant SiteListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole) return header_;
    return {};
}

Qt::ItemFlags SiteListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void SiteListModel::setHeader(const QString& header) {
    header_ = header;
    emit headerDataChanged(Qt::Horizontal, 0, 0);
}

qint64 SiteListModel::updateIntervalMs() const {
    // About 40 ms for a short list, a quarter second at a million rows.
    return 40 + shown_ / 5000;
}

void SiteListModel::append(const QString& text) {
    entries_.push_back(text);
    if (pacing_ == 0 || !sinceShown_.isValid() || sinceShown_.elapsed() >= updateIntervalMs())
        showPending();
}

void SiteListModel::showPending() {
    sinceShown_.start();
    const int total = count();
    if (shown_ == total) return;
    beginInsertRows(QModelIndex(), shown_, total - 1);
    shown_ = total;
    endInsertRows();
}

void SiteListModel::setText(int row, const QString& text) {
    entries_[static_cast<size_t>(row)] = text;
    if (row >= shown_) return;
    const QModelIndex changed = index(row, 0);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
}

void SiteListModel::removeAt(int row) {
    if (row >= shown_) {
        entries_.erase(entries_.begin() + row);
        return;
    }
    beginRemoveRows(QModelIndex(), row, row);
    entries_.erase(entries_.begin() + row);
    --shown_;
    endRemoveRows();
}

void SiteListModel::clear() {
    beginResetModel();
    entries_.clear();
    entries_.shrink_to_fit();
    shown_ = 0;
    endResetModel();
}

SiteListModel::PacedDisplay::PacedDisplay(SiteListModel& model) : model_(model) {
    ++model_.pacing_;
}

SiteListModel::PacedDisplay::~PacedDisplay() {
    if (--model_.pacing_ == 0) model_.showPending();
}

}  // namespace quendrel
