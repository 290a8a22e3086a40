// The live-view aids on one 1920 x 1080 frame of the simulated camera's scene (in focus, correctly exposed),
// each alone and all together, next to a memcpy of the same frame: the aids read the frame once and write the
// marked copy once, so a memcpy is their floor.
#include "component/liveview/Aids.h"
#include "component/liveview/FramePool.h"
#include "component/sim/SceneRenderer.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

using quor::component::AidProcessor;
using quor::component::AidSettings;
using quor::component::Frame;

constexpr int kWidth = 1920, kHeight = 1080;

Frame SceneFrame() {
    Frame frame;
    frame.Shape(kWidth, kHeight);
    quor::component::SceneRenderer renderer;
    renderer.Render(frame.bytes.data(), kWidth, kHeight, frame.stride, quor::component::SceneParams{});
    return frame;
}

void BM_AidMemcpy(benchmark::State& state) {
    const Frame frame = SceneFrame();
    std::vector<unsigned char> copy(frame.bytes.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), frame.bytes.data(), frame.bytes.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * frame.bytes.size()));
}

void BM_Aids(benchmark::State& state, AidSettings settings) {
    Frame frame = SceneFrame();
    AidProcessor aids;
    for (auto _ : state) {
        aids.Process(frame, settings);
        benchmark::DoNotOptimize(frame.marked.data());
        benchmark::DoNotOptimize(frame.histogram.luma.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * frame.bytes.size()));
    // How much of the scene the marks cover, to tell a realistic load from an empty one.
    std::size_t marked = 0;
    if (frame.hasMarks)
        for (std::size_t i = 0; i < frame.bytes.size(); i += 3)
            marked += std::memcmp(&frame.bytes[i], &frame.marked[i], 3) != 0;
    state.counters["marked_pct"] = 100.0 * double(marked) / double(kWidth * kHeight);
    state.counters["aid_ms"] = double(frame.aidNs) / 1e6;
}

AidSettings Only(bool histogram, bool zebra, bool peaking) {
    AidSettings s;
    s.histogram = histogram;
    s.zebra = zebra;
    s.zebraLow = 10;
    s.peaking = peaking;
    return s;
}

BENCHMARK(BM_AidMemcpy)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Aids, histogram, Only(true, false, false))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Aids, zebra, Only(false, true, false))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Aids, peaking, Only(false, false, true))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Aids, all, Only(true, true, true))->Unit(benchmark::kMicrosecond);

} // namespace

// The scene's text needs a QGuiApplication.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
