#pragma once
// The last guard of the time limit. The event loop handles the limit itself;
// if the engine does not wind down in time after that, this thread ends the
// process outright, removing a half-written image first.
#include <QByteArray>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace iecapt {

class HardDeadline {
public:
    // Ends the process with exitCode once `milliseconds` have passed, unless
    // the object is destroyed before.
    HardDeadline(int milliseconds, int exitCode);
    ~HardDeadline();
    HardDeadline(const HardDeadline&) = delete;
    HardDeadline& operator=(const HardDeadline&) = delete;

    // The file being written now, removed if the deadline strikes; empty when none.
    static void setPendingFile(const QByteArray& path);

private:
    void watch(int milliseconds, int exitCode);

    std::mutex mutex_;
    std::condition_variable cancelled_;
    bool done_ = false;
    std::thread thread_;
};

}  // namespace iecapt
