#include "chromium_process.h"

#include "platform/failure.h"

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
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

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

int openOrNull(const QByteArray& path, int flags) {
    const int fd = ::open(path.constData(), flags | O_CLOEXEC, 0600);
    return fd >= 0 ? fd : ::open("/dev/null", O_RDWR | O_CLOEXEC);
}

// Runs in the forked child: only async-signal-safe calls from here on.
[[noreturn]] void execEngine(const char* path, char* const* argv, int socket, int input, int errors, pid_t parent) {
    ::setpgid(0, 0);
    // The engine ends with the program that started it, however that ends.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    ::dup2(input, 0);
    ::dup2(input, 1);
    ::dup2(errors, 2);
    ::dup2(socket, 3);
    ::dup2(socket, 4);
    ::execv(path, argv);
    ::_exit(127);
}

// Whether the process has ended, waiting at most the time given; it is not
// reaped, so its process id and group id stay its own until it is.
bool waitForEnd(pid_t pid, int milliseconds) {
    const int handle = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (handle >= 0) {
        pollfd ready{handle, POLLIN, 0};
        while (::poll(&ready, 1, milliseconds) < 0 && errno == EINTR) {
        }
        ::close(handle);
    }
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
}

void reap(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
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
    const QString folder = makePrivateFolder();

    QList<QByteArray> encoded;
    for (const QString& argument : engineArguments(program, folder, options)) encoded << QFile::encodeName(argument);
    std::vector<char*> argv;
    for (QByteArray& argument : encoded) argv.push_back(argument.data());
    argv.push_back(nullptr);

    int sockets[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) {
        QDir(folder).removeRecursively();
        throw EngineUnavailable(QStringLiteral("The web engine cannot start: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    }
    const int input = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    const int errors = openOrNull(QFile::encodeName(folder + QStringLiteral("/stderr.log")), O_WRONLY | O_CREAT | O_TRUNC);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) execEngine(argv[0], argv.data(), sockets[1], input, errors, parent);
    const int forkError = errno;
    ::close(sockets[1]);
    ::close(input);
    ::close(errors);
    if (pid < 0) {
        ::close(sockets[0]);
        QDir(folder).removeRecursively();
        throw EngineUnavailable(QStringLiteral("The web engine cannot start: %1").arg(QString::fromLocal8Bit(std::strerror(forkError))));
    }
    return std::unique_ptr<ChromiumProcess>(new ChromiumProcess(pid, sockets[0], folder));
}

ChromiumProcess::ChromiumProcess(pid_t pid, int socket, QString folder)
    : pid_(pid), channel_(socket), folder_(std::move(folder)) {}

ChromiumProcess::~ChromiumProcess() {
    // Its pipe closing ends the engine; one that lingers is ended by signal.
    // Its helpers may outlive it: its whole process group is ended while the
    // engine is still unreaped, so the group's number cannot have passed to
    // processes of someone else yet.
    channel_.close();
    if (!waitForEnd(pid_, kEndGraceMs)) ::kill(pid_, SIGKILL);
    ::kill(-pid_, SIGKILL);
    reap(pid_);
    QDir(folder_).removeRecursively();
}

QString ChromiumProcess::lastWords() const {
    QFile log(folder_ + QStringLiteral("/stderr.log"));
    if (!log.open(QIODevice::ReadOnly)) return {};
    const QByteArray tail = log.readAll().right(2000).trimmed();
    return QString::fromLocal8Bit(tail);
}

}  // namespace quendrel::engine
