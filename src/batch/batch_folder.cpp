#include "batch_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace quendrel {

QString FolderRefusal(const QString& folder) {
    const QFileInfo info(folder);
    if (!info.exists()) return QStringLiteral("the folder \"%1\" does not exist").arg(folder);
    if (!info.isDir()) return QStringLiteral("\"%1\" is not a folder").arg(folder);
    // Creating a file needs both: writing the folder and passing through it.
    if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0)
        return QStringLiteral("the folder \"%1\" cannot be written into: %2")
            .arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
    return {};
}

DefaultFolder ChooseDefaultFolder(const QString& savedFolder) {
    if (!savedFolder.isEmpty() && QFileInfo(savedFolder).isDir()) return {savedFolder, {}};
    const QString current = QDir::currentPath();
    const QString saved = savedFolder.isEmpty() ? QStringLiteral("the window's folder is not set")
                                                : QStringLiteral("the window's folder \"%1\" does not exist").arg(savedFolder);
    return {current, QStringLiteral("%1; the PDF files go into the current directory, \"%2\".").arg(saved, current)};
}

}  // namespace quendrel
