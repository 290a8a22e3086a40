// The live-view mirror next to a memcpy of the same frame, for the three frame sizes that matter.
// The mirror reads half a frame and writes half, so its floor is about 0.5 x memcpy.
#include "console/FrameMirror.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

std::vector<unsigned char> MakeFrame(std::uint32_t w, std::uint32_t h) {
    std::vector<unsigned char> f(static_cast<std::size_t>(quor::FrameStride(w)) * h);
    for (std::size_t i = 0; i < f.size(); ++i)
        f[i] = static_cast<unsigned char>(i * 131u);
    return f;
}

void BM_Mirror(benchmark::State& state) {
    const auto w = static_cast<std::uint32_t>(state.range(0));
    const auto h = static_cast<std::uint32_t>(state.range(1));
    auto frame = MakeFrame(w, h);
    for (auto _ : state) {
        quor::MirrorFrame(frame.data(), w, h);
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(frame.size()));
}

void BM_Memcpy(benchmark::State& state) {
    const auto w = static_cast<std::uint32_t>(state.range(0));
    const auto h = static_cast<std::uint32_t>(state.range(1));
    auto src = MakeFrame(w, h);
    std::vector<unsigned char> dst(src.size());
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), src.size());
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(src.size()));
}

void BM_MirrorReference(benchmark::State& state) {
    const auto w = static_cast<std::uint32_t>(state.range(0));
    const auto h = static_cast<std::uint32_t>(state.range(1));
    auto frame = MakeFrame(w, h);
    for (auto _ : state) {
        quor::MirrorFrameReference(frame.data(), w, h);
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
}

#define QUOR_SIZES ->Args({640, 480})->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMicrosecond)
BENCHMARK(BM_Memcpy) QUOR_SIZES;
BENCHMARK(BM_Mirror) QUOR_SIZES;
BENCHMARK(BM_MirrorReference) QUOR_SIZES;

} // namespace

BENCHMARK_MAIN();
