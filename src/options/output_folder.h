#pragma once
// "...": choosing the output folder with the folder chooser. The chosen folder
// goes into the folder box with one trailing separator; the chooser opens next
// time where it was last left ("LastFolderDot"), whatever the box holds.
#include <QString>

class QLineEdit;

namespace quendrel {

namespace platform { class Dialogs; }
class ErrorReport;
class SettingsStore;

class OutputFolder {
public:
    // Every change of the box's text is written to "Folder" from now on.
    OutputFolder(QLineEdit& folderBox, platform::Dialogs& dialogs, SettingsStore& settings,
                 ErrorReport& report);

    void PushButton3_Click();

private:
    QLineEdit& text1_;
    platform::Dialogs& dialogs_;
    SettingsStore& settings_;
    ErrorReport& report_;
};

}  // namespace quendrel
