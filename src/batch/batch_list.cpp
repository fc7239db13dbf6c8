#include "batch_list.h"

#include "common/list_text_reader.h"
#include "platform/failure.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quendrel {
namespace {

class CollectingSink : public LineSplitter::Sink {
public:
    QStringList entries;
    void yield() override {}
    void entry(const QString& text) override {
        if (text.isEmpty()) return;
        if (entries.size() >= kListEntries)
            throw ListTextTooLong(QStringLiteral("it holds more than %1 entries").arg(kListEntries));
        entries << text;
    }
};

QString SystemError() { return QString::fromLocal8Bit(std::strerror(errno)); }

bool Readable(const struct stat& status, bool standardInput, int fd) {
    if (S_ISREG(status.st_mode) || S_ISFIFO(status.st_mode)) return true;
    // A script may hand its list over a socket, a user type it in.
    return standardInput && (S_ISSOCK(status.st_mode) || ::isatty(fd) == 1);
}

// Opens the named list when it is a regular file or a FIFO. The file's kind
// is checked on the opened file, so nothing can take its place between the
// check and the reading; the first open waits for no FIFO writer, and
// neither does it wait on a device.
int OpenList(const QString& path, QString& error) {
    const QByteArray name = QFile::encodeName(path);
    int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = SystemError();
        return -1;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !Readable(status, false, fd)) {
        ::close(fd);
        error = QStringLiteral("it is not a file or a pipe");
        return -1;
    }
    if (S_ISFIFO(status.st_mode)) {
        // Read without a writer yet, a FIFO would end at once: wait for one,
        // as any reader of a named pipe does, on the same FIFO.
        const int waiting = ::open(name.constData(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
        struct stat again {};
        const bool same = waiting >= 0 && ::fstat(waiting, &again) == 0 && again.st_dev == status.st_dev &&
                          again.st_ino == status.st_ino;
        ::close(fd);
        if (!same) {
            if (waiting >= 0) ::close(waiting);
            error = QStringLiteral("the pipe changed while it was opened");
            return -1;
        }
        return waiting;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

}  // namespace

BatchList ReadBatchList(const QString& listFile) {
    const bool standardInput = listFile == QLatin1String("-");
    const QString named = standardInput ? QStringLiteral("the list on standard input")
                                        : QStringLiteral("the list \"%1\"").arg(listFile);
    QString why;
    int fd = -1;
    if (standardInput) {
        struct stat status {};
        if (::fstat(STDIN_FILENO, &status) != 0 || !Readable(status, true, STDIN_FILENO))
            why = QStringLiteral("it is not a file, a pipe or a terminal");
        else
            fd = STDIN_FILENO;
    } else {
        fd = OpenList(listFile, why);
    }
    if (fd < 0) return {{}, QStringLiteral("%1 cannot be read: %2").arg(named, why)};

    QFile file;
    const QFileDevice::FileHandleFlags closing = standardInput ? QFileDevice::DontCloseHandle : QFileDevice::AutoCloseHandle;
    if (!file.open(fd, QIODevice::ReadOnly, closing)) {
        if (!standardInput) ::close(fd);
        return {{}, QStringLiteral("%1 cannot be read: %2").arg(named, file.errorString())};
    }
    CollectingSink sink;
    try {
        ReadListText(file, sink, {kListLineBytes, kListBytes});
    } catch (const ListTextTooLong& tooLong) {
        return {{}, QStringLiteral("%1 is refused: %2").arg(named, tooLong.description())};
    } catch (const Failure& failure) {
        return {{}, QStringLiteral("%1 cannot be read: %2").arg(named, failure.description())};
    }
    return {sink.entries, {}};
}

QStringList ShardOf(const QStringList& entries, int shard, int shards) {
    QStringList mine;
    for (int position = shard; position < entries.size(); position += shards) mine << entries[position];
    return mine;
}

}  // namespace quendrel
