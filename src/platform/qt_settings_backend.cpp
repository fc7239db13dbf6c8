#include "qt_settings_backend.h"

#include "failure.h"

#include <QSettings>

namespace quendrel::platform {

namespace {
const QString kOrganisation = QStringLiteral("Marrowby");
const QString kGroup = QStringLiteral("Quendrel");

QString fullKey(const QString& key) { return kGroup + QLatin1Char('/') + key; }
}  // namespace

std::optional<QString> QtSettingsBackend::read(const QString& key) {
    // A settings file that cannot be read or parsed reads as empty: every key
    // then gives its default.
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, kOrganisation,
                       QStringLiteral("Quendrel"));
    if (settings.status() != QSettings::NoError) return std::nullopt;
    const QVariant value = settings.value(fullKey(key));
    if (!value.isValid()) return std::nullopt;
    if (value.canConvert<QString>()) return value.toString();
    return std::nullopt;
}

void QtSettingsBackend::write(const QString& key, const QString& value) {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, kOrganisation,
                       QStringLiteral("Quendrel"));
    if (settings.status() == QSettings::FormatError)
        throw Failure(QStringLiteral("The settings file %1 is damaged").arg(settings.fileName()));
    settings.setValue(fullKey(key), value);
    settings.sync();
    if (settings.status() != QSettings::NoError || !settings.isWritable())
        throw Failure(QStringLiteral("Cannot write the setting %1 to %2")
                          .arg(key, settings.fileName()));
}

}  // namespace quendrel::platform
