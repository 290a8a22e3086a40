// Event-loop helpers the benchmarks share: they time work whose end is reported through the window's queue.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

namespace quor::bench {

// Runs the event loop until `done` holds or `ms` have passed; returns whether it holds. The loop sleeps until an
// event comes (a timer wakes it now and then to look at the clock), so that what it waits for is seen at once.
template <typename Pred>
bool WaitFor(Pred done, int ms) {
    QElapsedTimer t;
    t.start();
    QTimer tick;
    tick.start(5);
    while (!done()) {
        if (t.elapsed() >= ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Runs the event loop for `ms`.
inline void Wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace quor::bench
