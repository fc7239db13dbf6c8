#pragma once
#include "event_pump.h"

namespace quendrel::platform {

class QtEventPump : public EventPump {
public:
    void processEvents() override;
    void waitForEvents(int milliseconds) override;
    void sleepBlocking(int milliseconds) override;
    long long steadyMilliseconds() override;
};

}  // namespace quendrel::platform
