#include "file_printer_control_store.h"

#include "pdfprinter/control_values.h"

#include <QDir>
#include <cerrno>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace quendrel::platform {
namespace {

std::string accountHomeFolder() {
    long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(hint > 0 ? static_cast<std::size_t>(hint) : 16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    int rc = 0;
    while ((rc = ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found)) == ERANGE)
        buffer.resize(buffer.size() * 2);
    if (rc == 0 && found && found->pw_dir && found->pw_dir[0] == '/') return found->pw_dir;
    // An account the database does not know cannot print through the backend
    // anyway; $HOME keeps the values somewhere sensible.
    return QDir::homePath().toStdString();
}

}  // namespace

FilePrinterControlStore::FilePrinterControlStore() : home_(accountHomeFolder()) {}

FilePrinterControlStore::FilePrinterControlStore(const QString& homeFolder)
    : home_(homeFolder.toStdString()) {}

bool FilePrinterControlStore::write(const QString& name, const QString& value) {
    return marrowby::writeControlValue(home_, name.toStdString(), value.toStdString()).empty();
}

}  // namespace quendrel::platform
