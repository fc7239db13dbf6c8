// The window's file chooser for a list: Qt's own dialog with the import's
// title and filters.
#include "app/every_file_pattern.h"
#include "platform/qt_dialogs.h"
#include "sitelist/list_file_import.h"

#include <QAbstractProxyModel>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <functional>

namespace quendrel {
namespace {

// The real chooser: Qt's own dialog with the title and filters, returning a
// typed name that does not exist as it was typed, and nothing on cancel.
class QtOpenFileDialogTest : public ::testing::Test {
protected:
    platform::QtDialogs dialogs;
    QTemporaryDir dir;

    QString runWith(std::function<void(QFileDialog&)> act) {
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            act(*dialog);
        });
        return dialogs.openFileName(QStringLiteral("Add File(s) - Use Ctrl & Shift to select multiple files"),
                                    ListFileImport::kFilters);
    }
    void makeFiles(const QStringList& names) {
        for (const QString& name : names) {
            QFile file(dir.filePath(name));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
    }
    // The files the dialog lists in the folder it shows, with "-" before
    // those that cannot be chosen.
    static QStringList listed(QFileDialog& dialog, const QString& folder) {
        QAbstractProxyModel* shown = dialog.proxyModel();
        auto* files = qobject_cast<QFileSystemModel*>(shown->sourceModel());
        const QModelIndex root = shown->mapFromSource(files->index(folder));
        QStringList names;
        for (int row = 0; row < shown->rowCount(root); ++row) {
            const QModelIndex entry = shown->index(row, 0, root);
            names << (shown->flags(entry).testFlag(Qt::ItemIsEnabled) ? QString() : QStringLiteral("-")) +
                         entry.data().toString();
        }
        names.sort();
        return names;
    }
};

TEST_F(QtOpenFileDialogTest, ShowsTheTitleAndFiltersAndGivesATypedMissingName) {
    const QString missing = dir.filePath(QStringLiteral("not-there.txt"));
    const QString chosen = runWith([&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Add File(s) - Use Ctrl & Shift to select multiple files"));
        EXPECT_EQ(dialog.nameFilters(), (QStringList{"Text Files (*.txt)", "All Files (*.*)"}));
        EXPECT_EQ(dialog.selectedNameFilter(), QStringLiteral("Text Files (*.txt)"));
        EXPECT_EQ(dialog.fileMode(), QFileDialog::AnyFile);
        EXPECT_TRUE(dialog.isModal());
        dialog.selectFile(missing);
        static_cast<QDialog&>(dialog).accept();  // as the Open button does
    });
    EXPECT_EQ(chosen, missing);
}

TEST_F(QtOpenFileDialogTest, CancelGivesNothing) {
    EXPECT_EQ(runWith([](QFileDialog& dialog) { dialog.reject(); }), QString());
}

TEST_F(QtOpenFileDialogTest, AllFilesListsEveryFileAlsoWithoutADotAndTextFilesOnlyTextFiles) {
    EveryFilePattern everyFile;
    qApp->installEventFilter(&everyFile);
    makeFiles({"sites", "list.txt", "notes.md"});
    runWith([&](QFileDialog& dialog) {
        dialog.setDirectory(dir.path());
        auto* files = qobject_cast<QFileSystemModel*>(dialog.proxyModel() ? dialog.proxyModel()->sourceModel() : nullptr);
        ASSERT_NE(files, nullptr) << "no file model between the dialog and its views";
        for (int waited = 0; files->rowCount(files->index(dir.path())) < 3 && waited < 5000; waited += 20)
            QTest::qWait(20);  // the model reads the folder in the background
        EXPECT_EQ(listed(dialog, dir.path()), (QStringList{"list.txt"}));
        // The user picks the second filter.
        auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        ASSERT_NE(types, nullptr);
        QTest::keyClick(types, Qt::Key_Down);
        EXPECT_EQ(dialog.selectedNameFilter(), QStringLiteral("All Files (*.*)"));
        EXPECT_EQ(listed(dialog, dir.path()), (QStringList{"list.txt", "notes.md", "sites"}));
        dialog.reject();
    });
}

}  // namespace
}  // namespace quendrel
