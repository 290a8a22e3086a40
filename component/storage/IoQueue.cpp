#include "component/storage/IoQueue.h"

#include <pthread.h>

namespace quor::component::storage {

void IoQueue::Post(std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        if (stop_)
            return;
        tasks_.push_back(std::move(task));
        if (!thread_.joinable())
            thread_ = std::thread([this] { Run(); });
    }
    wake_.notify_one();
}

void IoQueue::Stop() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable())
        thread_.join();
}

void IoQueue::Drain() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return tasks_.empty() && !busy_; });
}

void IoQueue::Run() {
    pthread_setname_np(pthread_self(), kThreadName);
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || !tasks_.empty(); });
        if (tasks_.empty()) {
            idle_.notify_all();
            return; // stopped, with nothing left to do
        }
        std::function<void()> task = std::move(tasks_.front());
        tasks_.pop_front();
        busy_ = true;
        lock.unlock();
        task();
        lock.lock();
        busy_ = false;
        if (tasks_.empty())
            idle_.notify_all();
    }
}

} // namespace quor::component::storage
