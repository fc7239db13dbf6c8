#pragma once
// The program's per-user settings, every read from the store, every write on
// disk at once.
#include "platform/settings_backend.h"

#include <QString>

namespace quendrel {

class SettingsStore {
public:
    explicit SettingsStore(platform::SettingsBackend& backend) : backend_(backend) {}
    QString ReadSetting(const QString& key, const QString& defaultValue);
    void WriteSetting(const QString& key, const QString& value);

private:
    platform::SettingsBackend& backend_;
};

// "True" or "False".
QString BooleanText(bool value);
// "True"/"False" in any letter case, or a number (0 false, any other true).
// Anything else throws Failure "Type mismatch".
bool TextToBoolean(const QString& text);

}  // namespace quendrel
