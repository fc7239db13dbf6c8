#include "file_helpers.h"

#include "platform/event_pump.h"
#include "platform/failure.h"

#include <QFile>
#include <QSaveFile>

namespace quendrel {

void WriteTextFile(const QByteArray& bytes, const QString& path) {
    // Written beside the target and renamed into place, so a failed write
    // never leaves half a page behind under the real name.
    QSaveFile file(path);
    // A folder that takes no new names still lets an existing file be rewritten.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        throw Failure(QStringLiteral("Cannot create the file %1: %2").arg(path, file.errorString()));
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw Failure(QStringLiteral("Cannot write the file %1: %2").arg(path, file.errorString()));
}

void DeleteFileQuietly(platform::EventPump& events, const QString& path) {
    events.processEvents();
    if (path.isEmpty()) return;
    QFile file(path);
    if (file.remove()) return;
    // Removing a name needs the folder's permission, not the file's, so a
    // read-only file usually goes at the first try; this covers file systems
    // that refuse to remove read-only files.
    if (!file.exists()) return;
    file.setPermissions(file.permissions() | QFileDevice::WriteOwner | QFileDevice::WriteUser);
    file.remove();
}

}  // namespace quendrel
