#include "every_file_pattern.h"

#include <QEvent>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QRegularExpression>
#include <QSortFilterProxyModel>
#include <algorithm>

namespace quendrel {

namespace {

const QString kEveryFile = QStringLiteral("*.*");

// The patterns of a name filter: the blank-separated words inside its last
// parentheses ("All Files (*.*)" has "*.*"), or the whole text without any.
QStringList patternsOf(const QString& nameFilter) {
    static const QRegularExpression last(QStringLiteral("\\(([^()]*)\\)\\s*$"));
    const QRegularExpressionMatch match = last.match(nameFilter);
    return (match.hasMatch() ? match.captured(1) : nameFilter).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// Between the dialog's file model and its views. The model keeps the files its
// name filter does not match, marked disabled; this hides them, as the dialog
// does by itself, unless the chosen filter holds "*.*": then every file shows
// and can be chosen.
class EveryFileProxy : public QSortFilterProxyModel {
public:
    explicit EveryFileProxy(QFileDialog& dialog) : QSortFilterProxyModel(&dialog), dialog_(dialog) {
        connect(&dialog, &QFileDialog::filterSelected, this, [this] { invalidateFilter(); });
    }

    void setSourceModel(QAbstractItemModel* model) override {
        files_ = qobject_cast<QFileSystemModel*>(model);
        if (files_) files_->setNameFilterDisables(true);
        QSortFilterProxyModel::setSourceModel(model);
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        const Qt::ItemFlags flags = QSortFilterProxyModel::flags(index);
        return everyFile() ? flags | Qt::ItemIsEnabled | Qt::ItemIsSelectable : flags;
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        if (!files_ || everyFile()) return true;
        return files_->flags(files_->index(row, 0, parent)).testFlag(Qt::ItemIsEnabled);
    }

private:
    bool everyFile() const { return patternsOf(dialog_.selectedNameFilter()).contains(kEveryFile); }

    QFileDialog& dialog_;
    QFileSystemModel* files_ = nullptr;
};

}  // namespace

bool EveryFilePattern::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Show) return false;
    auto* dialog = qobject_cast<QFileDialog*>(watched);
    if (!dialog || dialog->acceptMode() != QFileDialog::AcceptOpen || dialog->proxyModel()) return false;
    const QStringList filters = dialog->nameFilters();
    if (std::any_of(filters.begin(), filters.end(),
                    [](const QString& filter) { return patternsOf(filter).contains(kEveryFile); }))
        dialog->setProxyModel(new EveryFileProxy(*dialog));
    return false;
}

}  // namespace quendrel
