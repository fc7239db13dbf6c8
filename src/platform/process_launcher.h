#pragma once
// Starting other programs and learning when they end.
#include "failure.h"

#include <QStringList>
#include <optional>

namespace quendrel::platform {

// A program that could not be started, with the number of the reason
// (53 when the program file does not exist).
class StartFailure : public Failure {
public:
    StartFailure(int errorNumber, const QString& description)
        : Failure(description), errorNumber_(errorNumber) {}
    int errorNumber() const { return errorNumber_; }

private:
    int errorNumber_;
};

class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;
    // Starts the program argv[0] with the argument vector as given, no shell.
    // Gives the process id, or throws StartFailure when the program cannot start.
    virtual long long start(const QStringList& argv) = 0;
    // The exit code once the process has ended (reaping it); nothing while it runs.
    virtual std::optional<int> exitCode(long long processId) = 0;
    // Ends a process that is still running and reaps it; a process that has
    // ended already is only reaped.
    virtual void stop(long long processId) = 0;
};

}  // namespace quendrel::platform
