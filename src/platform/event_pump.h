#pragma once
// Processing of pending window events and the program's two kinds of pause.
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

}  // namespace quendrel::platform
