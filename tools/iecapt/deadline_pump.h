#pragma once
// The event pump of the capture: Qt's, bounded by the program's time limit.
// Every wait of the capture (engine calls, the load, the settle) goes through
// it, so the limit ends the capture wherever it stands, also in the middle of
// a call to an engine that does not answer.
#include "platform/qt_event_pump.h"

namespace iecapt {

// Thrown out of a wait once the time limit has passed; never from inside a
// Qt event handler.
struct TimeLimitReached {};

class DeadlinePump : public quendrel::platform::EventPump {
public:
    // The limit is a point of steadyMilliseconds().
    explicit DeadlinePump(long long deadline) : deadline_(deadline) {}

    void processEvents() override { real_.processEvents(); }
    void waitForEvents(int milliseconds) override;
    void sleepBlocking(int milliseconds) override { real_.sleepBlocking(milliseconds); }
    long long steadyMilliseconds() override { return real_.steadyMilliseconds(); }
    long long deadline() const { return deadline_; }

private:
    quendrel::platform::QtEventPump real_;
    long long deadline_;
};

}  // namespace iecapt
