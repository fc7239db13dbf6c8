#include "hard_deadline.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace iecapt {

namespace {

std::mutex pendingMutex;
QByteArray pendingFile;

}  // namespace

HardDeadline::HardDeadline(int milliseconds, int exitCode)
    : thread_([this, milliseconds, exitCode] { watch(milliseconds, exitCode); }) {}

HardDeadline::~HardDeadline() {
    {
        std::lock_guard lock(mutex_);
        done_ = true;
    }
    cancelled_.notify_all();
    thread_.join();
}

void HardDeadline::setPendingFile(const QByteArray& path) {
    std::lock_guard lock(pendingMutex);
    pendingFile = path;
}

void HardDeadline::watch(int milliseconds, int exitCode) {
    std::unique_lock lock(mutex_);
    if (cancelled_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return done_; }))
        return;
    {
        std::lock_guard pendingLock(pendingMutex);
        if (!pendingFile.isEmpty()) ::unlink(pendingFile.constData());
    }
    std::fputs("iecapt: time limit reached; the engine did not stop in time\n", stderr);
    std::fflush(stderr);
    std::_Exit(exitCode);
}

}  // namespace iecapt
