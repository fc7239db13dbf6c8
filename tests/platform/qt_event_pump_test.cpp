#include "platform/qt_event_pump.h"

#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <gtest/gtest.h>

namespace quendrel::platform {
namespace {

// A wait that an event ends early must leave nothing behind that wakes
// later waits: a run waiting on the printer would otherwise spin faster and
// faster.
TEST(QtEventPump, EarlyWakeLeavesNoTimerBehind) {
    QtEventPump pump;
    for (int i = 0; i < 20; ++i) {
        QTimer::singleShot(2, [] {});
        pump.waitForEvents(1000);
    }
    const long long start = pump.steadyMilliseconds();
    int wakes = 0;
    while (pump.steadyMilliseconds() - start < 1500) {
        pump.waitForEvents(100);
        ++wakes;
    }
    EXPECT_LE(wakes, 20) << "about 15 waits of 100 ms fit in 1.5 s";
}

TEST(QtEventPump, WaitReturnsWhenItsTimeIsUp) {
    QtEventPump pump;
    const long long start = pump.steadyMilliseconds();
    pump.waitForEvents(50);
    const long long waited = pump.steadyMilliseconds() - start;
    EXPECT_GE(waited, 45);
    EXPECT_LT(waited, 1000);
}

// A run is one long handler: what its pages give up for later deletion must
// go while it runs, or a long run piles up the widgets of every page.
TEST(QtEventPump, DeletesWhatAHandlerGaveUp) {
    QtEventPump pump;
    QEventLoop loop;
    bool gone = false;
    QTimer::singleShot(0, [&] {
        QPointer<QObject> released = new QObject;
        released->deleteLater();
        pump.processEvents();
        gone = released.isNull();
        loop.quit();
    });
    loop.exec();
    EXPECT_TRUE(gone);
}

}  // namespace
}  // namespace quendrel::platform
