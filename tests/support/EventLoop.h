// Waiting in tests for what arrives through the window's event loop.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

#include <chrono>
#include <functional>
#include <thread>

namespace quor::test {

// Runs the window's event loop until `done` holds or `ms` have passed; whether it holds.
inline bool WaitUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Runs the window's event loop for `ms`.
inline void Settle(int ms) {
    WaitUntil([] { return false; }, ms);
}

} // namespace quor::test
