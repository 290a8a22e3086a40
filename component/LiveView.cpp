#include "component/LiveView.h"

#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>

namespace quor::component {

LiveView::LiveView() : notifyFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

LiveView::~LiveView() {
    Stop();
    if (notifyFd_ >= 0)
        ::close(notifyFd_);
}

bool LiveView::Start(int width, int height, int fps) {
    if (Running() || width <= 0 || height <= 0 || width > 8192 || height > 8192 || fps <= 0 || fps > kMaxFps)
        return false;
    width_ = width;
    height_ = height;
    fps_ = fps;
    pool_.Configure(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
    pool_.ResetCounters();
    lastCallbackNs_.store(0, std::memory_order_relaxed);
    {
        std::lock_guard lock(mutex_);
        stop_ = false;
    }
    thread_ = std::thread([this] { Run(); });
    return true;
}

bool LiveView::StartFed(int width, int height) {
    if (Running() || width <= 0 || height <= 0 || width > 8192 || height > 8192)
        return false;
    width_ = width;
    height_ = height;
    fps_ = 0; // the camera sets the pace
    pool_.Configure(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
    pool_.ResetCounters();
    lastCallbackNs_.store(0, std::memory_order_relaxed);
    std::lock_guard lock(feedMutex_);
    fedSequence_ = 0;
    feedOpen_ = true;
    fed_ = true;
    return true;
}

bool LiveView::Feed(FillFn fill, void* context) {
    std::lock_guard feed(feedMutex_);
    if (!feedOpen_)
        return false;
    Frame& frame = pool_.WriteBuffer();
    if (!fill(frame, context))
        return false;
    FrameCallback callback = nullptr;
    std::intptr_t callbackContext = 0;
    {
        std::lock_guard lock(mutex_);
        callback = callback_;
        callbackContext = context_;
    }
    using Clock = std::chrono::steady_clock;
    frame.callbackNs = 0;
    if (callback) {
        const auto t0 = Clock::now();
        callback(frame.bytes.data(), frame.width, frame.height, callbackContext);
        frame.callbackNs = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - t0).count();
    }
    lastCallbackNs_.store(frame.callbackNs, std::memory_order_relaxed);
    frame.sequence = ++fedSequence_;
    frame.producedNs = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
    pool_.Publish();
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(notifyFd_, &one, sizeof one);
    return true;
}

void LiveView::Stop() {
    if (fed_) {
        {
            std::lock_guard feed(feedMutex_);
            feedOpen_ = false;
        }
        fed_ = false;
        std::uint64_t drained = 0;
        [[maybe_unused]] const ssize_t n = ::read(notifyFd_, &drained, sizeof drained);
        return;
    }
    if (!thread_.joinable())
        return;
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
    // A notification left in the descriptor would announce a frame of the stopped run.
    std::uint64_t drained = 0;
    [[maybe_unused]] const ssize_t n = ::read(notifyFd_, &drained, sizeof drained);
}

void LiveView::SetCallback(FrameCallback callback, std::intptr_t context) {
    std::lock_guard lock(mutex_);
    callback_ = callback;
    context_ = context;
}

void LiveView::SetScene(const SceneParams& params) {
    std::lock_guard lock(mutex_);
    const double seconds = scene_.seconds;
    scene_ = params;
    scene_.seconds = seconds;
}

void LiveView::Run() {
    pthread_setname_np(pthread_self(), kThreadName);
    using Clock = std::chrono::steady_clock;
    const auto period = std::chrono::nanoseconds(1'000'000'000LL / fps_);
    const auto start = Clock::now();
    auto next = start;
    const auto w = static_cast<std::uint32_t>(width_), h = static_cast<std::uint32_t>(height_);
    std::uint64_t sequence = 0;
    for (;;) {
        SceneParams scene;
        FrameCallback callback = nullptr;
        std::intptr_t context = 0;
        {
            std::lock_guard lock(mutex_);
            if (stop_)
                return;
            scene = scene_;
            callback = callback_;
            context = context_;
        }
        scene.seconds = std::chrono::duration<double>(Clock::now() - start).count();

        Frame& frame = pool_.WriteBuffer();
        renderer_.Render(frame.bytes.data(), width_, height_, frame.stride, scene);
        frame.callbackNs = 0;
        if (callback) {
            const auto t0 = Clock::now();
            callback(frame.bytes.data(), w, h, context);
            frame.callbackNs = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - t0).count();
        }
        lastCallbackNs_.store(frame.callbackNs, std::memory_order_relaxed);
        frame.sequence = ++sequence;
        frame.producedNs = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
        pool_.Publish();
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(notifyFd_, &one, sizeof one);

        // Keep the rate; after a stall, carry on from now instead of catching up in a burst.
        next += period;
        const auto now = Clock::now();
        if (next < now - period)
            next = now;
        std::unique_lock lock(mutex_);
        wake_.wait_until(lock, next, [this] { return stop_; });
        if (stop_)
            return;
    }
}

} // namespace quor::component
