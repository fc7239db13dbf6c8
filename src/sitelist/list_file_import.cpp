#include "list_file_import.h"

#include "common/app_title.h"
#include "common/error_trap.h"
#include "common/file_exists.h"
#include "common/product.h"
#include "common/list_text_reader.h"
#include "platform/dialogs.h"
#include "platform/event_pump.h"
#include "platform/failure.h"
#include "site_list.h"
#include "site_list_model.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quendrel {

namespace {

class ImportSink : public LineSplitter::Sink {
public:
    ImportSink(SiteList& list, platform::EventPump& events) : list_(list), events_(events) {}
    void yield() override { events_.processEvents(); }
    void entry(const QString& text) override { list_.Append(text); }

private:
    SiteList& list_;
    platform::EventPump& events_;
};

// Opens the file for reading when it is a regular file. A device or a FIFO
// could be read without end or block the window until someone writes to it,
// and a folder holds no lines: for them it gives false and opens nothing. The
// check is made on the opened file, so nothing can be put in its place
// between the check and the reading; the open itself does not wait for a
// FIFO's writer. Throws Failure when the file cannot be opened or read.
bool OpenRegularFile(QFile& file, const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) throw Failure(QString::fromLocal8Bit(std::strerror(errno)));
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);  // a regular file never waits anyway
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw Failure(file.errorString());
    }
    return true;
}

}  // namespace

void FileToList(SiteList& list, const QString& path, platform::Dialogs& dialogs,
                platform::EventPump& events) {
    if (!FileExists(path)) {
        dialogs.message(QStringLiteral("File not found"), AppTitle());
        return;
    }
    QFile file;  // closed on every way out, a failure included
    if (!OpenRegularFile(file, path)) {
        dialogs.message(QStringLiteral("Not a regular file. Please select another file."), AppTitle());
        return;
    }

    SiteListModel::PacedDisplay paced(list.entries());
    ImportSink sink(list, events);
    ReadListText(file, sink);
}

const QString ListFileImport::kTitle =
    QStringLiteral("Add File(s) - Use Ctrl & Shift to select multiple files");
// "*.*" is every file, as the open-file dialogs of the program read it.
const QStringList ListFileImport::kFilters = {QStringLiteral("Text Files (*.txt)"),
                                              QStringLiteral("All Files (*.*)")};

ListFileImport::ListFileImport(SiteList& list, platform::Dialogs& dialogs,
                               platform::EventPump& events, ErrorReport& report)
    : list_(list), dialogs_(dialogs), events_(events), report_(report) {}

void ListFileImport::PushButton6_Click() {
    ErrorTrap trap(report_, HandlerLocation("PushButton6_Click"));
    QString fileName;
    QString title;
    QStringList filters;
    QStringList pieces;
    QString path;
    // The dialog is set up afresh on every click, so nothing carries over.
    trap.step(100, [&] { fileName.clear(); });
    trap.step(104, [&] { title = kTitle; });
    trap.step(106, [&] { filters = kFilters; });
    trap.step(108, [&] { fileName = dialogs_.openFileName(title, filters); });
    if (trap.test(110, [&] { return fileName.isEmpty(); })) return;
    // A chooser that gave several files would separate them with NULs.
    trap.step(112, [&] { pieces = fileName.split(QChar(u'\0')); });
    if (trap.test(114, [&] { return pieces.size() == 1; })) {
        trap.step(116, [&] { path = pieces.value(0); });
        trap.step(118, [&] { FileToList(list_, path, dialogs_, events_); });
    } else {
        trap.step(120, [&] {
            dialogs_.message(QStringLiteral("Please select just one file."), AppTitle());
        });
    }
}

}  // namespace quendrel
