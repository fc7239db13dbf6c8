#pragma once
// Every box and dialog the program shows goes through this interface, so that
// tests can answer them.
#include <QString>
#include <QStringList>

class QWidget;

namespace quendrel::platform {

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A plain message: OK button, no icon. Lines are separated by CR LF.
    virtual void message(const QString& text, const QString& caption) = 0;
    // A message with the exclamation (warning) icon and an OK button.
    virtual void warning(const QString& text, const QString& caption) = 0;
    // The text-input box: OK and Cancel, empty input field. Cancel gives empty text.
    virtual QString inputText(const QString& prompt, const QString& caption) = 0;
    // Open-file dialog for one file. Filters are Qt name filters ("Text Files (*.txt)").
    // Gives the full path, or empty text on cancel.
    virtual QString openFileName(const QString& title, const QStringList& filters) = 0;
    // Folder chooser: folders only, start folder preselected when it exists.
    // Gives the full path, or empty text on cancel.
    virtual QString folderName(const QString& title, const QString& startFolder) = 0;
};

}  // namespace quendrel::platform
