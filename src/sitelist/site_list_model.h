#pragma once
// The entries of the site list, in display order. The list view shows them;
// nothing else stores them.
#include <QAbstractListModel>
#include <QString>
#include <vector>

namespace quendrel {

class SiteListModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void setHeader(const QString& header);
    void append(const QString& text);
    void setText(int row, const QString& text);
    void removeAt(int row);
    void clear();
    const QString& textAt(int row) const { return entries_[static_cast<size_t>(row)]; }
    int count() const { return static_cast<int>(entries_.size()); }

private:
    std::vector<QString> entries_;
    QString header_;
};

}  // namespace quendrel
