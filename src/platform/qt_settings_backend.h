#pragma once
#include "settings_backend.h"

namespace quendrel::platform {

// QSettings, native format, user scope: organisation Marrowby, group Quendrel.
// Every write is synced to disk before it returns.
class QtSettingsBackend : public SettingsBackend {
public:
    std::optional<QString> read(const QString& key) override;
    void write(const QString& key, const QString& value) override;
};

}  // namespace quendrel::platform
