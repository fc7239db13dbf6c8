#include "settings_store.h"

#include "platform/failure.h"

namespace quendrel {

QString SettingsStore::ReadSetting(const QString& key, const QString& defaultValue) {
    return backend_.read(key).value_or(defaultValue);
}

void SettingsStore::WriteSetting(const QString& key, const QString& value) {
    backend_.write(key, value);
}

QString BooleanText(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

bool TextToBoolean(const QString& text) {
    if (text.compare(QStringLiteral("True"), Qt::CaseInsensitive) == 0) return true;
    if (text.compare(QStringLiteral("False"), Qt::CaseInsensitive) == 0) return false;
    bool isNumber = false;
    const double number = text.trimmed().toDouble(&isNumber);
    if (!isNumber) throw Failure(QStringLiteral("Type mismatch"));
    return number != 0.0;
}

}  // namespace quendrel
