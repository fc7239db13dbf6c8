#pragma once
// The per-user store of named text values (application Marrowby, section Quendrel).
#include <QString>
#include <optional>

namespace quendrel::platform {

class SettingsBackend {
public:
    virtual ~SettingsBackend() = default;
    // The stored text, or nothing when the key holds no value.
    virtual std::optional<QString> read(const QString& key) = 0;
    // Replaces the value and puts it on disk at once; throws Failure when it cannot.
    virtual void write(const QString& key, const QString& value) = 0;
};

}  // namespace quendrel::platform
