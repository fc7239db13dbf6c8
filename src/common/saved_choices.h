#pragma once
// The user's choices that the window keeps between starts: each one's key in
// the settings store, and the reading of the saved folder and method, which
// the window's start-up and the command line share.
#include <QString>

namespace quendrel {

class SettingsStore;

// The output folder, exactly as the folder box holds it.
inline const QString kFolderKey = QStringLiteral("Folder");
// The folder last chosen in the folder browser, as the browser gave it.
inline const QString kLastFolderDotKey = QStringLiteral("LastFolderDot");
// "True" when consent dialogs are printed as they show instead of refused or
// removed; the window has no control for it.
inline const QString kKeepConsentDialogsKey = QStringLiteral("KeepConsentDialogs");
// "Option1" to "Option3": "True" when that method is the selected one.
QString MethodOptionKey(int method);

// The saved output folder; the default folder when none was ever saved (an
// empty one that was saved stays empty).
QString SavedFolder(SettingsStore& settings, const QString& defaultFolder);
// Whether method 1, 2 or 3 was selected; with nothing saved, method 1 is.
// Throws Failure ("Type mismatch") on a value that is neither "True",
// "False" nor a number.
bool SavedOption(SettingsStore& settings, int method);
// The first method saved as selected; 0 when none is. Throws as SavedOption.
int SavedMethod(SettingsStore& settings);
// Saves which of the three methods is selected, in the order of the keys.
void SaveOptions(SettingsStore& settings, bool method1, bool method2, bool method3);

}  // namespace quendrel
