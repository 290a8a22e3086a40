// The simulated camera's live-view output: a thread that renders the scene at a fixed rate into the live-view
// pipeline, each frame as the camera's exposure, white balance and lens see it at that moment.
#pragma once

#include "component/sim/SceneRenderer.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace quor::component {

class LiveView;

class SimulatedLiveFeed {
public:
    static constexpr const char* kThreadName = "quor-liveview";
    // Highest rate Start takes. Rates far beyond a display's are for soak runs and benchmarks: the producer then
    // runs as fast as rendering and the frame callback let it.
    static constexpr int kMaxFps = 100000;

    SimulatedLiveFeed() = default;
    ~SimulatedLiveFeed() { Stop(); }
    SimulatedLiveFeed(const SimulatedLiveFeed&) = delete;
    SimulatedLiveFeed& operator=(const SimulatedLiveFeed&) = delete;

    // Opens `live` and starts rendering width x height frames into it at `fps`. False when running already, or
    // the size or rate is out of range.
    bool Start(LiveView& live, int width, int height, int fps);
    // Stops the thread and the pipeline; returns within about one frame's work.
    void Stop();
    bool Running() const { return thread_.joinable(); }

    // Any thread; the next frame uses them.
    void SetScene(const SceneParams& params);

private:
    void Run(int width, int height, int fps);

    LiveView* live_ = nullptr;
    SceneRenderer renderer_; // the thread's only
    std::mutex mutex_;       // guards stop_ and scene_
    std::condition_variable wake_;
    bool stop_ = false;
    SceneParams scene_;
    std::thread thread_;
};

} // namespace quor::component
