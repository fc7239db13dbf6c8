#pragma once
// The entries of the site list, in display order. The list view shows them;
// nothing else stores them.
//
// An entry is stored the moment it is appended. While a long import runs, the
// view is told about new entries at a paced rate instead of one by one: every
// notice makes the tree view lay out all its rows and repaint, which would cost
// milliseconds per line. Entries not yet shown are always the last ones, so a
// row the view knows is the same entry in the model.
#include <QAbstractListModel>
#include <QElapsedTimer>
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

    // Rows the view knows about; fewer than count() only while a paced
    // display is on and its next update is not yet due.
    int shownCount() const { return shown_; }
    // Tells the view about every stored entry now.
    void showPending();

    // Paces the view's updates for as long as it lives; nests.
    class PacedDisplay {
    public:
        explicit PacedDisplay(SiteListModel& model);
        ~PacedDisplay();
        PacedDisplay(const PacedDisplay&) = delete;
        PacedDisplay& operator=(const PacedDisplay&) = delete;

    private:
        SiteListModel& model_;
    };

private:
    // The pause between two updates grows with the rows the view must lay out
    // again, so the layout stays a small share of an import's time.
    qint64 updateIntervalMs() const;

    std::vector<QString> entries_;
    QString header_;
    int shown_ = 0;
    int pacing_ = 0;
    QElapsedTimer sinceShown_;
};

}  // namespace quendrel
