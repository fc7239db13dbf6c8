#pragma once
// Whether a file is there, as the start-up and the list import ask it.
#include <QString>

namespace quendrel {

// True when the file system can say when the path last changed; never fails.
bool FileExists(const QString& path);

}  // namespace quendrel
