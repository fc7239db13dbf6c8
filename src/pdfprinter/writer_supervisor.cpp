#include "pdfprinter/writer_supervisor.h"

#include "pdfprinter/file_io.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace marrowby {
namespace {

using Clock = std::chrono::steady_clock;

// A cleaner that the user stops in turn is given up after this long.
constexpr int kCleanerSeconds = 5;
// The announcements are paths; a writer that says more is not ours.
constexpr std::size_t kMaxAnnounced = 64 * 1024;

struct Pipe {
    int fds[2] = {-1, -1};
    bool made = ::pipe2(fds, O_CLOEXEC) == 0;
    FileDescriptor read{fds[0]};
    FileDescriptor write{fds[1]};
};

// Forks a child that becomes `user` and runs `body`; its exit code is what
// `body` gives, 70 when the rights cannot be dropped.
pid_t forkAsUser(const JobUser& user, const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    std::string error;
    if (!becomeJobUser(user, error)) {
        std::fprintf(stderr, "ERROR: PDF not written: %s\n", escapedForLog(error).c_str());
        ::_exit(70);
    }
    // Set after the rights changed, which clears it: the writer never
    // outlives the keeper.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() == 1) ::_exit(70);
    ::_exit(body());
}

int millisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1000));
}

// Waits for the child to end by itself until the deadline; then kills it.
// Gives its wait status, and whether it had to be killed.
int reap(pid_t child, Clock::time_point deadline, bool& killed) {
    FileDescriptor ended(static_cast<int>(::syscall(SYS_pidfd_open, child, 0)));
    int status = 0;
    killed = false;
    for (;;) {
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child) return status;
        if (done < 0 && errno != EINTR) return 0;
        if (Clock::now() >= deadline || !ended.valid()) break;
        pollfd fd{ended.get(), POLLIN, 0};
        ::poll(&fd, 1, millisecondsUntil(deadline));
    }
    ::kill(child, SIGKILL);
    killed = true;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

void removeAnnounced(const JobUser& user, const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    const pid_t cleaner = forkAsUser(user, [&] {
        for (const std::string& path : paths) ::unlink(path.c_str());
        return 0;
    });
    if (cleaner < 0) return;
    bool killed = false;
    reap(cleaner, Clock::now() + std::chrono::seconds(kCleanerSeconds), killed);
}

std::vector<std::string> splitAnnounced(const std::string& announced) {
    std::vector<std::string> paths;
    std::size_t start = 0;
    for (std::size_t end; (end = announced.find('\0', start)) != std::string::npos; start = end + 1)
        paths.push_back(announced.substr(start, end - start));
    return paths;
}

std::string describe(int status) {
    if (WIFSIGNALED(status)) return "the writer was killed by signal " + std::to_string(WTERMSIG(status));
    return "the writer ended with code " + std::to_string(WEXITSTATUS(status));
}

}  // namespace

WriterOutcome runJobWriter(const JobUser& user, int input, const std::function<int(int jobInput)>& writer,
                           const volatile int& cancelled) {
    WriterOutcome outcome;
    Pipe data, announce;
    if (!data.made || !announce.made) {
        outcome.reason = std::string("cannot make a pipe: ") + std::strerror(errno);
        return outcome;
    }
    const pid_t child = forkAsUser(user, [&] {
        ::close(input);  // the spool file is root's; the writer reads the job from the pipe only
        data.write.close();
        announce.read.close();
        announceTemporaryFilesTo(announce.write.get());
        return writer(data.read.get());
    });
    if (child < 0) {
        outcome.reason = std::string("cannot start the writer: ") + std::strerror(errno);
        return outcome;
    }
    data.read.close();
    announce.write.close();
    ::fcntl(data.write.get(), F_SETFL, O_NONBLOCK);

    // A spool file says the job's size at once; a job coming through a pipe
    // earns its time as it is handed over.
    struct stat st {};
    const long long knownSize = ::fstat(input, &st) == 0 && S_ISREG(st.st_mode) ? st.st_size : 0;
    const Clock::time_point started = Clock::now();
    auto deadline = [&] {
        const long long size = std::max(knownSize, outcome.bytesFed);
        return started + std::chrono::seconds(kWriterBaseSeconds + size / kWriterBytesPerSecond);
    };
    std::string announced;
    std::vector<char> buffer(65536);
    std::size_t held = 0, sent = 0;  // bytes of the job in `buffer`, and how many of them went on
    bool inputEnded = false, writerGone = false, announceEnded = false;
    while (!announceEnded && !cancelled && Clock::now() < deadline()) {
        const bool wantInput = held == sent && !inputEnded && !writerGone;
        const bool wantOutput = held > sent && !writerGone;
        pollfd fds[3] = {{announce.read.get(), POLLIN, 0},
                         {wantInput ? input : -1, POLLIN, 0},
                         {wantOutput ? data.write.get() : -1, POLLOUT, 0}};
        const int ready = ::poll(fds, 3, millisecondsUntil(deadline()));
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) continue;
        if (fds[0].revents) {
            char chunk[4096];
            const ssize_t got = ::read(announce.read.get(), chunk, sizeof chunk);
            if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN)) announceEnded = true;
            if (got > 0 && announced.size() < kMaxAnnounced) announced.append(chunk, static_cast<std::size_t>(got));
        }
        if (fds[1].revents) {
            const ssize_t got = ::read(input, buffer.data(), buffer.size());
            if (got > 0) {
                held = static_cast<std::size_t>(got);
                sent = 0;
            } else if (got == 0 || errno != EINTR) {
                inputEnded = true;
                data.write.close();  // the writer sees the end of the job
            }
        }
        if (fds[2].revents) {
            const ssize_t done = ::write(data.write.get(), buffer.data() + sent, held - sent);
            if (done > 0) {
                sent += static_cast<std::size_t>(done);
                outcome.bytesFed += done;
            } else if (done < 0 && errno != EAGAIN && errno != EINTR) {
                writerGone = true;  // it stopped reading: its exit code says why
                data.write.close();
            }
        }
    }
    // The writer closed its end only by ending; otherwise it has had its time.
    bool killed = false;
    const int status = reap(child, announceEnded ? Clock::now() + std::chrono::seconds(kCleanerSeconds)
                                                  : Clock::now(), killed);
    if (!killed && WIFEXITED(status)) {
        outcome.kind = WriterOutcome::Exited;
        outcome.exitCode = WEXITSTATUS(status);
        return outcome;
    }
    if (cancelled) {
        outcome.kind = WriterOutcome::Cancelled;
        outcome.reason = "the job was cancelled";
    } else if (killed) {
        outcome.kind = WriterOutcome::Stopped;
        outcome.reason = "the writer did not finish within " +
                         std::to_string(std::chrono::duration_cast<std::chrono::seconds>(deadline() - started).count()) +
                         " s (stopped, or the folder's disk too slow)";
    } else {
        outcome.kind = WriterOutcome::Killed;
        outcome.reason = describe(status);
    }
    removeAnnounced(user, splitAnnounced(announced));
    return outcome;
}

}  // namespace marrowby
