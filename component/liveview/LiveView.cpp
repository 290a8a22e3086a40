#include "component/liveview/LiveView.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>

namespace quor::component {
namespace {

bool InRange(int width, int height) {
    return width > 0 && height > 0 && width <= LiveView::kMaxSide && height <= LiveView::kMaxSide;
}

} // namespace

LiveView::LiveView() : notifyFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

LiveView::~LiveView() {
    Stop();
    if (notifyFd_ >= 0)
        ::close(notifyFd_);
}

bool LiveView::Start(int width, int height, int fps) {
    if (running_ || !InRange(width, height) || fps < 0)
        return false;
    fps_ = fps;
    width_.store(width, std::memory_order_relaxed);
    height_.store(height, std::memory_order_relaxed);
    pool_.Configure(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
    pool_.ResetCounters();
    lastCallbackNs_.store(0, std::memory_order_relaxed);
    aidNsTotal_.store(0, std::memory_order_relaxed);
    aidFrames_.store(0, std::memory_order_relaxed);
    std::lock_guard feed(feedMutex_);
    sequence_ = 0;
    open_ = true;
    running_ = true;
    return true;
}

bool LiveView::Feed(int width, int height, FillFn fill, void* context) {
    std::lock_guard feed(feedMutex_);
    if (!open_ || !InRange(width, height))
        return false;
    Frame& frame = pool_.WriteBuffer(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
    if (!fill(frame, context))
        return false;
    FrameCallback callback = nullptr;
    std::intptr_t callbackContext = 0;
    AidSettings aids;
    {
        std::lock_guard lock(callbackMutex_);
        callback = callback_;
        callbackContext = context_;
        aids = aids_;
    }
    using Clock = std::chrono::steady_clock;
    frame.callbackNs = 0;
    if (callback) {
        const auto t0 = Clock::now();
        callback(frame.bytes.data(), frame.width, frame.height, callbackContext);
        frame.callbackNs = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - t0).count();
    }
    lastCallbackNs_.store(frame.callbackNs, std::memory_order_relaxed);
    aidProcessor_.Process(frame, aids);
    if (frame.aidNs > 0) {
        aidNsTotal_.fetch_add(frame.aidNs, std::memory_order_relaxed);
        aidFrames_.fetch_add(1, std::memory_order_relaxed);
    }
    frame.sequence = ++sequence_;
    frame.producedNs = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
    width_.store(width, std::memory_order_relaxed);
    height_.store(height, std::memory_order_relaxed);
    pool_.Publish();
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(notifyFd_, &one, sizeof one);
    return true;
}

void LiveView::Stop() {
    if (!running_)
        return;
    {
        std::lock_guard feed(feedMutex_);
        open_ = false;
    }
    running_ = false;
    // A notification left in the descriptor would announce a frame of the stopped run.
    std::uint64_t drained = 0;
    [[maybe_unused]] const ssize_t n = ::read(notifyFd_, &drained, sizeof drained);
}

void LiveView::SetCallback(FrameCallback callback, std::intptr_t context) {
    std::lock_guard lock(callbackMutex_);
    callback_ = callback;
    context_ = context;
}

void LiveView::SetAids(const AidSettings& aids) {
    std::lock_guard lock(callbackMutex_);
    aids_ = aids;
}

AidSettings LiveView::Aids() const {
    std::lock_guard lock(callbackMutex_);
    return aids_;
}

} // namespace quor::component
