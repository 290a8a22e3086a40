// The live-view pipeline at 1920 x 1080, 60 fps with the mirror as the frame callback, plain and with every
// option on (crop, crop frame, rotation 90, onion skin of 5 photos), and plain with every aid on (histogram,
// zebra, focus peaking). Runs for QUOR_BENCH_SECONDS (default 5) per case; 20 is the figure to quote.
#include "bench/EventLoop.h"
#include "component/host/QuorCtrlComponent.h"
#include "component/host/QuorCtrlView.h"
#include "component/liveview/LiveView.h"
#include "console/FrameMirror.h"
#include "control/NotifyNames.h"
#include "control/PropertyCodes.h"
#include "control/QuorCtrl.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using quor::Variant;

using quor::bench::Wait;
using quor::bench::WaitFor;

double ResidentMegabytes() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

void Mirror(unsigned char* buffer, std::uint32_t width, std::uint32_t height, std::intptr_t) {
    quor::MirrorFrame(buffer, width, height);
}

int Seconds() {
    bool ok = false;
    const int s = qEnvironmentVariableIntValue("QUOR_BENCH_SECONDS", &ok);
    return ok && s > 0 ? s : 5;
}

struct Sink : quor::IEventSink {
    void OnEvent(int id, std::span<Variant> args) override {
        if (id == quor::kEventNotify && args[0].text == quor::notify::DownloadComplete)
            ++completed;
        if (id == quor::kEventPropertyOptionAdded)
            options.push_back({args[0].Int(), args[1].text, args[2].Int()});
    }
    std::int32_t Value(std::int32_t code, const std::string& text) const {
        for (const auto& o : options)
            if (o.code == code && o.text == text)
                return o.value;
        return -1;
    }
    struct Option {
        std::int32_t code;
        std::string text;
        std::int32_t value;
    };
    int completed = 0;
    std::vector<Option> options;
};

void BM_LiveViewPipeline(benchmark::State& state) {
    const bool options = state.range(0) != 0;
    QWidget host;
    host.resize(800, 600);
    Sink sink;
    quor::component::QuorCtrlComponent component(&host, quor::HostedProperties{}, 1);
    component.Advise(&sink);
    quor::CQuorCtrl ctrl(&component);
    component.View()->setGeometry(22, 100, 500, 330);
    host.show();
    ctrl.OpenCamera(0);
    Wait(20);
    ctrl.SetDisplayMode(1);
    ctrl.SetShowDebugInfo(true);
    QTemporaryDir dir;

    if (options) {
        // Five photos for the onion skin, then every option on.
        ctrl.SetShowAfterShot(false);
        ctrl.SetPropertyValue(quor::prop::ImageQuality, sink.Value(quor::prop::ImageQuality, "Small 2"));
        for (int i = 0; i < 5; ++i) {
            ctrl.TakePicture(dir.filePath(QStringLiteral("p%1.jpg").arg(i)).toStdString());
            WaitFor([&] { return sink.completed > i; }, 10000);
        }
        QImage png(320, 200, QImage::Format_ARGB32);
        png.fill(Qt::transparent);
        QPainter p(&png);
        p.setPen(QPen(QColor(255, 200, 0), 12));
        p.drawRect(png.rect());
        p.end();
        const QString cropImg = dir.filePath(QStringLiteral("CropImg.png"));
        png.save(cropImg, "PNG");
        ctrl.EnableCrop(true, true, true);
        ctrl.SetCropRect(240, 135, 1440, 810);
        ctrl.SetCropShape(1);
        ctrl.ShowCropFrame(true, cropImg.toStdString());
        ctrl.SetRotation(90);
        ctrl.EnableOnionSkin(true);
        ctrl.SetOnionSkinLayers(5);
        ctrl.SetOnionSkinAlpha(150);
    }

    component.Sim().liveViewWidth = 1920;
    component.Sim().liveViewHeight = 1080;
    component.Sim().liveViewFps = 60;
    ctrl.SetFrameCallback(reinterpret_cast<std::intptr_t>(&Mirror), 0);
    const double rssBefore = ResidentMegabytes();

    for (auto _ : state) {
        ctrl.StartLiveView();
        Wait(500); // settle: scene drawn, first paints done
        auto* view = component.View();
        const quor::component::ViewStats start = view->Stats();
        const std::uint64_t published0 = component.Live().Pool().Published();
        const std::uint64_t dropped0 = component.Live().Pool().Dropped();
        const double cpu0 = ThreadCpuSeconds();
        const double rssStart = ResidentMegabytes();
        const auto t0 = std::chrono::steady_clock::now();
        Wait(Seconds() * 1000);
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        const double cpu = ThreadCpuSeconds() - cpu0;
        const quor::component::ViewStats end = view->Stats();
        const double published = double(component.Live().Pool().Published() - published0);
        const double dropped = double(component.Live().Pool().Dropped() - dropped0);
        const double taken = double(end.framesTaken - start.framesTaken);
        const double paints = double(end.paints - start.paints);
        state.counters["seconds"] = elapsed;
        state.counters["produced_fps"] = published / elapsed;
        state.counters["delivered_fps"] = taken / elapsed;
        state.counters["painted_fps"] = paints / elapsed;
        state.counters["dropped"] = dropped;
        state.counters["dropped_pct"] = published > 0 ? 100.0 * dropped / published : 0.0;
        state.counters["paint_ms"] = paints > 0 ? double(end.paintNs - start.paintNs) / 1e6 / paints : 0.0;
        state.counters["take_ms"] = taken > 0 ? double(end.frameSlotNs - start.frameSlotNs) / 1e6 / taken : 0.0;
        state.counters["ui_cpu_ms_per_frame"] = taken > 0 ? cpu * 1000.0 / taken : 0.0;
        state.counters["callback_ms"] = double(component.Live().LastCallbackNs()) / 1e6;
        state.counters["rss_before_MB"] = rssBefore;
        state.counters["rss_start_MB"] = rssStart;
        state.counters["rss_after_MB"] = ResidentMegabytes();
        ctrl.StopLiveView();
    }
}
BENCHMARK(BM_LiveViewPipeline)->Arg(0)->Arg(1)->ArgName("options")->Iterations(1)->Unit(benchmark::kSecond);

