#pragma once
#include "dialogs.h"

#include <QPointer>
#include <QWidget>

namespace quendrel::platform {

// Qt's message boxes, input dialog and file dialogs, modal to the main window.
class QtDialogs : public Dialogs {
public:
    void setOwner(QWidget* owner) { owner_ = owner; }
    void message(const QString& text, const QString& caption) override;
    void warning(const QString& text, const QString& caption) override;
    QString inputText(const QString& prompt, const QString& caption) override;
    QString openFileName(const QString& title, const QStringList& filters) override;
    QString folderName(const QString& title, const QString& startFolder) override;

    // Message texts separate lines with CR LF, or CR alone; a label wants LF.
    static QString displayText(const QString& text);

private:
    QPointer<QWidget> owner_;
};

}  // namespace quendrel::platform
