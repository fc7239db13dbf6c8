#include "qt_dialogs.h"

#include <QFileDialog>
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
    QFileDialog dialog(owner_, title);
    dialog.setFileMode(QFileDialog::AnyFile);  // a typed name that does not exist comes back as typed
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilters(filters);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

QString QtDialogs::folderName(const QString& title, const QString& startFolder) {
    QFileDialog dialog(owner_, title);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (!startFolder.isEmpty()) dialog.selectFile(startFolder);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

}  // namespace quendrel::platform
