#include "chromium_process.h"

#include "platform/failure.h"
#include "platform/posix_process_launcher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtGlobal>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <utility>
#include <sys/socket.h>
#include <unistd.h>

namespace quendrel::engine {

namespace {

// How long the engine gets to end by itself once its pipe has closed.
constexpr int kEndGraceMs = 3000;
constexpr char kFolderPrefix[] = "browser-";

QString runnable(const QString& name) {
    if (name.contains(u'/')) return QFileInfo(name).isExecutable() ? name : QString();
    return QStandardPaths::findExecutable(name);
}

// This machine's name as it may stand in a folder name: a home folder shared
// between machines holds the folders of engines on each of them.
QString hostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == 0) return QStringLiteral("localhost");
    QString host = QString::fromLatin1(name);
    for (QChar& c : host)
        if (!(c.isLetterOrNumber() || c == u'.' || c == u'_' || c == u'-')) c = u'_';
    return host;
}

QString folderPrefix() { return QString::fromLatin1(kFolderPrefix) + hostName() + u'-'; }

// Folders of engines on this machine whose program was ended before it could
// remove them. Another machine's folders are never touched: whether their
// program lives cannot be seen from here.
void removeAbandonedFolders(const QDir& base) {
    const QString prefix = folderPrefix();
    for (const QString& name : base.entryList({prefix + u'*'}, QDir::Dirs)) {
        const QString rest = name.mid(prefix.size());  // <pid>-XXXXXX
        bool number = false;
        const pid_t owner = rest.section(u'-', 0, 0).toInt(&number);
        if (number && rest.count(u'-') == 1 && owner > 0 && ::kill(owner, 0) != 0 && errno == ESRCH)
            QDir(base.filePath(name)).removeRecursively();
    }
}

QString makePrivateFolder() {
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (!QDir::isAbsolutePath(cache)) cache = QDir::homePath() + QStringLiteral("/.cache");
    const QString base = cache + QStringLiteral("/quendrel");
    if (!QDir().mkpath(base))
        throw EngineUnavailable(QStringLiteral("The web engine cannot start: the folder %1 cannot be made.").arg(base));
    QFile::setPermissions(base, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    removeAbandonedFolders(QDir(base));
    QByteArray pattern =
        QFile::encodeName(base + u'/' + folderPrefix() + QString::number(::getpid()) + u'-') +
        "XXXXXX";
    if (!::mkdtemp(pattern.data()))  // mode 0700
        throw EngineUnavailable(QStringLiteral("The web engine cannot start: no private folder in %1 (%2).")
                          .arg(base, QString::fromLocal8Bit(std::strerror(errno))));
    return QFile::decodeName(pattern);
}

// The automation build is headless by nature and takes no --headless of its own.
bool isHeadlessShell(const QString& program) {
    return QFileInfo(program).fileName().contains(QStringLiteral("headless-shell"));
}

QStringList engineArguments(const QString& program, const QString& folder, const ChromiumOptions& options) {
    QStringList arguments{program};
    if (!isHeadlessShell(program)) arguments << QStringLiteral("--headless");
    arguments << QStringList{
        QStringLiteral("--remote-debugging-pipe"),
        // Pages are untrusted: each site renders in a process of its own,
        // which the automation build leaves off unless asked.
        QStringLiteral("--site-per-process"),
        QStringLiteral("--user-data-dir=") + folder + QStringLiteral("/profile"),
        QStringLiteral("--window-size=%1,%2").arg(options.width).arg(options.height),
        QStringLiteral("--hide-scrollbars"),
        // Every tab is a page in flight that nobody looks at: none may be
        // treated as a background tab, whose timers and frames the engine
        // would slow down.
        QStringLiteral("--disable-background-timer-throttling"),
        QStringLiteral("--disable-renderer-backgrounding"),
        QStringLiteral("--disable-backgrounding-occluded-windows"),
        QStringLiteral("--mute-audio"),
        // Nothing of the engine's own reaches the network or waits for a person.
        QStringLiteral("--no-first-run"),
        QStringLiteral("--no-default-browser-check"),
        QStringLiteral("--disable-background-networking"),
        QStringLiteral("--disable-component-update"),
        QStringLiteral("--disable-sync"),
        QStringLiteral("--disable-extensions"),
        QStringLiteral("--disable-default-apps"),
        QStringLiteral("--disable-breakpad"),
        QStringLiteral("--no-pings"),
        QStringLiteral("--deny-permission-prompts"),
        QStringLiteral("--password-store=basic"),
        QStringLiteral("--use-mock-keychain"),
        QStringLiteral("--disable-features=Translate,MediaRouter,OptimizationHints,AutofillServerCommunication,"
                       "PreloadTopChromeWebUI,SpareRendererForSitePerProcess"),
    };
    if (::geteuid() == 0) {
        static bool said = false;
        if (!std::exchange(said, true))
            std::fputs("Running as root: the web engine's renderer sandbox is turned off.\n", stderr);
        arguments << QStringLiteral("--no-sandbox");
    }
    // No tab of the engine's own: every tab is one of ours.
    arguments << QStringLiteral("--no-startup-window");
    return arguments;
}

}  // namespace

