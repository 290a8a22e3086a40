// The real-camera path against the stand-in body on 127.0.0.1, each figure next to libgphoto2 alone in the same
// run: live-view frames per second through the whole pipeline (fetch, decode into the pool, frame callback, view)
// against a bare gp_camera_capture_preview loop, and the time from TakePicture to the file on disk against
// gp_camera_capture + gp_camera_file_get. QUOR_BENCH_SECONDS (default 3) per live-view case, QUOR_BENCH_SHOTS
// (default 12) shots per capture case.
// The real-camera path against the stand-in body on 127.0.0.1, each figure next to libgphoto2 alone in the same
// run, both sides putting every photo durably on disk: live-view frames per second through the whole pipeline
// (fetch, decode into the pool, frame callback, view) against a bare gp_camera_capture_preview loop, with the body
// making frames as fast as it is asked and at 25 and 60 per second; the time from TakePicture to the file on disk
// against gp_camera_capture + a download into a file + fsync; and a continuous series of 20 frames at the body's
// pace against a bare wait-for-event loop. QUOR_BENCH_SECONDS (default 3) per live-view case, QUOR_BENCH_SHOTS
// (default 12) shots per capture case.
#include "bench/GPhotoBench.h"
#include "console/FrameMirror.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <map>
#include <vector>

