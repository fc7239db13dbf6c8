#pragma once
// The folder a command-line run writes its PDFs into.
#include <QString>

namespace quendrel {

// Why the run's PDFs cannot go into the folder, as a line that names it;
// empty when they can: it exists, is a folder, and the user may create files
// in it.
QString FolderRefusal(const QString& folder);

struct DefaultFolder {
    QString path;
    QString note;  // said on standard error when the window's folder is not used
};

// Without --folder: the window's saved folder when it is a folder, else the
// current directory, as command-line tools do.
DefaultFolder ChooseDefaultFolder(const QString& savedFolder);

}  // namespace quendrel