// Milliseconds a memcpy of one 1920 x 1080 RGB888 frame takes on this thread now: the peer of the aids' time.
double FrameMemcpyMs() {
    std::vector<unsigned char> src(std::size_t(1920) * 3 * 1080, 77), dst(src.size());
    constexpr int kCopies = 200;
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < kCopies; ++i) {
        src[std::size_t(i)] = static_cast<unsigned char>(i);
        std::memcpy(dst.data(), src.data(), src.size());
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count() / kCopies;
}

// Plain live view with every aid worked out on the live-view thread (set on the component's LiveView).
void BM_LiveViewAids(benchmark::State& state) {
    QWidget host;
    host.resize(800, 600);
    quor::component::QuorCtrlComponent component(&host, quor::HostedProperties{}, 1);
    quor::CQuorCtrl ctrl(&component);
    component.View()->setGeometry(22, 100, 500, 330);
    host.show();
    ctrl.OpenCamera(0);
    Wait(20);
    ctrl.SetDisplayMode(1);
    ctrl.SetShowDebugInfo(true);
    component.Sim().liveViewWidth = 1920;
    component.Sim().liveViewHeight = 1080;
    component.Sim().liveViewFps = 60;
    ctrl.SetFrameCallback(reinterpret_cast<std::intptr_t>(&Mirror), 0);
    quor::component::AidSettings aids;
    aids.histogram = aids.zebra = aids.peaking = true;
    aids.zebraLow = 10;
    auto& live = component.Live();

    for (auto _ : state) {
        const double memcpyBefore = FrameMemcpyMs();
        ctrl.StartLiveView();
        live.SetAids(aids);
        Wait(500); // settle: scene drawn, first paints done
        auto* view = component.View();
        const quor::component::ViewStats start = view->Stats();
        const std::uint64_t published0 = live.Pool().Published(), dropped0 = live.Pool().Dropped();
        const std::int64_t aidNs0 = live.AidNsTotal();
        const std::uint64_t aidFrames0 = live.AidFrames();
        const double cpu0 = ThreadCpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        Wait(Seconds() * 1000);
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        const double cpu = ThreadCpuSeconds() - cpu0;
        const quor::component::ViewStats end = view->Stats();
        const double published = double(live.Pool().Published() - published0);
        const double dropped = double(live.Pool().Dropped() - dropped0);
        const double taken = double(end.framesTaken - start.framesTaken);
        const double aidFrames = double(live.AidFrames() - aidFrames0);
        ctrl.StopLiveView();
        state.counters["seconds"] = elapsed;
        state.counters["produced_fps"] = published / elapsed;
        state.counters["delivered_fps"] = taken / elapsed;
        state.counters["dropped"] = dropped;
        state.counters["ui_cpu_ms_per_frame"] = taken > 0 ? cpu * 1000.0 / taken : 0.0;
        state.counters["aid_ms_per_frame"] = aidFrames > 0 ? double(live.AidNsTotal() - aidNs0) / 1e6 / aidFrames : 0.0;
        state.counters["memcpy_ms"] = (memcpyBefore + FrameMemcpyMs()) / 2;
    }
}
BENCHMARK(BM_LiveViewAids)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
