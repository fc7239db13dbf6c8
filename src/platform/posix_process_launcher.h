#pragma once
// Starts programs with fork and exec, no shell, and reaps them with waitpid.
#include "process_launcher.h"

#include <QByteArray>
#include <map>
#include <set>

namespace quendrel::platform {

// Start errors carry the numbers the rest of the program knows:
//   53 "File not found"          the program (or a folder on its path) does not exist;
//   75 "Path/File access error"  it exists but cannot be run (no permission, a
//                                folder, not an executable format);
//    7 "Out of memory"           no process could be made;
//    5 "Invalid procedure call or argument"  empty argument vector, or an
//                                argument holding a NUL character.
// A failed exec is known before start() returns: the child reports its errno
// through a close-on-exec pipe, so no program is ever taken for started when
// it never ran.
//
// A bare program name is looked up in PATH; a name with a slash is used as it is.
// Exit codes: a normal exit gives its status (0..255, so an exit code of 259
// arrives as 3); a program ended by a signal gives 128 + the signal number,
// as shells report it. A process id that is not (or no longer) a child of this
// process counts as ended with 0.
//
// Kept error output comes through a pipe that is read, without blocking,
// whenever the process is asked about; the last 16 KB are kept. The pipe is
// made large (1 MB where the system allows), so a program that is not asked
// about for a while does not stall on a full pipe in practice.
//
// A service leads a process group of its own and dies with this process
// (PR_SET_PDEATHSIG); once it has ended, or when it is stopped, its whole
// group is ended before the leader is reaped, so the group's number cannot
// have passed to someone else's processes.
class PosixProcessLauncher : public ProcessLauncher {
public:
    using ProcessLauncher::start;
    ~PosixProcessLauncher() override;
    long long start(const QStringList& argv, ErrorOutput errors) override;
    std::optional<int> exitCode(long long processId) override;
    void stop(long long processId) override;
    QByteArray takeErrorOutput(long long processId) override;
    long long startWith(const QStringList& argv, ErrorOutput errors, const StartExtras& extras) override;
    bool awaitEnd(long long processId, int milliseconds) override;

    struct Child;  // what a forked child is to become

private:
    long long launch(const QStringList& argv, Child& child);
    // Ends the process group a service leads, while its leader is still unreaped.
    void endGroup(long long processId);
    struct KeptErrors {
        int pipe = -1;  // the reading end, until the program's side has closed
        QByteArray tail;
    };
    void readErrors(long long processId);
    void dropErrors(long long processId);

    std::map<long long, int> ended_;  // reaped children, asked about again
    std::map<long long, KeptErrors> errors_;
    std::set<long long> groups_;  // services leading a process group, until reaped
};

}  // namespace quendrel::platform
