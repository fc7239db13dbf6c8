#include "deadline_pump.h"

#include <algorithm>

namespace iecapt {

void DeadlinePump::waitForEvents(int milliseconds) {
    const long long left = deadline_ - real_.steadyMilliseconds();
    if (left <= 0) throw TimeLimitReached{};
    real_.waitForEvents(static_cast<int>(std::min<long long>(milliseconds, left)));
    if (real_.steadyMilliseconds() >= deadline_) throw TimeLimitReached{};
}

}  // namespace iecapt
