#include "pdfprinter/control_values.h"

#include "pdfprinter/file_io.h"
#include "pdfprinter/printer_names.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace marrowby {
namespace {

// A value is never longer than this; a longer file is not one we wrote.
constexpr std::size_t kMaxValueBytes = 64 * 1024;

bool isValidName(std::string_view name) {
    if (name.empty() || name.size() > 64) return false;
    for (char c : name) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (!ok) return false;
    }
    return true;
}

std::string makePrivateFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) == 0) return {};
    const int err = errno;
    struct stat st {};
    if (err == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return {};
    return "cannot create the folder " + quoted(path) + ": " + std::strerror(err == EEXIST ? ENOTDIR : err);
}

}  // namespace

std::string controlFolder(const std::string& home) {
    return home + "/.config/" + kPrinterName;
}

namespace {

ControlValue unreadable(std::string error) {
    ControlValue result;
    result.status = ControlValue::Unreadable;
    result.error = std::move(error);
    return result;
}

// Reads the value file at `path`: a plain file of at most kMaxValueBytes
// without NUL. A FIFO or device there is never waited on.
ControlValue readValueFile(const std::string& path) {
    ControlValue result;
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd.valid()) {
        if (errno == ENOENT || errno == ENOTDIR) return result;  // Missing
        return unreadable("cannot open " + quoted(path) + ": " + std::strerror(errno));
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return unreadable(quoted(path) + " is not a plain file");
    std::string text;
    std::string readError;
    if (!readUpTo(fd.get(), kMaxValueBytes + 1, text, readError))
        return unreadable("cannot read " + quoted(path) + ": " + readError);
    if (text.size() > kMaxValueBytes || text.find('\0') != std::string::npos)
        return unreadable(quoted(path) + " does not hold a value");
    result.status = ControlValue::Found;
    result.text = std::move(text);
    result.writtenAt = st.st_mtim.tv_sec;
    return result;
}

}  // namespace

std::string whyControlFolderIsNotPrivate(const std::string& home) {
    const std::string folder = controlFolder(home);
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) return "cannot reach " + quoted(folder) + ": " + std::strerror(errno);
    if (st.st_uid != ::geteuid()) return quoted(folder) + " belongs to another account";
    if (st.st_mode & (S_IWGRP | S_IWOTH)) return "others may write in " + quoted(folder);
    return {};
}

ControlValue readControlValue(const std::string& home, std::string_view name) {
    if (home.empty() || !isValidName(name)) return unreadable("no home folder or an invalid value name");
    return readValueFile(controlFolder(home) + "/" + std::string(name));
}

ControlValue takeControlValue(const std::string& home, std::string_view name) {
    if (home.empty() || !isValidName(name)) return unreadable("no home folder or an invalid value name");
    const std::string folder = controlFolder(home);
    const std::string path = folder + "/" + std::string(name);
    // The rename is the claim: of several jobs racing for one written value
    // exactly one moves it away; the others find nothing.
    const std::string taken = folder + "/." + std::string(name) + ".taken-" + randomHexSuffix();
    if (::rename(path.c_str(), taken.c_str()) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return {};  // Missing
        return unreadable("cannot take " + quoted(path) + ": " + std::strerror(errno));
    }
    ControlValue value = readValueFile(taken);
    ::unlink(taken.c_str());
    if (value.status == ControlValue::Missing) return unreadable(quoted(path) + " vanished while it was taken");
    return value;
}

std::string writeControlValue(const std::string& home, std::string_view name, std::string_view value) {
    if (home.empty()) return "no home folder";
    if (!isValidName(name)) return "invalid value name";
    if (value.find('\0') != std::string_view::npos) return "a value cannot hold a NUL character";
    if (value.size() > kMaxValueBytes) return "the value is too long";

    const std::string configFolder = home + "/.config";
    if (std::string error = makePrivateFolder(configFolder); !error.empty()) return error;
    const std::string folder = controlFolder(home);
    if (std::string error = makePrivateFolder(folder); !error.empty()) return error;

    std::string tempPath = folder + "/." + std::string(name) + ".XXXXXX";
    FileDescriptor fd(::mkostemp(tempPath.data(), O_CLOEXEC));
    if (!fd.valid()) return "cannot create a file in " + quoted(folder) + ": " + std::strerror(errno);
    TemporaryFile temp(tempPath);

    std::string error;
    if (!writeAll(fd.get(), value.data(), value.size(), error) || !syncAndClose(fd, error))
        return "cannot write " + quoted(tempPath) + ": " + error;
    const std::string path = folder + "/" + std::string(name);
    if (::rename(tempPath.c_str(), path.c_str()) != 0)
        return "cannot replace " + quoted(path) + ": " + std::strerror(errno);
    temp.release();
    syncFolder(folder);
    return {};
}

}  // namespace marrowby
