// Event-loop helpers the benchmarks share: they time work whose end is reported through the window's queue.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

namespace quor::bench {

// Runs the event loop until `done` holds or `ms` have passed; returns whether it holds.
template <typename Pred>
bool WaitFor(Pred done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() >= ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(200);
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
