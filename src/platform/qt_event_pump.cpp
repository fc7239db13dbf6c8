#include "qt_event_pump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <chrono>

namespace quendrel::platform {

void QtEventPump::processEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    // Objects given up for later deletion while a run is under way would
    // otherwise wait for the run's handler to return: the widgets of every
    // page a long run has printed would pile up until then.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void QtEventPump::waitForEvents(int milliseconds) {
    // Sleeps in the event loop until something arrives or the time is up, so a
    // waiting run uses no CPU while the window stays responsive.
    if (milliseconds <= 0) {
        processEvents();
        return;
    }
    // The timer lives on the stack: one left armed after an early return
    // would wake a later wait for nothing, and those wake-ups multiply.
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    limit.start(milliseconds);
    loop.processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    loop.processEvents(QEventLoop::AllEvents);
}

void QtEventPump::sleepBlocking(int milliseconds) { QThread::msleep(milliseconds); }

long long QtEventPump::steadyMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace quendrel::platform
