#pragma once
// The backend in two parts. The part that stays root only feeds the job to
// the part that writes it with the user's rights, and keeps its time: the
// user may stop or kill the writer (it is their process), but not the
// keeper, so one user can never hold up the queue everyone shares. A writer
// that is stopped, killed or too slow fails its job, and what it was writing
// is removed.
#include "pdfprinter/job_user.h"

#include <functional>
#include <string>

namespace marrowby {

// The writer gets this long, plus a second per kWriterBytesPerSecond of the
// job, however slow the user's file system.
inline constexpr int kWriterBaseSeconds = 20;
inline constexpr long long kWriterBytesPerSecond = 1024 * 1024;

struct WriterOutcome {
    enum Kind { Exited, Stopped, Killed, Cancelled, NotStarted };
    Kind kind = NotStarted;
    int exitCode = 0;        // Exited: the writer's exit code
    std::string reason;      // anything else: why, in a few words for the log
    long long bytesFed = 0;  // the bytes of the job handed to the writer
};

// Runs `writer` in a child process that has become `user` (see
// becomeJobUser) and reads the job from the descriptor it is given, while
// this process copies the job from `input` to it. Waits at most
// kWriterBaseSeconds plus the job's size at kWriterBytesPerSecond; a writer
// still running then is killed. After a writer that did not exit by itself
// the temporary files it announced are removed, with the user's rights.
// `cancelled` is polled while waiting: once it is true the writer is killed
// the same way.
WriterOutcome runJobWriter(const JobUser& user, int input, const std::function<int(int jobInput)>& writer,
                           const volatile int& cancelled);

}  // namespace marrowby
