// Capture with the simulated camera: how long TakePicture keeps the window's thread, and how long a shot takes
// to reach "DownloadComplete" at the largest image qualities.
#include "bench/EventLoop.h"
#include "component/session/ImageCodec.h"
#include "component/sim/CaptureWorker.h"
#include "component/host/QuorCtrlComponent.h"
#include "component/sim/SceneRenderer.h"
#include "component/sim/ShotSettings.h"
#include "control/NotifyNames.h"
#include "control/PropertyCodes.h"
#include "control/QuorCtrl.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <unistd.h>
#include <memory>
#include <string>
#include <vector>

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

// A shot, next to its peer: the work no capture pipeline can skip, done bare on this thread — draw the photo,
// encode it and write it durably as a new file (the file and its folder flushed to the disk, as every photo is).
// The two alternate within one run, so that both meet the same disk. The gap is what the worker thread, the
// chunked download, the preview, the EXIF block, the unique name, the newest-photo name and the notifications cost.
class Bare {
public:
    Bare(Rig& rig, const char* quality) : dir_(rig.dir.path()) {
        const quor::component::PropertyModel& model = rig.component.Engine().Camera(0)->Properties();
        format_ = quor::component::PhotoFormatFor(model.Current(quor::prop::ImageQuality));
        scene_ = quor::component::ShotScene(model, 0.0);
        (void)renderer_.RenderImage(format_.width, format_.height, scene_); // same warm-up as the shot
        folder_ = ::open(QFile::encodeName(dir_).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        (void)quality;
    }
    ~Bare() { ::close(folder_); }
    bool Write() {
        const QImage photo = renderer_.RenderImage(format_.width, format_.height, scene_);
        const QByteArray jpeg = quor::component::EncodeJpeg(photo, format_.jpegQuality);
        QFile file(QDir(dir_).filePath(QStringLiteral("bare_%1.jpg").arg(++n_)));
        return file.open(QIODevice::NewOnly) && file.write(jpeg) == jpeg.size() && file.flush() &&
               ::fsync(file.handle()) == 0 && ::fsync(folder_) == 0;
    }

private:
    QString dir_;
    quor::component::PhotoFormat format_;
    quor::component::SceneParams scene_;
    quor::component::SceneRenderer renderer_;
    int folder_ = -1;
    int n_ = 0;
};

void BM_ShotNextToBare(benchmark::State& state, const char* quality) {
    Rig rig;
    rig.UseQuality(quality);
    if (!rig.component.Engine().Camera(0)) {
        state.SkipWithError("no camera");
        return;
    }
    Bare bare(rig, quality);
    const std::string path = rig.dir.filePath(QStringLiteral("quortovu.jpg")).toStdString();
    // The first shot at a size draws the scene once for it; time the steady state.
    rig.ctrl.TakePicture(path);
    rig.WaitIdle();
    std::vector<double> shots, bares;
    for (auto _ : state) {
        const int before = rig.sink.completed;
        const auto t0 = std::chrono::steady_clock::now();
        rig.ctrl.TakePicture(path);
        WaitFor([&] { return rig.sink.completed > before; }, 60000);
        const auto t1 = std::chrono::steady_clock::now();
        if (!bare.Write())
            state.SkipWithError("write failed");
        const auto t2 = std::chrono::steady_clock::now();
        shots.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        bares.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    }
    // Medians: a flush to disk now and then takes many times its usual time, on either side.
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[v.size() / 2];
    };
    state.counters["shot_ms"] = median(shots);
    state.counters["bare_ms"] = median(bares);
}
BENCHMARK_CAPTURE(BM_ShotNextToBare, raw_large_fine, "RAW + Large Fine")
    ->UseManualTime()->Iterations(12)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ShotNextToBare, large_fine, "Large Fine")
    ->UseManualTime()->Iterations(12)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ShotNextToBare, small_3, "Small 3")
    ->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);

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
