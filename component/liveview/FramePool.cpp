#include "component/liveview/FramePool.h"

namespace quor::component {

void Frame::Shape(std::uint32_t w, std::uint32_t h) {
    if (w == width && h == height)
        return;
    stride = static_cast<std::size_t>(((static_cast<std::uint64_t>(w) * 24u + 31u) / 32u) * 4u);
    bytes.resize(stride * h);
    if (!marked.empty())
        marked.resize(bytes.size());
    width = w;
    height = h;
}

void Frame::ShapeMarked() {
    if (marked.size() != bytes.size())
        marked.resize(bytes.size());
}

FramePool::FramePool() : middle_(1) {}

void FramePool::Configure(std::uint32_t width, std::uint32_t height) {
    for (Frame& f : frames_) {
        f.Shape(width, height);
        f.sequence = 0;
    }
    back_ = 0;
    middle_.store(1, std::memory_order_relaxed);
    front_ = 2;
    taken_ = false;
}

Frame& FramePool::WriteBuffer(std::uint32_t width, std::uint32_t height) {
    Frame& frame = frames_[static_cast<std::size_t>(back_)];
    frame.Shape(width, height);
    return frame;
}

bool FramePool::Publish() {
    const std::uint8_t previous =
        middle_.exchange(static_cast<std::uint8_t>(back_ | kFresh), std::memory_order_acq_rel);
    back_ = previous & 0x3;
    published_.fetch_add(1, std::memory_order_relaxed);
    if (previous & kFresh) {
        dropped_.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    return true;
}

const Frame* FramePool::TakeNewest() {
    if (!(middle_.load(std::memory_order_acquire) & kFresh))
        return nullptr;
    const std::uint8_t previous = middle_.exchange(static_cast<std::uint8_t>(front_), std::memory_order_acq_rel);
    front_ = previous & 0x3;
    taken_ = true;
    return &frames_[static_cast<std::size_t>(front_)];
}

const Frame* FramePool::Current() const { return taken_ ? &frames_[static_cast<std::size_t>(front_)] : nullptr; }

void FramePool::ResetCounters() {
    published_.store(0, std::memory_order_relaxed);
    dropped_.store(0, std::memory_order_relaxed);
}

} // namespace quor::component