namespace {

using quor::bench::Body;
using quor::bench::Clock;
using quor::bench::EnvInt;
using quor::bench::Wait;
using quor::bench::WaitFor;
using BareCamera = quor::bench::BareCamera;
using Hosted = quor::bench::Hosted;

// Arg: the frames per second the body's sensor makes (0: a new one whenever it is asked).
void Pace(const benchmark::State& state) { Body().SetLiveViewFps(static_cast<int>(state.range(0))); }

std::map<std::int64_t, double> gBareFps; // by pace
double gBareShotMs = 0;
double gBareSeriesFps = 0;

void BM_BarePreviewLoop(benchmark::State& state) {
    Pace(state);
    BareCamera cam;
    if (!cam.ok) {
        state.SkipWithError("cannot connect to the stand-in");
        return;
    }
    CameraFile* file = nullptr;
    gp_file_new(&file);
    for (int i = 0; i < 5; ++i) // live view on, first frames out of the way
        gp_camera_capture_preview(cam.camera, file, cam.context);
    for (auto _ : state) {
        int frames = 0;
        const auto t0 = Clock::now();
        const auto end = t0 + std::chrono::seconds(EnvInt("QUOR_BENCH_SECONDS", 3));
        while (Clock::now() < end)
            if (gp_camera_capture_preview(cam.camera, file, cam.context) == GP_OK)
                ++frames;
        const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        gBareFps[state.range(0)] = frames / seconds;
        state.counters["fps"] = frames / seconds;
    }
    gp_file_unref(file);
}
BENCHMARK(BM_BarePreviewLoop)->Arg(0)->Arg(25)->Arg(60)->ArgName("fps")->Iterations(1)->Unit(benchmark::kSecond);

void Mirror(unsigned char* buffer, std::uint32_t width, std::uint32_t height, std::intptr_t) {
    quor::MirrorFrame(buffer, width, height);
}

void BM_PipelineLiveView(benchmark::State& state) {
    Pace(state);
    Hosted h;
    if (!h.Open()) {
        state.SkipWithError("cannot open the stand-in");
        return;
    }
    h.ctrl->SetFrameCallback(reinterpret_cast<std::intptr_t>(&Mirror), 0);
    h.ctrl->StartLiveView();
    WaitFor([&] { return h.component->View()->CurrentFrame() != nullptr; }, 5000);
    Wait(300);
    for (auto _ : state) {
        auto* view = h.component->View();
        const auto published0 = h.component->Live().Pool().Published();
        const auto taken0 = view->Stats().framesTaken;
        const auto paints0 = view->Stats().paints;
        const auto paintNs0 = view->Stats().paintNs;
        const auto served0 = Body().FramesServed();
        const auto t0 = Clock::now();
        Wait(EnvInt("QUOR_BENCH_SECONDS", 3) * 1000);
        const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        const double decoded = double(h.component->Live().Pool().Published() - published0) / seconds;
        state.counters["decoded_fps"] = decoded;
        state.counters["fetched_fps"] = double(Body().FramesServed() - served0) / seconds;
        state.counters["shown_fps"] = double(view->Stats().framesTaken - taken0) / seconds;
        state.counters["painted_fps"] = double(view->Stats().paints - paints0) / seconds;
        state.counters["paint_us"] =
            double(view->Stats().paintNs - paintNs0) / 1e3 / double(std::max<std::uint64_t>(1, view->Stats().paints - paints0));
        const double bare = gBareFps[state.range(0)];
        state.counters["vs_bare"] = bare > 0 ? decoded / bare : 0.0;
    }
    h.ctrl->StopLiveView();
}
BENCHMARK(BM_PipelineLiveView)->Arg(0)->Arg(25)->Arg(60)->ArgName("fps")->Iterations(1)->Unit(benchmark::kSecond);

void BM_BareShot(benchmark::State& state) {
    BareCamera cam;
    if (!cam.ok) {
        state.SkipWithError("cannot connect to the stand-in");
        return;
    }
    QTemporaryDir dir;
    const int shots = EnvInt("QUOR_BENCH_SHOTS", 12);
    for (auto _ : state) {
        double total = 0;
        for (int i = 0; i < shots; ++i) {
            const auto t0 = Clock::now();
            CameraFilePath path{};
            if (gp_camera_capture(cam.camera, GP_CAPTURE_IMAGE, &path, cam.context) != GP_OK ||
                !cam.Fetch(path.folder, path.name, dir.filePath(QStringLiteral("shot%1.jpg").arg(i)).toStdString())) {
                state.SkipWithError("capture failed");
                return;
            }
            total += std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        }
        gBareShotMs = total / shots;
        state.counters["ms_per_shot"] = gBareShotMs;
    }
}
BENCHMARK(BM_BareShot)->Iterations(1)->Unit(benchmark::kSecond);

void BM_ComponentShotToFile(benchmark::State& state) {
    Hosted h;
    if (!h.Open()) {
        state.SkipWithError("cannot open the stand-in");
        return;
    }
    QTemporaryDir dir;
    const int shots = EnvInt("QUOR_BENCH_SHOTS", 12);
    for (auto _ : state) {
        double total = 0;
        for (int i = 0; i < shots; ++i) {
            const std::string path = dir.filePath(QStringLiteral("shot%1.jpg").arg(i)).toStdString();
            const int before = h.sink.completed;
            const auto t0 = Clock::now();
            h.ctrl->TakePicture(path);
            if (!WaitFor([&] { return h.sink.completed > before; }, 20000)) {
                state.SkipWithError("no DownloadComplete");
                return;
            }
            total += std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        }
        const double ms = total / shots;
        state.counters["ms_per_shot"] = ms;
        state.counters["vs_bare"] = gBareShotMs > 0 ? ms / gBareShotMs : 0.0;
    }
}
BENCHMARK(BM_ComponentShotToFile)->Iterations(1)->Unit(benchmark::kSecond);

constexpr int kSeriesFrames = 20;

// Frames per second between the first and the last of `times`.
double Rate(const std::vector<Clock::time_point>& times) {
    if (times.size() < 2)
        return 0;
    return double(times.size() - 1) / std::chrono::duration<double>(times.back() - times.front()).count();
}

// The body's files announced after the release are fetched too, so that the next case starts with none held.
void DrainBare(BareCamera& cam, const QTemporaryDir& dir, int& n) {
    for (auto quiet = Clock::now(); Clock::now() - quiet < std::chrono::milliseconds(800);) {
        CameraEventType type = GP_EVENT_TIMEOUT;
        void* data = nullptr;
        if (gp_camera_wait_for_event(cam.camera, 50, &type, &data, cam.context) != GP_OK)
            return;
        if (type == GP_EVENT_FILE_ADDED) {
            const auto* p = static_cast<CameraFilePath*>(data);
            cam.Fetch(p->folder, p->name, dir.filePath(QStringLiteral("tail%1.jpg").arg(n++)).toStdString());
            quiet = Clock::now();
        }
        free(data);
    }
}

void BM_BareSeries(benchmark::State& state) {
    BareCamera cam;
    if (!cam.ok) {
        state.SkipWithError("cannot connect to the stand-in");
        return;
    }
    QTemporaryDir dir;
    int n = 0;
    if (!cam.Set("drivemode", "Continuous")) {
        state.SkipWithError("no continuous drive");
        return;
    }
    for (auto _ : state) {
        std::vector<Clock::time_point> landed;
        if (!cam.Set("eosremoterelease", "Press Full")) {
            state.SkipWithError("the series did not start");
            return;
        }
        const auto end = Clock::now() + std::chrono::seconds(30);
        while (landed.size() < kSeriesFrames && Clock::now() < end) {
            CameraEventType type = GP_EVENT_TIMEOUT;
            void* data = nullptr;
            if (gp_camera_wait_for_event(cam.camera, 100, &type, &data, cam.context) != GP_OK)
                break;
            if (type == GP_EVENT_FILE_ADDED) {
                const auto* p = static_cast<CameraFilePath*>(data);
                if (cam.Fetch(p->folder, p->name, dir.filePath(QStringLiteral("s%1.jpg").arg(n++)).toStdString()))
                    landed.push_back(Clock::now());
            }
            free(data);
        }
        cam.Set("eosremoterelease", "Release Full");
        DrainBare(cam, dir, n);
        gBareSeriesFps = Rate(landed);
        state.counters["fps"] = gBareSeriesFps;
        state.counters["frames"] = double(landed.size());
    }
}
BENCHMARK(BM_BareSeries)->Iterations(1)->Unit(benchmark::kSecond);

void BM_ComponentSeries(benchmark::State& state) {
    Hosted h;
    if (!h.Open()) {
        state.SkipWithError("cannot open the stand-in");
        return;
    }
    h.ctrl->SetPropertyValue(quor::prop::DriveMode, 1);
    if (!WaitFor([&] { return h.ctrl->GetPropertyText(quor::prop::DriveMode).find("Continuous") == 0; }, 5000)) {
        state.SkipWithError("no continuous drive");
        return;
    }
    QTemporaryDir dir;
    for (auto _ : state) {
        const std::size_t before = h.sink.completions.size();
        h.ctrl->StartContinuousShooting(dir.path().toStdString());
        WaitFor([&] { return h.sink.completions.size() >= before + kSeriesFrames; }, 30000);
        h.ctrl->StopContinuousShooting();
        const std::vector<Clock::time_point> landed(h.sink.completions.begin() + std::ptrdiff_t(before),
                                                    h.sink.completions.end());
        const double fps = Rate(landed);
        state.counters["fps"] = fps;
        state.counters["frames"] = double(landed.size());
        state.counters["vs_bare"] = gBareSeriesFps > 0 ? fps / gBareSeriesFps : 0.0;
        // The frames still in the body after the stop land too.
        for (std::size_t seen = 0; seen != h.sink.completions.size();) {
            seen = h.sink.completions.size();
            Wait(800);
        }
    }
}
BENCHMARK(BM_ComponentSeries)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) { return quor::bench::RunWithThrowawayHome(argc, argv); }
