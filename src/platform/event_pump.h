#pragma once
// Processing of pending window events and the program's two kinds of pause.
#include <algorithm>
#include <climits>
#include <functional>

namespace quendrel::platform {

class EventPump {
public:
    virtual ~EventPump() = default;
    // Handles the window events that are pending now and returns.
    virtual void processEvents() = 0;
    // Handles events as they arrive for up to the given time; returns early after
    // the first batch. Waiting loops call this instead of spinning.
    virtual void waitForEvents(int milliseconds) = 0;
    // Sleeps the thread; no window event is handled meanwhile.
    virtual void sleepBlocking(int milliseconds) = 0;
    // A steady clock in milliseconds, for measuring waits.
    virtual long long steadyMilliseconds() = 0;
};

// A wait looks at its condition at least this often; it also looks after
// every batch of events, which is when conditions change.
inline constexpr int kWaitSliceMs = 100;
// A deadline that never comes, for waits that something else bounds.
inline constexpr long long kNoDeadline = LLONG_MAX;

// Handles events until the condition holds or the deadline (a point of
// steadyMilliseconds()) has passed; gives whether the condition holds. The
// condition is looked at before the first wait, so one that holds costs no
// wait at all. A wait for time alone passes a condition that never holds.
inline bool WaitUntil(EventPump& events, const std::function<bool()>& holds, long long deadline,
                      int sliceMs = kWaitSliceMs) {
    for (long long now = events.steadyMilliseconds(); !holds(); now = events.steadyMilliseconds()) {
        if (now >= deadline) return false;
        events.waitForEvents(static_cast<int>(std::min<long long>(sliceMs, deadline - now)));
    }
    return true;
}

// Handles events for the given time.
inline void WaitFor(EventPump& events, int milliseconds) {
    WaitUntil(events, [] { return false; }, events.steadyMilliseconds() + milliseconds, milliseconds);
}

}  // namespace quendrel::platform
