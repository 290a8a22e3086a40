// The simulated camera's live view: a producer thread that renders the scene into 24-bit frames at a fixed
// rate, lets the host's frame callback work on each frame in place, and hands it to the view through a
// FramePool. The view hears of new frames through an eventfd (no allocation, no queued events per frame).
#pragma once

#include "component/FramePool.h"
#include "component/SceneRenderer.h"
#include "control/Dispatch.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace quor::component {

class LiveView {
public:
    static constexpr const char* kThreadName = "quor-liveview";
    // Highest rate Start takes. Rates far beyond a display's are for soak runs and benchmarks: the producer then
    // runs as fast as rendering and the frame callback let it.
    static constexpr int kMaxFps = 100000;

    LiveView();
    ~LiveView(); // Stop()
    LiveView(const LiveView&) = delete;
    LiveView& operator=(const LiveView&) = delete;

    // Window thread. Sizes the pool and starts producing width x height frames at `fps`. False when already
    // running or the size or rate is out of range.
    bool Start(int width, int height, int fps);
    // Window thread. Frames come from a producer of the caller's (a real camera) instead of the renderer: sizes
    // the pool for width x height and takes frames through Feed(). False when already running or the size is out
    // of range.
    bool StartFed(int width, int height);
    // Window thread. Stops the producer and joins it (or, when fed, makes Feed refuse from now on); returns within
    // about one frame's work.
    void Stop();
    bool Running() const { return thread_.joinable() || fed_; }
    bool Fed() const { return fed_; }

    // Producer thread of a fed run. Fills the next buffer with `fill`, runs the host's callback on it, publishes
    // it and wakes the view. False (nothing published) when the run has been stopped or `fill` failed.
    using FillFn = bool (*)(Frame& frame, void* context);
    bool Feed(FillFn fill, void* context);

    // Any thread; the next frame uses them.
    void SetCallback(FrameCallback callback, std::intptr_t context);
    void SetScene(const SceneParams& params);

    // The consumer's side of the pool (window thread only) and the descriptor that becomes readable when a
    // frame has been published. Reading it (8 bytes) clears it.
    FramePool& Pool() { return pool_; }
    int NotifyFd() const { return notifyFd_; }

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Fps() const { return fps_; }
    // Time the host's callback took on the latest frame, in nanoseconds (0 without a callback).
    std::int64_t LastCallbackNs() const { return lastCallbackNs_.load(std::memory_order_relaxed); }

private:
    void Run();

    FramePool pool_;
    SceneRenderer renderer_; // producer thread only
    int notifyFd_ = -1;
    int width_ = 0, height_ = 0, fps_ = 0;

    std::mutex mutex_; // guards the fields below
    std::condition_variable wake_;
    bool stop_ = false;
    SceneParams scene_;
    FrameCallback callback_ = nullptr;
    std::intptr_t context_ = 0;

    // Fed runs: the producer writes only while feedOpen_ is set, under feedMutex_, so Stop() knows it is done.
    bool fed_ = false; // window thread
    std::mutex feedMutex_;
    bool feedOpen_ = false;
    std::uint64_t fedSequence_ = 0;

    std::atomic<std::int64_t> lastCallbackNs_{0};
    std::thread thread_;
};

} // namespace quor::component
