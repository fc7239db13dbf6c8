#include "posix_process_launcher.h"

#include <QByteArray>
#include <QFile>
#include <QList>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace quendrel::platform {

namespace {

StartFailure startFailure(int error, const QString& program) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return StartFailure(53, QStringLiteral("File not found: %1").arg(program));
    case ENOMEM:
    case EAGAIN:
        return StartFailure(7, QStringLiteral("Out of memory: %1 cannot be started").arg(program));
    default:
        return StartFailure(75, QStringLiteral("Path/File access error: %1 cannot be started (%2)")
                                    .arg(program, QString::fromLocal8Bit(strerror(error))));
    }
}

bool isRunnableFile(const QByteArray& path) {
    struct stat info {};
    return ::stat(path.constData(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.constData(), X_OK) == 0;
}

// A bare name is looked up along PATH as a login shell would; the first
// runnable file wins. Done here, before the fork, so the child only has to exec.
QByteArray resolveProgram(const QByteArray& name, int& error) {
    if (name.isEmpty()) {
        error = ENOENT;
        return {};
    }
    if (name.contains('/')) return name;
    QByteArray searchPath = qgetenv("PATH");
    if (searchPath.isNull()) searchPath = "/usr/local/bin:/usr/bin:/bin";
    error = ENOENT;
    for (QByteArray folder : searchPath.split(':')) {
        if (folder.isEmpty()) folder = ".";
        const QByteArray candidate = folder + '/' + name;
        if (isRunnableFile(candidate)) return candidate;
        if (::access(candidate.constData(), F_OK) == 0) error = EACCES;
    }
    return {};
}

void closeQuietly(int fd) {
    if (fd >= 0) ::close(fd);
}

constexpr int kKeptErrorBytes = 16 * 1024;
constexpr int kErrorPipeBytes = 1024 * 1024;

// Lowest descriptor number for the child's own copies while it sets up: above
// every number it hands over.
constexpr int kSetUpDescriptors = 64;

}  // namespace

// What the forked child is to become, prepared before the fork.
struct PosixProcessLauncher::Child {
    int errorFd = -1;      // becomes descriptor 2 when given
    int inputFd = -1;      // becomes descriptors 0 and 1 when given
    std::vector<int> descriptors;  // become 3, 4, ...
    QStringList environment;       // NAME=value added to this process's
    bool ownGroup = false;
    pid_t parent = 0;
};

namespace {

// Runs in the forked child: only async-signal-safe calls from here on.
[[noreturn]] void execChild(const char* path, char* const* argv, char* const* environment, int reportFd,
                            const PosixProcessLauncher::Child& child, const int* handed, size_t handedCount) {
    if (child.ownGroup) {
        ::setpgid(0, 0);
        // A service ends with the program that started it, however that ends.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != child.parent) ::_exit(127);
    }
    // Every descriptor it needs is first moved above the numbers it hands
    // over, so no dup2 below closes one still to be used.
    reportFd = ::fcntl(reportFd, F_DUPFD_CLOEXEC, kSetUpDescriptors);
    int moved[kSetUpDescriptors];
    for (size_t i = 0; i < handedCount; ++i) moved[i] = ::fcntl(handed[i], F_DUPFD_CLOEXEC, kSetUpDescriptors);
    const int errorFd = child.errorFd >= 0 ? ::fcntl(child.errorFd, F_DUPFD_CLOEXEC, kSetUpDescriptors) : -1;
    const int inputFd = child.inputFd >= 0 ? ::fcntl(child.inputFd, F_DUPFD_CLOEXEC, kSetUpDescriptors) : -1;
    // dup2 leaves the copies open across exec.
    if (errorFd >= 0) ::dup2(errorFd, STDERR_FILENO);
    if (inputFd >= 0) {
        ::dup2(inputFd, STDIN_FILENO);
        ::dup2(inputFd, STDOUT_FILENO);
    }
    for (size_t i = 0; i < handedCount; ++i) ::dup2(moved[i], 3 + static_cast<int>(i));
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    // Ignored signals would stay ignored across exec; the new program starts clean.
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    for (int signal = 1; signal < NSIG; ++signal)
        if (signal != SIGKILL && signal != SIGSTOP) sigaction(signal, &byDefault, nullptr);
    ::execve(path, argv, environment);
    const int error = errno;
    ssize_t written;
    do {
        written = ::write(reportFd, &error, sizeof error);
    } while (written < 0 && errno == EINTR);
    ::_exit(127);
}

bool endedUnreaped(pid_t pid) {
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
}

}  // namespace

