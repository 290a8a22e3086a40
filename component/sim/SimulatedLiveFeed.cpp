#include "component/sim/SimulatedLiveFeed.h"

#include "component/liveview/LiveView.h"
#include "component/session/Threads.h"

#include <pthread.h>

#include <chrono>

namespace quor::component {

bool SimulatedLiveFeed::Start(LiveView& live, int width, int height, int fps) {
    if (Running() || fps <= 0 || fps > kMaxFps || !live.Start(width, height, fps))
        return false;
    live_ = &live;
    {
        std::lock_guard lock(mutex_);
        stop_ = false;
    }
    thread_ = std::thread([this, width, height, fps] { Run(width, height, fps); });
    return true;
}

void SimulatedLiveFeed::Stop() {
    if (!StopThread(thread_, mutex_, stop_, wake_))
        return;
    live_->Stop();
}

void SimulatedLiveFeed::SetScene(const SceneParams& params) {
    std::lock_guard lock(mutex_);
    const double seconds = scene_.seconds;
    scene_ = params;
    scene_.seconds = seconds;
}

void SimulatedLiveFeed::Run(int width, int height, int fps) {
    pthread_setname_np(pthread_self(), kThreadName);
    using Clock = std::chrono::steady_clock;
    const auto period = std::chrono::nanoseconds(1'000'000'000LL / fps);
    const auto start = Clock::now();
    auto next = start;
    struct Job {
        SceneRenderer* renderer;
        SceneParams scene;
    } job{&renderer_, {}};
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (stop_)
                return;
            job.scene = scene_;
        }
        job.scene.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        live_->Feed(
            width, height,
            [](Frame& frame, void* context) {
                auto& j = *static_cast<Job*>(context);
                j.renderer->Render(frame.bytes.data(), int(frame.width), int(frame.height), frame.stride, j.scene);
                return true;
            },
            &job);
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
