// Hands live-view frames from the producer thread to the window thread through three fixed buffers (triple
// buffering): the producer always has a buffer to write, the view always reads a whole frame that nobody
// writes meanwhile, and a frame the view had no time for is replaced by a newer one (counted as dropped)
// instead of queueing. Nothing is allocated per frame.
#pragma once

#include "component/liveview/Aids.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quor::component {

struct Frame {
    // Makes the frame width x height (rows 4-byte aligned). Allocates only when it grows past what it had.
    void Shape(std::uint32_t width, std::uint32_t height);
    // Makes `marked` the size of `bytes`; the aids call it on frames they draw marks on, so that a pool whose
    // frames never carry marks never holds their memory. Allocates only when it grows past what it had.
    void ShapeMarked();

    std::vector<unsigned char> bytes; // height rows of `stride` bytes, 3 bytes a pixel
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::size_t stride = 0;
    std::uint64_t sequence = 0;       // counts frames produced since live view started
    std::int64_t producedNs = 0;      // steady-clock time the frame was finished
    std::int64_t callbackNs = 0;      // time spent in the host's frame callback for this frame

    // The aids (see Aids.h): the frame with zebra and peaking drawn in (same shape as `bytes`), and its
    // histogram. Valid only while the flags say so.
    std::vector<unsigned char> marked;
    bool hasMarks = false;
    Histogram histogram;
    bool hasHistogram = false;
    std::int64_t aidNs = 0; // time spent on the aids for this frame
    // The pixels the view shows: `marked` when it holds marks, else `bytes`.
    const unsigned char* Shown() const { return hasMarks ? marked.data() : bytes.data(); }
};

class FramePool {
public:
    FramePool();

    // Sizes the three buffers for frames of width x height and starts afresh. Allocates only when the size
    // grows. Call only while neither side uses the pool.
    void Configure(std::uint32_t width, std::uint32_t height);

    // Producer side: the buffer to fill next (always available), shaped for a frame of width x height (each
    // frame carries its own size, so a producer may change it between frames), then publish it.
    Frame& WriteBuffer(std::uint32_t width, std::uint32_t height);
    // Makes the written buffer the newest frame. Returns false when the previous newest frame was never taken
    // by the consumer (it is dropped).
    bool Publish();

    // Consumer side: takes the newest frame if one was published since the last take; returns nullptr otherwise.
    // The returned frame stays valid and unchanged until the next TakeNewest.
    const Frame* TakeNewest();
    // The frame last taken (nullptr before the first).
    const Frame* Current() const;

    std::uint64_t Published() const { return published_.load(std::memory_order_relaxed); }
    std::uint64_t Dropped() const { return dropped_.load(std::memory_order_relaxed); }
    void ResetCounters();

private:
    static constexpr std::uint8_t kFresh = 0x4;
    std::array<Frame, 3> frames_;
    int back_ = 0;                      // producer's buffer
    int front_ = 2;                     // consumer's buffer
    bool taken_ = false;                // the consumer has taken a frame since Configure
    std::atomic<std::uint8_t> middle_;  // index of the ready buffer, | kFresh when not yet taken
    std::atomic<std::uint64_t> published_{0};
    std::atomic<std::uint64_t> dropped_{0};
};

} // namespace quor::component
