#include "site_list_model.h"

namespace quendrel {

int SiteListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant SiteListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= count() || index.column() != 0) return {};
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

void SiteListModel::append(const QString& text) {
    const int row = count();
    beginInsertRows(QModelIndex(), row, row);
    entries_.push_back(text);
    endInsertRows();
}

void SiteListModel::setText(int row, const QString& text) {
    entries_[static_cast<size_t>(row)] = text;
    const QModelIndex changed = index(row, 0);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
}

void SiteListModel::removeAt(int row) {
    beginRemoveRows(QModelIndex(), row, row);
    entries_.erase(entries_.begin() + row);
    endRemoveRows();
}

void SiteListModel::clear() {
    beginResetModel();
    entries_.clear();
    entries_.shrink_to_fit();
    endResetModel();
}

}  // namespace quendrel
