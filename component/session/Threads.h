// Ending a worker thread the way every one of the component's workers is ended: its stop flag set under its
// lock, the thread woken, then waited for.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace quor::component {

// Does nothing when the thread is not running. False then, true when it was stopped.
inline bool StopThread(std::thread& thread, std::mutex& mutex, bool& stop, std::condition_variable& wake) {
    if (!thread.joinable())
        return false;
    {
        std::lock_guard lock(mutex);
        stop = true;
    }
    wake.notify_all();
    thread.join();
    return true;
}

} // namespace quor::component
