// The real-camera path against the stand-in body on 127.0.0.1, each figure next to libgphoto2 alone in the same
// run: live-view frames per second through the whole pipeline (fetch, decode into the pool, frame callback, view)
// against a bare gp_camera_capture_preview loop, and the time from TakePicture to the file on disk against
// gp_camera_capture + gp_camera_file_get. QUOR_BENCH_SECONDS (default 3) per live-view case, QUOR_BENCH_SHOTS
// (default 12) shots per capture case.
#include "bench/EventLoop.h"
#include "component/gphoto/GPhotoLibrary.h"
#include "component/host/QuorCtrlComponent.h"
#include "component/host/QuorCtrlView.h"
#include "console/FrameMirror.h"
#include "control/NotifyNames.h"
#include "control/QuorCtrl.h"
#include "tools/standin/StandinBody.h"

#include <gphoto2/gphoto2.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace {

using quor::Variant;
using Clock = std::chrono::steady_clock;

int EnvInt(const char* name, int fallback) {
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok && v > 0 ? v : fallback;
}

using quor::bench::Wait;
using quor::bench::WaitFor;

// One stand-in body for the whole run, shaped like a body of today: 960 x 640 live-view frames, 6 MB photos.
quor::standin::StandinBody& Body() {
    static quor::standin::StandinBody* body = [] {
        quor::standin::StandinOptions o;
        o.frameWidth = 960;
        o.frameHeight = 640;
        o.photoBytes = 6 * 1024 * 1024;
        auto* b = new quor::standin::StandinBody(o);
        if (!b->Start())
            std::abort();
        return b;
    }();
    return *body;
}

std::string PortPath() {
    const std::string port = std::to_string(Body().Port());
    return "ptpip:127.0.0.1:" + port + ":" + port;
}

// libgphoto2 by itself: the camera set up the way the component's worker does.
struct BareCamera {
    GPContext* context = gp_context_new();
    Camera* camera = nullptr;
    bool ok = false;

    BareCamera() {
        quor::component::KeepDescriptorZeroTaken();
        gp_camera_new(&camera);
        CameraAbilitiesList* abilities = nullptr;
        gp_abilities_list_new(&abilities);
        gp_abilities_list_load(abilities, context);
        CameraAbilities a{};
        gp_abilities_list_get_abilities(abilities, gp_abilities_list_lookup_model(abilities, "PTP/IP Camera"), &a);
        gp_camera_set_abilities(camera, a);
        gp_abilities_list_free(abilities);
        GPPortInfoList* ports = nullptr;
        gp_port_info_list_new(&ports);
        gp_port_info_list_load(ports);
        GPPortInfo info;
        gp_port_info_list_get_info(ports, gp_port_info_list_lookup_path(ports, PortPath().c_str()), &info);
        gp_camera_set_port_info(camera, info);
        gp_port_info_list_free(ports);
        ok = gp_camera_init(camera, context) == GP_OK;
    }
    ~BareCamera() {
        if (ok)
            gp_camera_exit(camera, context);
        gp_camera_unref(camera);
        gp_context_unref(context);
        quor::component::KeepDescriptorZeroTaken();
    }
};

double gBareFps = 0;
double gBareShotMs = 0;

// Arg 1: frames paced like a body's (one 256 KB chunk every 40 ms, about 25 fps), so that the camera, not this
// machine's CPU, sets the rate; arg 0: as fast as the stand-in encodes them.
void Pace(const benchmark::State& state) {
    if (state.range(0) != 0)
        Body().SetSlowTransfers(256 * 1024, std::chrono::milliseconds(40));
    else
        Body().SetSlowTransfers(0, std::chrono::milliseconds(0));
}

double gBareFpsPaced = 0;

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
        (state.range(0) ? gBareFpsPaced : gBareFps) = frames / seconds;
        state.counters["fps"] = frames / seconds;
    }
    gp_file_unref(file);
}
BENCHMARK(BM_BarePreviewLoop)->Arg(0)->Arg(1)->ArgName("paced")->Iterations(1)->Unit(benchmark::kSecond);

struct Sink : quor::IEventSink {
    void OnEvent(int id, std::span<Variant> args) override {
        if (id == quor::kEventNotify && args[0].text == quor::notify::OpenSucceed)
            opened = true;
        if (id == quor::kEventNotify && args[0].text == quor::notify::DownloadComplete)
            ++completed;
    }
    bool opened = false;
    int completed = 0;
};

// The component with the stand-in as its one camera, hosted in a shown window.
struct Hosted {
    QWidget host;
    Sink sink;
    std::unique_ptr<quor::component::QuorCtrlComponent> component;
    std::unique_ptr<quor::CQuorCtrl> ctrl;

    Hosted() {
        host.resize(800, 600);
        quor::component::RealCameraSources sources;
        sources.network.push_back({"127.0.0.1", Body().Port()});
        component = std::make_unique<quor::component::QuorCtrlComponent>(&host, quor::HostedProperties{}, 0, sources);
        component->Advise(&sink);
        ctrl = std::make_unique<quor::CQuorCtrl>(component.get());
        component->View()->setGeometry(22, 100, 500, 330);
        host.show();
    }
    bool Open() { return ctrl->OpenCamera(0) && WaitFor([this] { return sink.opened; }, 5000); }
};

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
        const auto served0 = Body().FramesServed();
        const auto t0 = Clock::now();
        Wait(EnvInt("QUOR_BENCH_SECONDS", 3) * 1000);
        const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        const double decoded = double(h.component->Live().Pool().Published() - published0) / seconds;
        state.counters["decoded_fps"] = decoded;
        state.counters["fetched_fps"] = double(Body().FramesServed() - served0) / seconds;
        state.counters["shown_fps"] = double(view->Stats().framesTaken - taken0) / seconds;
        state.counters["painted_fps"] = double(view->Stats().paints - paints0) / seconds;
        const double bare = state.range(0) ? gBareFpsPaced : gBareFps;
        state.counters["vs_bare"] = bare > 0 ? decoded / bare : 0.0;
    }
    h.ctrl->StopLiveView();
    Body().SetSlowTransfers(0, std::chrono::milliseconds(0));
}
BENCHMARK(BM_PipelineLiveView)->Arg(0)->Arg(1)->ArgName("paced")->Iterations(1)->Unit(benchmark::kSecond);

void BM_BareShot(benchmark::State& state) {
    BareCamera cam;
    if (!cam.ok) {
        state.SkipWithError("cannot connect to the stand-in");
        return;
    }
    const int shots = EnvInt("QUOR_BENCH_SHOTS", 12);
    for (auto _ : state) {
        double total = 0;
        for (int i = 0; i < shots; ++i) {
            const auto t0 = Clock::now();
            CameraFilePath path{};
            CameraFile* file = nullptr;
            gp_file_new(&file);
            if (gp_camera_capture(cam.camera, GP_CAPTURE_IMAGE, &path, cam.context) != GP_OK ||
                gp_camera_file_get(cam.camera, path.folder, path.name, GP_FILE_TYPE_NORMAL, file, cam.context) !=
                    GP_OK) {
                state.SkipWithError("capture failed");
                gp_file_unref(file);
                return;
            }
            gp_file_unref(file);
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

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // libgphoto2 keeps its settings (a PTP/IP identity) under $HOME: a throwaway one.
    char pattern[] = "/tmp/quor-bench-home-XXXXXX";
    const char* home = ::mkdtemp(pattern);
    if (home)
        ::setenv("HOME", home, 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Body().Stop();
    if (home) {
        std::error_code ec;
        std::filesystem::remove_all(home, ec);
    }
    return 0;
}
