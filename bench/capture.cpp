// Capture with the simulated camera: how long TakePicture keeps the window's thread, and how long a shot takes
// to reach "DownloadComplete" at the largest image qualities.
#include "bench/EventLoop.h"
#include "component/CaptureWorker.h"
#include "component/QuorCtrlComponent.h"
#include "component/SceneRenderer.h"
#include "component/ShotSettings.h"
#include "control/NotifyNames.h"
#include "control/PropertyCodes.h"
#include "control/QuorCtrl.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <chrono>
#include <fcntl.h>
#include <unistd.h>
#include <memory>
#include <string>

namespace {

using quor::Variant;

using quor::bench::Wait;
using quor::bench::WaitFor;

struct Sink : quor::IEventSink {
    void OnEvent(int id, std::span<Variant> args) override {
        if (id == quor::kEventNotify && args[0].text == quor::notify::DownloadComplete)
            ++completed;
        if (id == quor::kEventPropertyOptionAdded && args[0].Int() == quor::prop::ImageQuality)
            qualities.emplace_back(args[1].text, args[2].Int());
    }
    int completed = 0;
    std::vector<std::pair<std::string, std::int32_t>> qualities;
};

struct Rig {
    Rig() : component(&host, quor::HostedProperties{}, 1) {
        component.Advise(&sink);
        ctrl.Attach(&component);
        ctrl.OpenCamera(0);
        Wait(20);
        component.Engine().SetCardFreeMegabytes(1 << 30);
    }
    void UseQuality(const std::string& text) {
        for (const auto& [name, value] : sink.qualities)
            if (name == text)
                ctrl.SetPropertyValue(quor::prop::ImageQuality, value);
    }
    void WaitIdle() {
        WaitFor([&] { return component.PendingCaptures() == 0; }, 60000);
        QCoreApplication::processEvents();
    }
    QWidget host;
    Sink sink;
    quor::component::QuorCtrlComponent component;
    quor::CQuorCtrl ctrl;
    QTemporaryDir dir;
};

void BM_TakePictureReturn(benchmark::State& state) {
    Rig rig;
    rig.UseQuality("RAW + Large Fine");
    const std::string path = rig.dir.filePath(QStringLiteral("quortovu.jpg")).toStdString();
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        const bool ok = rig.ctrl.TakePicture(path);
        const auto t1 = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
        if (!ok)
            state.SkipWithError("TakePicture refused");
        rig.WaitIdle(); // not timed: the shot downloads before the next one
    }
}
BENCHMARK(BM_TakePictureReturn)->UseManualTime()->Iterations(10)->Unit(benchmark::kMicrosecond);

void BM_ShotToDownloadComplete(benchmark::State& state, const char* quality) {
    Rig rig;
    rig.UseQuality(quality);
    const std::string path = rig.dir.filePath(QStringLiteral("quortovu.jpg")).toStdString();
    // The first shot at a size draws the scene once for it; time the steady state.
    rig.ctrl.TakePicture(path);
    rig.WaitIdle();
    for (auto _ : state) {
        const int before = rig.sink.completed;
        const auto t0 = std::chrono::steady_clock::now();
        rig.ctrl.TakePicture(path);
        WaitFor([&] { return rig.sink.completed > before; }, 60000);
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
}
BENCHMARK_CAPTURE(BM_ShotToDownloadComplete, raw_large_fine, "RAW + Large Fine")
    ->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ShotToDownloadComplete, large_fine, "Large Fine")
    ->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ShotToDownloadComplete, small_3, "Small 3")
    ->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

// The peer of a shot: the work no capture pipeline can skip, done bare on this thread — draw the photo, encode
// it and write it durably as a new file (the file and its folder flushed to the disk, as every photo is). The gap
// to BM_ShotToDownloadComplete is what the worker thread, the chunked download, the EXIF block, the unique name,
// the newest-photo name and the notifications cost.
void BM_RenderEncodeWrite(benchmark::State& state, const char* quality) {
    Rig rig;
    rig.UseQuality(quality);
    const quor::component::SimulatedCamera* camera = rig.component.Engine().OpenCamera();
    if (!camera) {
        state.SkipWithError("no camera");
        return;
    }
    const quor::component::PropertyModel& model = camera->Properties();
    const quor::component::PhotoFormat format =
        quor::component::PhotoFormatFor(model.Current(quor::prop::ImageQuality));
    const quor::component::SceneParams scene = quor::component::ShotScene(model, 0.0);
    quor::component::SceneRenderer renderer;
    (void)renderer.RenderImage(format.width, format.height, scene); // same warm-up as the shot
    const int folder = ::open(QFile::encodeName(rig.dir.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int n = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        const QImage photo = renderer.RenderImage(format.width, format.height, scene);
        const QByteArray jpeg = quor::component::EncodeJpeg(photo, format.jpegQuality);
        QFile file(rig.dir.filePath(QStringLiteral("bare_%1.jpg").arg(++n)));
        if (!file.open(QIODevice::NewOnly) || file.write(jpeg) != jpeg.size() || !file.flush() ||
            ::fsync(file.handle()) != 0 || ::fsync(folder) != 0)
            state.SkipWithError("write failed");
        file.close();
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    ::close(folder);
}
BENCHMARK_CAPTURE(BM_RenderEncodeWrite, raw_large_fine, "RAW + Large Fine")
    ->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RenderEncodeWrite, large_fine, "Large Fine")
    ->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RenderEncodeWrite, small_3, "Small 3")
    ->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

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
