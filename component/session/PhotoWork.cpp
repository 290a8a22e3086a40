#include "component/session/PhotoWork.h"

#include <condition_variable>
#include <mutex>

namespace quor::component {
namespace {

struct Counter {
    std::mutex mutex;
    std::condition_variable idle;
    int count = 0;
};

Counter& TheCounter() {
    // Never destroyed: a worker may still leave its scope while the process ends.
    static Counter* counter = new Counter;
    return *counter;
}

} // namespace

PhotoWork::Scope::Scope() {
    Counter& c = TheCounter();
    std::lock_guard lock(c.mutex);
    ++c.count;
}

PhotoWork::Scope::~Scope() {
    Counter& c = TheCounter();
    {
        std::lock_guard lock(c.mutex);
        --c.count;
    }
    c.idle.notify_all();
}

int PhotoWork::InProgress() {
    Counter& c = TheCounter();
    std::lock_guard lock(c.mutex);
    return c.count;
}

bool PhotoWork::WaitNone(std::chrono::steady_clock::time_point deadline) {
    Counter& c = TheCounter();
    std::unique_lock lock(c.mutex);
    return c.idle.wait_until(lock, deadline, [&c] { return c.count == 0; });
}

} // namespace quor::component
