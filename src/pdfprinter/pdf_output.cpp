#include "pdfprinter/pdf_output.h"

#include "pdfprinter/file_io.h"
#include "pdfprinter/job_file_name.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace marrowby {
namespace {

constexpr std::size_t kStartBytes = 1024;
constexpr int kMaxNumberedNames = 999;

std::string folderProblem(const std::string& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) {
        if (errno == ENOENT) return "the folder " + quoted(folder) + " does not exist";
        return "cannot reach the folder " + quoted(folder) + ": " + std::strerror(errno);
    }
    if (!S_ISDIR(st.st_mode)) return quoted(folder) + " is not a folder";
    return {};
}

// Writes the whole job into a new temporary file in `folder`: mode 0644 less
// the umask, or `keptMode` exactly.
std::optional<TemporaryFile> writeTemporary(JobInput& job, const std::string& folder,
                                            std::optional<mode_t> keptMode, std::string& error) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        const std::string path = (folder == "/" ? "" : folder) + "/.marrowby-" + randomHexSuffix() + ".part";
        FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644));
        if (!fd.valid()) {
            if (errno == EEXIST) continue;
            error = "cannot write into the folder " + quoted(folder) + ": " + std::strerror(errno);
            return std::nullopt;
        }
        std::optional<TemporaryFile> temp(std::in_place, path);
        std::string ioError;
        if (keptMode && ::fchmod(fd.get(), *keptMode) != 0) ioError = std::strerror(errno);
        if (!ioError.empty() || !job.copyTo(fd.get(), ioError) || !syncAndClose(fd, ioError)) {
            error = "cannot write " + quoted(path) + ": " + ioError;
            return std::nullopt;  // the temporary file is removed here
        }
        return temp;
    }
    error = "cannot find a free temporary name in " + quoted(folder);
    return std::nullopt;
}

// rename() that refuses to replace; false with errno EEXIST when taken.
bool renameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
    // File systems without RENAME_NOREPLACE: a hard link is just as exclusive.
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    return true;
}

}  // namespace

std::string JobInput::readStart() {
    std::string error;
    if (!readUpTo(fd_, kStartBytes, start_, error)) return "cannot read the print job: " + error;
    if (start_.empty()) return "the print job is empty";
    if (start_.compare(0, 4, "%PDF") != 0) return "the print job is not a PDF document";
    return {};
}

bool JobInput::copyTo(int out, std::string& error) {
    copied_ = 0;
    if (!writeAll(out, start_.data(), start_.size(), error)) return false;
    copied_ = start_.size();
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd_, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            error = std::string("cannot read the print job: ") + std::strerror(errno);
            return false;
        }
        if (got == 0) return true;
        if (!writeAll(out, buffer, static_cast<std::size_t>(got), error)) return false;
        copied_ += static_cast<std::size_t>(got);
    }
}

OutputResult writeJobTo(JobInput& job, const std::string& target) {
    OutputResult result;
    if (target.empty()) {
        result.error = "OutputFile is empty";
        return result;
    }
    if (target.front() != '/') {
        result.error = "OutputFile is not an absolute path: " + quoted(target);
        return result;
    }
    const std::size_t slash = target.rfind('/');
    const std::string base = target.substr(slash + 1);
    if (base.empty() || base == "." || base == "..") {
        result.error = "OutputFile names a folder, not a file: " + quoted(target);
        return result;
    }
    const std::string folder = slash == 0 ? std::string("/") : target.substr(0, slash);
    if (std::string problem = folderProblem(folder); !problem.empty()) {
        result.error = problem;
        return result;
    }
    struct stat st {};
    const bool exists = ::lstat(target.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        result.error = "OutputFile names a folder, not a file: " + quoted(target);
        return result;
    }
    // A FIFO, socket or device there is no file to replace; a link is
    // replaced itself, never followed.
    if (exists && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
        result.error = "OutputFile is not a regular file: " + quoted(target);
        return result;
    }
    // A file its owner made read-only is not replaced behind their back.
    if (exists && S_ISREG(st.st_mode) && ::access(target.c_str(), W_OK) != 0) {
        result.error = "OutputFile is not writable: " + quoted(target) + ": " + std::strerror(errno);
        return result;
    }

    // A file that is replaced keeps its permissions.
    std::optional<mode_t> keptMode;
    if (exists && S_ISREG(st.st_mode)) keptMode = st.st_mode & 0777;
    std::optional<TemporaryFile> temp = writeTemporary(job, folder, keptMode, result.error);
    if (!temp) return result;
    if (::rename(temp->path().c_str(), target.c_str()) != 0) {
        result.error = "cannot replace " + quoted(target) + ": " + std::strerror(errno);
        return result;
    }
    temp->release();
    syncFolder(folder);
    result.path = target;
    return result;
}

OutputResult writeJobInto(JobInput& job, const std::string& folder, const std::string& fileName) {
    OutputResult result;
    if (std::string problem = folderProblem(folder); !problem.empty()) {
        result.error = problem;
        return result;
    }
    std::optional<TemporaryFile> temp = writeTemporary(job, folder, std::nullopt, result.error);
    if (!temp) return result;
    for (int attempt = 1; attempt <= kMaxNumberedNames; ++attempt) {
        const std::string name = attempt == 1 ? fileName : numberedFileName(fileName, attempt);
        const std::string path = folder + "/" + name;
        if (renameNoReplace(temp->path(), path)) {
            temp->release();
            syncFolder(folder);
            result.path = path;
            return result;
        }
        if (errno != EEXIST) {
            result.error = "cannot create " + quoted(path) + ": " + std::strerror(errno);
            return result;
        }
    }
    result.error = "too many files named like " + quoted(fileName) + " in " + quoted(folder);
    return result;
}

}  // namespace marrowby
