#pragma once
// Starting other programs and learning when they end.
#include "failure.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

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

// Where a started program's standard error goes: the caller's own, or kept
// for the caller to read (a program that says why it failed there).
enum class ErrorOutput { Shared, Kept };

// What a program gets beyond its argument vector and its standard error.
struct StartExtras {
    // Given to the program as its descriptors 3, 4, ... in this order; the
    // caller's own stay open and its.
    std::vector<int> descriptors;
    // NAME=value settings added to the environment it inherits.
    QStringList environment;
    // Its standard error goes to this file (made with mode 0600) in place of
    // what ErrorOutput says.
    QString errorFile;
    // A service of this program (the web engine): it leads a process group of
    // its own, which stop() ends whole before the leader is reaped, it is
    // ended when this process ends, and its standard input and output are
    // /dev/null.
    bool service = false;
};

class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;
    // Starts the program argv[0] with the argument vector as given, no shell.
    // Gives the process id, or throws StartFailure when the program cannot start.
    virtual long long start(const QStringList& argv, ErrorOutput errors) = 0;
    long long start(const QStringList& argv) { return start(argv, ErrorOutput::Shared); }
    // Starts the program as above with the extras. A launcher that cannot
    // give them refuses (StartFailure 5).
    virtual long long startWith(const QStringList& argv, ErrorOutput errors, const StartExtras& extras) {
        (void)argv;
        (void)errors;
        (void)extras;
        throw StartFailure(5, QStringLiteral("Invalid procedure call or argument: no extras given here"));
    }
    // Waits at most the time given for the process to end, without reaping
    // it; whether it has ended. A launcher that cannot wait only looks.
    virtual bool awaitEnd(long long processId, int milliseconds) {
        (void)milliseconds;
        return exitCode(processId).has_value();
    }
    // The exit code once the process has ended (reaping it); nothing while it runs.
    virtual std::optional<int> exitCode(long long processId) = 0;
    // Ends a process that is still running and reaps it; a process that has
    // ended already is only reaped. What it kept of its errors is dropped.
    virtual void stop(long long processId) = 0;
    // The end of what a process started with ErrorOutput::Kept wrote on its
    // standard error (all it wrote, once exitCode has given its code), which
    // is then forgotten; empty for any other process.
    virtual QByteArray takeErrorOutput(long long processId) = 0;
};

}  // namespace quendrel::platform
