// The live-view pipeline: frames from a producer thread (the simulated camera's renderer, or a real camera's
// decoder) pass the host's frame callback, which works on each frame in place, and reach the view through a
// FramePool. The view hears of new frames through an eventfd (no allocation, no queued events per frame). Each
// frame carries its own size: a producer changes it by delivering frames of another size, with no round trip.
#pragma once

#include "component/liveview/Aids.h"
#include "component/liveview/FramePool.h"
#include "control/Dispatch.h"

#include <atomic>
#include <cstdint>
#include <mutex>

namespace quor::component {

class LiveView {
public:
    static constexpr int kMaxSide = 8192;

    LiveView();
    ~LiveView(); // Stop()
    LiveView(const LiveView&) = delete;
    LiveView& operator=(const LiveView&) = delete;

    // Window thread. Opens the pipeline, its buffers sized for width x height frames; `fps` is the producer's
    // nominal rate (0: the camera sets it). False when already running or the size is out of range.
    bool Start(int width, int height, int fps);
    // Window thread. Feed refuses from now on; returns once a Feed in progress has finished.
    void Stop();
    bool Running() const { return running_; }

    // Producer thread. Fills the next buffer, shaped for width x height, with `fill`, runs the host's callback on
    // it, publishes it and wakes the view. False (nothing published) when the pipeline is stopped, the size is
    // out of range or `fill` failed.
    using FillFn = bool (*)(Frame& frame, void* context);
    bool Feed(int width, int height, FillFn fill, void* context);

    // Any thread; the next frame uses it.
    void SetCallback(FrameCallback callback, std::intptr_t context);
    // Any thread; the aids worked out on every frame from the next one on.
    void SetAids(const AidSettings& aids);
    AidSettings Aids() const;

    // The consumer's side of the pool (window thread only) and the descriptor that becomes readable when a
    // frame has been published. Reading it (8 bytes) clears it.
    FramePool& Pool() { return pool_; }
    int NotifyFd() const { return notifyFd_; }

    // The size of the latest frame (that of Start before the first), and the nominal rate (0: the camera's).
    int Width() const { return width_.load(std::memory_order_relaxed); }
    int Height() const { return height_.load(std::memory_order_relaxed); }
    int Fps() const { return fps_; }
    // Time the host's callback took on the latest frame, in nanoseconds (0 without a callback).
    std::int64_t LastCallbackNs() const { return lastCallbackNs_.load(std::memory_order_relaxed); }
    // Time the aids took on all frames since Start, and how many frames they ran on (for an average per frame).
    std::int64_t AidNsTotal() const { return aidNsTotal_.load(std::memory_order_relaxed); }
    std::uint64_t AidFrames() const { return aidFrames_.load(std::memory_order_relaxed); }

private:
    FramePool pool_;
    int notifyFd_ = -1;
    bool running_ = false; // window thread
    int fps_ = 0;
    std::atomic<int> width_{0}, height_{0};

    mutable std::mutex callbackMutex_; // guards callback_, context_ and aids_
    FrameCallback callback_ = nullptr;
    std::intptr_t context_ = 0;
    AidSettings aids_;
    AidProcessor aidProcessor_; // the producer's, under feedMutex_

    // The producer writes only while open_ is set, under feedMutex_, so that Stop() knows it is done.
    std::mutex feedMutex_;
    bool open_ = false;
    std::uint64_t sequence_ = 0;

    std::atomic<std::int64_t> lastCallbackNs_{0};
    std::atomic<std::int64_t> aidNsTotal_{0};
    std::atomic<std::uint64_t> aidFrames_{0};
};

} // namespace quor::component