PosixProcessLauncher::~PosixProcessLauncher() {
    for (auto& [processId, kept] : errors_) closeQuietly(kept.pipe);
}

long long PosixProcessLauncher::start(const QStringList& argv, ErrorOutput errors) {
    return startWith(argv, errors, {});
}

long long PosixProcessLauncher::startWith(const QStringList& argv, ErrorOutput errors, const StartExtras& extras) {
    if (extras.descriptors.size() > static_cast<size_t>(kSetUpDescriptors - 3))
        throw StartFailure(5, QStringLiteral("Invalid procedure call or argument: too many descriptors"));
    Child child;
    child.descriptors = extras.descriptors;
    child.ownGroup = extras.service;
    child.parent = ::getpid();
    child.environment = extras.environment;
    std::vector<int> owned;  // this side's copies, closed once the child has its own
    int kept[2] = {-1, -1};
    if (!extras.errorFile.isEmpty()) {
        child.errorFd = ::open(QFile::encodeName(extras.errorFile).constData(),
                               O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        owned.push_back(child.errorFd);
    } else if (errors == ErrorOutput::Kept) {
        if (::pipe2(kept, O_CLOEXEC) != 0) throw startFailure(errno, argv.value(0));
        ::fcntl(kept[0], F_SETFL, O_NONBLOCK);
        ::fcntl(kept[0], F_SETPIPE_SZ, kErrorPipeBytes);  // the default 64 KB where refused
        child.errorFd = kept[1];
        owned.push_back(kept[1]);
    }
    if (extras.service) owned.push_back(child.inputFd = ::open("/dev/null", O_RDWR | O_CLOEXEC));
    long long pid = 0;
    try {
        pid = launch(argv, child);
    } catch (...) {
        for (int fd : owned) closeQuietly(fd);
        closeQuietly(kept[0]);
        throw;
    }
    for (int fd : owned) closeQuietly(fd);
    if (kept[0] >= 0) errors_[pid] = {kept[0], {}};
    if (extras.service) groups_.insert(pid);
    return pid;
}

long long PosixProcessLauncher::launch(const QStringList& argv, Child& child) {
    if (argv.isEmpty())
        throw StartFailure(5, QStringLiteral("Invalid procedure call or argument: no program named"));
    const QString& program = argv.front();

    QList<QByteArray> encoded;
    encoded.reserve(argv.size());
    for (const QString& argument : argv) {
        // A NUL would cut the argument short without anyone noticing.
        if (argument.contains(QChar(0)))
            throw StartFailure(5, QStringLiteral("Invalid procedure call or argument: "
                                                 "an argument for %1 holds a NUL character")
                                      .arg(program));
        encoded.append(QFile::encodeName(argument));
    }
    int error = 0;
    const QByteArray path = resolveProgram(encoded.front(), error);
    if (path.isEmpty()) throw startFailure(error, program);

    std::vector<char*> cArgv;
    cArgv.reserve(encoded.size() + 1);
    for (QByteArray& argument : encoded) cArgv.push_back(argument.data());
    cArgv.push_back(nullptr);

    // The environment is made before the fork: the child may only exec.
    QList<QByteArray> settings;
    for (char** entry = environ; *entry; ++entry) settings << QByteArray(*entry);
    for (const QString& setting : child.environment) {
        const QByteArray added = QFile::encodeName(setting);
        const QByteArray name = added.left(added.indexOf('=') + 1);
        settings.removeIf([&](const QByteArray& had) { return had.startsWith(name); });
        settings << added;
    }
    std::vector<char*> cEnvironment;
    for (QByteArray& setting : settings) cEnvironment.push_back(setting.data());
    cEnvironment.push_back(nullptr);

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) throw startFailure(errno, program);
    const pid_t pid = ::fork();
    if (pid < 0) {
        const int forkError = errno;
        for (int fd : {report[0], report[1]}) closeQuietly(fd);
        throw startFailure(forkError, program);
    }
    if (pid == 0) {
        ::close(report[0]);
        execChild(path.constData(), cArgv.data(), cEnvironment.data(), report[1], child, child.descriptors.data(),
                  child.descriptors.size());
    }
    ::close(report[1]);

    // The pipe closes by itself when exec succeeds; otherwise it brings the errno.
    int childError = 0;
    ssize_t got;
    do {
        got = ::read(report[0], &childError, sizeof childError);
    } while (got < 0 && errno == EINTR);
    ::close(report[0]);
    if (got == static_cast<ssize_t>(sizeof childError)) {
        if (child.ownGroup) ::kill(-pid, SIGKILL);
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        throw startFailure(childError, program);
    }
    return pid;
}

