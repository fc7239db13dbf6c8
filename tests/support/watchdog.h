#pragma once
// Ends the test program when the scope it guards outlasts its limit: a call
// that blocks in a system call, or reads without end, cannot be stopped in any
// other way, and a test must not hang or eat the machine's memory.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace quendrel::testing {

class Watchdog {
public:
    Watchdog(int limitMs, const char* what)
        : thread_([this, limitMs, what] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (!done_.wait_for(lock, std::chrono::milliseconds(limitMs), [this] { return finished_; })) {
                  std::fprintf(stderr, "%s did not return within %d ms\n", what, limitMs);
                  std::_Exit(EXIT_FAILURE);
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            finished_ = true;
        }
        done_.notify_one();
        thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread thread_;  // last: it starts once the rest is made
};

}  // namespace quendrel::testing
