// One thread for the component's small file work that must not hold up the window: reading the crop-frame
// image, writing the remembered preferences, clearing temporaries left by a crash. Tasks run in order; the
// thread starts with the first one.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace quor::component::storage {

class IoQueue {
public:
    static constexpr const char* kThreadName = "quor-io";

    IoQueue() = default;
    ~IoQueue() { Stop(); }
    IoQueue(const IoQueue&) = delete;
    IoQueue& operator=(const IoQueue&) = delete;

    // Runs `task` on the queue's thread after those queued before it. Dropped once stopped.
    void Post(std::function<void()> task);
    // Runs what is queued, then ends the thread and waits for it. Nothing is taken afterwards.
    void Stop();
    // Waits until everything queued so far has run (tests, and the end of a settings change).
    void Drain();

private:
    void Run();

    std::mutex mutex_;
    std::condition_variable wake_, idle_;
    std::deque<std::function<void()>> tasks_;
    bool busy_ = false;
    bool stop_ = false;
    std::thread thread_; // started and joined on the owner's thread
};

} // namespace quor::component::storage
