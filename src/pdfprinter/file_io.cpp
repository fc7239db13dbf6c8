#include "pdfprinter/file_io.h"

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

namespace marrowby {
namespace {

// The one temporary file a signal handler may remove. The path is complete
// before the flag is raised, and the flag drops before the path changes.
char g_pendingPath[PATH_MAX + 1];
volatile sig_atomic_t g_pendingSet = 0;
// Where each new temporary file is announced; -1 for nowhere.
int g_announceFd = -1;

}  // namespace

FileDescriptor::~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
}

bool FileDescriptor::close() {
    if (fd_ < 0) return true;
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
}

TemporaryFile::TemporaryFile(std::string path) : path_(std::move(path)) {
    if (path_.size() <= PATH_MAX) {
        g_pendingSet = 0;
        std::memcpy(g_pendingPath, path_.c_str(), path_.size() + 1);
        g_pendingSet = 1;
    }
    if (g_announceFd >= 0) {
        std::string record = path_;
        record += '\0';
        std::string ignored;
        writeAll(g_announceFd, record.data(), record.size(), ignored);
    }
}

void announceTemporaryFilesTo(int fd) { g_announceFd = fd; }

TemporaryFile::TemporaryFile(TemporaryFile&& other) noexcept
    : path_(std::move(other.path_)), owned_(other.owned_) {
    other.owned_ = false;
    other.moved_ = true;
}

TemporaryFile::~TemporaryFile() {
    if (moved_) return;
    if (owned_) ::unlink(path_.c_str());
    g_pendingSet = 0;
}

void TemporaryFile::release() {
    owned_ = false;
    g_pendingSet = 0;
}

void removeTemporaryFileFromSignalHandler() noexcept {
    if (g_pendingSet) ::unlink(g_pendingPath);
}

bool readUpTo(int fd, std::size_t limit, std::string& out, std::string& error) {
    char buffer[65536];
    while (out.size() < limit) {
        const std::size_t want = std::min(sizeof buffer, limit - out.size());
        const ssize_t got = ::read(fd, buffer, want);
        if (got < 0) {
            if (errno == EINTR) continue;
            error = std::strerror(errno);
            return false;
        }
        if (got == 0) break;
        out.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
}

bool writeAll(int fd, const char* data, std::size_t size, std::string& error) {
    while (size > 0) {
        const ssize_t done = ::write(fd, data, size);
        if (done < 0) {
            if (errno == EINTR) continue;
            error = std::strerror(errno);
            return false;
        }
        data += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

bool syncAndClose(FileDescriptor& fd, std::string& error) {
    if (::fsync(fd.get()) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (!fd.close()) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

void syncFolder(const std::string& folder) {
    FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid()) ::fsync(fd.get());
}

std::string randomHexSuffix() {
    unsigned char bytes[8];
    if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
        // No entropy yet: the pid and the clock still make collisions rare,
        // and O_EXCL turns any collision into a retry.
        const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
        unsigned long long mix = static_cast<unsigned long long>(now) ^ (static_cast<unsigned long long>(::getpid()) << 32);
        std::memcpy(bytes, &mix, sizeof bytes);
    }
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : bytes) {
        out += hex[b >> 4];
        out += hex[b & 0xf];
    }
    return out;
}

namespace {

// The length of the valid UTF-8 sequence at the start of `text`, or 0 when
// it starts with a byte that begins none (stray, overlong, surrogate, beyond
// U+10FFFF or cut short).
std::size_t utf8SequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xbf;  // the range of the second byte
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        if (lead == 0xe0) low = 0xa0;
        if (lead == 0xed) high = 0x9f;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        if (lead == 0xf0) low = 0x90;
        if (lead == 0xf4) high = 0x8f;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xbf) return 0;
    return length;
}

void appendHexEscape(std::string& out, unsigned char c) {
    static const char hex[] = "0123456789abcdef";
    out += "\\x";
    out += hex[c >> 4];
    out += hex[c & 0xf];
}

}  // namespace

std::string quoted(std::string_view text) {
    return '"' + escapedForLog(text, true) + '"';
}

std::string escapedForLog(std::string_view text, bool escapeQuotes) {
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        const std::size_t length = utf8SequenceLength(text.substr(at));
        if (length > 1) {
            out.append(text.substr(at, length));
            at += length;
            continue;
        }
        ++at;
        if (escapeQuotes && (c == '"' || c == '\\')) {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (length == 0 || c < 0x20 || c == 0x7f) {
            appendHexEscape(out, c);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace marrowby