QString FindChromium() {
    if (const QString chosen = qEnvironmentVariable("QUENDREL_CHROMIUM"); !chosen.isEmpty()) return runnable(chosen);
    for (const char* name : {"chromium-headless-shell", "chromium", "chromium-browser"})
        if (const QString found = runnable(QString::fromLatin1(name)); !found.isEmpty()) return found;
    return {};
}

std::unique_ptr<ChromiumProcess> ChromiumProcess::Start(const ChromiumOptions& options) {
    const QString program = FindChromium();
    if (program.isEmpty())
        throw EngineUnavailable(QStringLiteral("The web engine Chromium is not installed. Install the package \"%1\" "
                                               "(sudo apt-get install %1).")
                                    .arg(QString::fromLatin1(kChromiumPackage)));
    std::unique_ptr<platform::ProcessLauncher> own;
    platform::ProcessLauncher* launcher = options.launcher;
    if (!launcher) launcher = (own = std::make_unique<platform::PosixProcessLauncher>()).get();
    const QString folder = makePrivateFolder();
    int sockets[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) {
        QDir(folder).removeRecursively();
        throw EngineUnavailable(
            QStringLiteral("The web engine cannot start: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    }
    // The engine reads the protocol on its descriptor 3 and writes on 4.
    platform::StartExtras how;
    how.descriptors = {sockets[1], sockets[1]};
    how.errorFile = folder + QStringLiteral("/stderr.log");
    how.service = true;
    long long pid = 0;
    try {
        pid = launcher->startWith(engineArguments(program, folder, options), platform::ErrorOutput::Shared, how);
    } catch (const platform::StartFailure& failure) {
        ::close(sockets[0]);
        ::close(sockets[1]);
        QDir(folder).removeRecursively();
        throw EngineUnavailable(QStringLiteral("The web engine cannot start: %1").arg(failure.description()));
    }
    ::close(sockets[1]);
    return std::unique_ptr<ChromiumProcess>(
        new ChromiumProcess(std::move(own), *launcher, pid, sockets[0], folder));
}

ChromiumProcess::ChromiumProcess(std::unique_ptr<platform::ProcessLauncher> own, platform::ProcessLauncher& launcher,
                                 long long pid, int socket, QString folder)
    : ownLauncher_(std::move(own)), launcher_(launcher), pid_(pid), channel_(socket), folder_(std::move(folder)) {}

ChromiumProcess::~ChromiumProcess() {
    // Its pipe closing ends the engine; one that lingers is stopped, with
    // its whole process group (the launcher ends the group before it reaps
    // the engine).
    channel_.close();
    if (!launcher_.awaitEnd(pid_, kEndGraceMs)) launcher_.stop(pid_);
    QDir(folder_).removeRecursively();
}

QString ChromiumProcess::lastWords() const {
    QFile log(folder_ + QStringLiteral("/stderr.log"));
    if (!log.open(QIODevice::ReadOnly)) return {};
    const QByteArray tail = log.readAll().right(2000).trimmed();
    return QString::fromLocal8Bit(tail);
}

}  // namespace quendrel::engine
