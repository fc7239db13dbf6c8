#pragma once
// Writing a downloaded page to disk and removing a run's temporary files.
#include <QByteArray>
#include <QString>

namespace quendrel {

namespace platform {
class EventPump;
}

// Creates the file or replaces it, holding exactly these bytes and nothing
// more. Throws Failure when the file cannot be written (no such folder, a
// name the file system refuses, no permission).
void WriteTextFile(const QByteArray& bytes, const QString& path);

// Handles pending window events once, then removes the file. A file that
// cannot be removed at first (read-only, for one) is made writable and
// removed again. Never fails and never reports; a file that stays is left.
void DeleteFileQuietly(platform::EventPump& events, const QString& path);

}  // namespace quendrel
