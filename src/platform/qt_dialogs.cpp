#include "qt_dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>

namespace quendrel::platform {

QString QtDialogs::displayText(const QString& text) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

static void showBox(QWidget* owner, QMessageBox::Icon icon, const QString& text,
                    const QString& caption) {
    QMessageBox box(icon, caption, QtDialogs::displayText(text), QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void QtDialogs::message(const QString& text, const QString& caption) {
    showBox(owner_, QMessageBox::NoIcon, text, caption);
}

void QtDialogs::warning(const QString& text, const QString& caption) {
    showBox(owner_, QMessageBox::Warning, text, caption);
}

QString QtDialogs::inputText(const QString& prompt, const QString& caption) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(owner_, caption, prompt, QLineEdit::Normal, QString(), &ok);
    return ok ? text : QString();
}

QString QtDialogs::openFileName(const QString& title, const QStringList& filters) {
    // Qt's own dialog on every desktop: a native one may refuse a typed name
    // that does not exist, which the caller must see to answer it.
    QFileDialog dialog(owner_, title);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);  // a typed name that does not exist comes back as typed
    dialog.setNameFilters(filters);
    if (!filters.isEmpty()) dialog.selectNameFilter(filters.constFirst());
    if (dialog.exec() != QDialog::Accepted) return QString();
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.constFirst();
}

QString QtDialogs::folderName(const QString& title, const QString& startFolder) {
    QFileDialog dialog(owner_, title);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    const QFileInfo start(QDir::cleanPath(QFileInfo(startFolder).absoluteFilePath()));
    if (!startFolder.isEmpty() && start.isDir()) {
        // Opens in the folder above with the start folder selected, so that
        // accepting at once gives the start folder back.
        if (start.isRoot()) {
            dialog.setDirectory(start.absoluteFilePath());
        } else {
            dialog.setDirectory(start.absolutePath());
            dialog.selectFile(start.absoluteFilePath());
        }
    }
    if (dialog.exec() != QDialog::Accepted) return QString();
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.constFirst();
}

}  // namespace quendrel::platform
