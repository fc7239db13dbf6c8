#pragma once
// Small POSIX file helpers for the control values and the backend's output:
// descriptors that close themselves, temporary files that vanish unless kept,
// and complete reads and writes.
#include <cstddef>
#include <string>
#include <string_view>

namespace marrowby {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    bool valid() const { return fd_ >= 0; }
    int get() const { return fd_; }
    // Closes now; gives false (with errno set) when close reports an error.
    bool close();

private:
    int fd_;
};

// Removes the file when it goes out of scope, unless released. While one
// exists, a termination signal handler can remove it too (see below).
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path);
    ~TemporaryFile();
    TemporaryFile(TemporaryFile&& other) noexcept;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    TemporaryFile& operator=(TemporaryFile&&) = delete;
    const std::string& path() const { return path_; }
    void release();

private:
    std::string path_;
    bool owned_ = true;
    bool moved_ = false;  // a moved-from object leaves the signal slot alone
};

// From now on each TemporaryFile made writes its path and a NUL to `fd`, so
// that whoever supervises this process can remove what it leaves when it is
// stopped or killed mid-write. -1 stops the announcements.
void announceTemporaryFilesTo(int fd);

// Async-signal-safe: removes the temporary file that is being written, if any.
void removeTemporaryFileFromSignalHandler() noexcept;

// Reads until end of file or until `limit` bytes are held in `out`.
bool readUpTo(int fd, std::size_t limit, std::string& out, std::string& error);
bool writeAll(int fd, const char* data, std::size_t size, std::string& error);
// fsync, then close; both must succeed for the data to count as written.
bool syncAndClose(FileDescriptor& fd, std::string& error);
// Makes a rename in the folder durable; failures are not fatal.
void syncFolder(const std::string& folder);

// Sixteen hex digits from the kernel's random source, for names of
// temporary files that must not be guessed or collide.
std::string randomHexSuffix();

// The text in double quotes with control characters, quotes, backslashes and
// bytes that are not UTF-8 escaped, safe to put on one log line.
std::string quoted(std::string_view text);

// The text as one line of valid UTF-8: control characters and bytes that
// are not UTF-8 become \xNN escapes, a newline \n; with `escapeQuotes`,
// quotes and backslashes get a backslash too. CUPS makes the backend's lines
// the printer's state message, which every client of the scheduler reads
// as UTF-8.
std::string escapedForLog(std::string_view text, bool escapeQuotes = false);

}  // namespace marrowby
