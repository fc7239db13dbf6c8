#include "saved_choices.h"

#include "settings_store.h"

namespace quendrel {

QString MethodOptionKey(int method) { return QStringLiteral("Option%1").arg(method); }

QString SavedFolder(SettingsStore& settings, const QString& defaultFolder) {
    return settings.ReadSetting(kFolderKey, defaultFolder);
}

bool SavedOption(SettingsStore& settings, int method) {
    // The defaults are numbers, as the window's layout has them: 1 selected.
    const QString defaultValue = method == 1 ? QStringLiteral("1") : QStringLiteral("0");
    return TextToBoolean(settings.ReadSetting(MethodOptionKey(method), defaultValue));
}

int SavedMethod(SettingsStore& settings) {
    for (int method = 1; method <= 3; ++method)
        if (SavedOption(settings, method)) return method;
    return 0;
}

void SaveOptions(SettingsStore& settings, bool method1, bool method2, bool method3) {
    settings.WriteSetting(MethodOptionKey(1), BooleanText(method1));
    settings.WriteSetting(MethodOptionKey(2), BooleanText(method2));
    settings.WriteSetting(MethodOptionKey(3), BooleanText(method3));
}

}  // namespace quendrel