bool PosixProcessLauncher::awaitEnd(long long processId, int milliseconds) {
    if (processId <= 0 || ended_.count(processId)) return true;
    const int handle = static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(processId), 0));
    if (handle >= 0) {
        pollfd ready{handle, POLLIN, 0};
        while (::poll(&ready, 1, milliseconds) < 0 && errno == EINTR) {
        }
        ::close(handle);
    }
    return exitCode(processId).has_value();
}

void PosixProcessLauncher::endGroup(long long processId) {
    if (groups_.erase(processId)) ::kill(-static_cast<pid_t>(processId), SIGKILL);
}

void PosixProcessLauncher::readErrors(long long processId) {
    const auto found = errors_.find(processId);
    if (found == errors_.end() || found->second.pipe < 0) return;
    KeptErrors& kept = found->second;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(kept.pipe, buffer, sizeof buffer);
        if (got > 0) {
            kept.tail.append(buffer, got);
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        // The program's side has closed: all it wrote is here.
        if (got == 0 || errno != EAGAIN) closeQuietly(std::exchange(kept.pipe, -1));
        break;
    }
    if (kept.tail.size() > kKeptErrorBytes) kept.tail = kept.tail.right(kKeptErrorBytes);
}

void PosixProcessLauncher::dropErrors(long long processId) {
    const auto found = errors_.find(processId);
    if (found == errors_.end()) return;
    closeQuietly(found->second.pipe);
    errors_.erase(found);
}

QByteArray PosixProcessLauncher::takeErrorOutput(long long processId) {
    readErrors(processId);
    const auto found = errors_.find(processId);
    if (found == errors_.end()) return {};
    QByteArray tail = std::move(found->second.tail);
    dropErrors(processId);
    return tail;
}

std::optional<int> PosixProcessLauncher::exitCode(long long processId) {
    // waitpid would take 0 and -1 as "any child".
    if (processId <= 0) return 0;
    if (auto known = ended_.find(processId); known != ended_.end()) return known->second;
    // Drained at every question, so the pipe does not fill while the program
    // runs; once it is seen to have ended, all it wrote is in the pipe.
    readErrors(processId);
    if (groups_.count(processId)) {
        // What the service left of its group goes before the group's number is free.
        if (!endedUnreaped(static_cast<pid_t>(processId))) return std::nullopt;
        endGroup(processId);
    }
    int status = 0;
    pid_t result;
    do {
        result = ::waitpid(static_cast<pid_t>(processId), &status, WNOHANG);
    } while (result < 0 && errno == EINTR);
    if (result == 0) return std::nullopt;
    readErrors(processId);
    int code = 0;
    if (result > 0) {
        if (WIFEXITED(status))
            code = WEXITSTATUS(status);
        else if (WIFSIGNALED(status))
            code = 128 + WTERMSIG(status);
        else
            return std::nullopt;
    }
    ended_[processId] = code;
    return code;
}

void PosixProcessLauncher::stop(long long processId) {
    dropErrors(processId);
    if (exitCode(processId)) return;  // ended by itself, now reaped
    endGroup(processId);
    ::kill(static_cast<pid_t>(processId), SIGKILL);
    int status = 0;
    pid_t result;
    do {
        result = ::waitpid(static_cast<pid_t>(processId), &status, 0);
    } while (result < 0 && errno == EINTR);
    ended_[processId] = 128 + SIGKILL;
}

}  // namespace quendrel::platform
