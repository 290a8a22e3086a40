// The live-view aids on small frames whose right answer is known pixel by pixel: odd widths (rows padded to 4
// bytes), thresholds hit exactly, a sharp edge next to noise and a gradient, and no allocation once running.
#include "component/liveview/AidKernels.h"
#include "component/liveview/Aids.h"
#include "component/liveview/FramePool.h"
#include "component/liveview/LiveView.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <random>
#include <vector>

namespace {
std::atomic<long> gAllocations{0};
} // namespace

// Counts every allocation of the test executable, so that a test can tell that a stretch of work made none.
// ThreadSanitizer keeps its own books on new and delete and crashes at start with them replaced.
#if !defined(__SANITIZE_THREAD__)
void* operator new(std::size_t size) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#endif

namespace {

using quor::component::AidProcessor;
using quor::component::AidSettings;
using quor::component::Frame;
using quor::component::Luma;
namespace aid = quor::component::aid;

struct Rgb {
    int r, g, b;
};
constexpr unsigned char kPadding = 0xA5;

Frame MakeFrame(std::uint32_t w, std::uint32_t h, const std::function<Rgb(int, int)>& pixel) {
    Frame f;
    f.Shape(w, h);
    std::fill(f.bytes.begin(), f.bytes.end(), kPadding);
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x) {
            const Rgb c = pixel(int(x), int(y));
            unsigned char* p = &f.bytes[y * f.stride + 3 * x];
            p[0] = static_cast<unsigned char>(c.r);
            p[1] = static_cast<unsigned char>(c.g);
            p[2] = static_cast<unsigned char>(c.b);
        }
    return f;
}

Rgb MarkedAt(const Frame& f, int x, int y) {
    const unsigned char* p = &f.marked[std::size_t(y) * f.stride + 3 * std::size_t(x)];
    return {p[0], p[1], p[2]};
}
Rgb OwnAt(const Frame& f, int x, int y) {
    const unsigned char* p = &f.bytes[std::size_t(y) * f.stride + 3 * std::size_t(x)];
    return {p[0], p[1], p[2]};
}
bool Same(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }
Rgb Of(aid::Colour c) { return {c.r, c.g, c.b}; }

// The row padding of `marked` is a copy of the frame's too.
bool PaddingCopied(const Frame& f) {
    for (std::uint32_t y = 0; y < f.height; ++y)
        for (std::size_t i = 3 * f.width; i < f.stride; ++i)
            if (f.marked[y * f.stride + i] != kPadding)
                return false;
    return true;
}

TEST(AidKernels, LumaRowMatchesLumaOnEveryPixelAndRepeatsTheEdges) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0, 255);
    // Widths around the vector path's 32-pixel steps and its tail, including the extremes of every channel.
    for (int width : {1, 5, 33, 34, 35, 66, 67, 101, 1920}) {
        std::vector<std::uint8_t> rgb(3 * std::size_t(width));
        for (auto& v : rgb)
            v = static_cast<std::uint8_t>(byte(random));
        if (width >= 3) {
            std::fill_n(rgb.begin(), 3, 255);
            std::fill_n(rgb.begin() + 3, 3, 0);
        }
        std::vector<std::uint8_t> luma(std::size_t(width) + 2, 0x5A);
        aid::LumaRow(rgb.data(), luma.data(), width);
        int wrong = 0;
        for (int x = 0; x < width; ++x)
            wrong += luma[std::size_t(x) + 1] != Luma(rgb[3 * std::size_t(x)], rgb[3 * std::size_t(x) + 1],
                                                     rgb[3 * std::size_t(x) + 2]);
        EXPECT_EQ(wrong, 0) << "width " << width;
        EXPECT_EQ(luma[0], luma[1]) << "width " << width;
        EXPECT_EQ(luma[std::size_t(width) + 1], luma[std::size_t(width)]) << "width " << width;
    }
}

// Sampled pixels (every 8th of every 4th row) carry values no other pixel has; the rest are all (200, 200, 200).
TEST(Aids, HistogramCountsTheSampledPixelsOnlyAndStartsAfreshEachFrame) {
    ASSERT_EQ(quor::component::kHistogramColumnStep, 8);
    ASSERT_EQ(quor::component::kHistogramRowStep, 4);
    Frame f = MakeFrame(37, 9, [](int x, int y) {
        return x % 8 == 0 && y % 4 == 0 ? Rgb{x / 8, 10 + y, 100} : Rgb{200, 200, 200};
    });
    for (bool marks : {false, true}) {
        AidSettings s;
        s.histogram = true;
        s.zebra = marks;
        AidProcessor aids;
        aids.Process(f, s);
        aids.Process(f, s);
        ASSERT_TRUE(f.hasHistogram);
        const quor::component::Histogram& h = f.histogram;
        EXPECT_EQ(h.samples, 15u) << "5 columns (0, 8, .. 32) of 3 rows (0, 4, 8)";
        for (int v = 0; v < 256; ++v) {
            EXPECT_EQ(h.red[std::size_t(v)], v <= 4 ? 3u : 0u) << v;
            EXPECT_EQ(h.green[std::size_t(v)], v == 10 || v == 14 || v == 18 ? 5u : 0u) << v;
            EXPECT_EQ(h.blue[std::size_t(v)], v == 100 ? 15u : 0u) << v;
        }
        std::array<std::uint32_t, 256> luma{};
        for (int i = 0; i < 5; ++i)
            for (int y : {0, 4, 8})
                ++luma[std::size_t(Luma(i, 10 + y, 100))];
        EXPECT_EQ(h.luma, luma);
        EXPECT_EQ(h.Peak(), 15u);
    }
}

// Grey pixels 0..255 down the frame (every value appears), zebra at 200 and over and at 30 and under.
TEST(Aids, ZebraStripesExactlyThePixelsAtOrPastEachThreshold) {
    constexpr int kW = 45, kH = 11;
    auto grey = [](int x, int y) { return (x + kW * y) % 256; };
    Frame f = MakeFrame(kW, kH, [&](int x, int y) { return Rgb{grey(x, y), grey(x, y), grey(x, y)}; });
    const std::vector<unsigned char> own = f.bytes;
    AidSettings s;
    s.zebra = true;
    s.zebraHigh = 200;
    s.zebraLow = 30;
    AidProcessor aids;
    aids.Process(f, s);
    ASSERT_TRUE(f.hasMarks);
    EXPECT_FALSE(f.hasHistogram);
    EXPECT_GT(f.aidNs, 0);
    EXPECT_EQ(f.Shown(), f.marked.data());
    EXPECT_EQ(f.bytes, own) << "the frame's own pixels stay as they were";
    int wrong = 0, blown = 0, blocked = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const int l = grey(x, y);
            const bool blownStripe = ((x + y) % 8 + 8) % 8 < 4, blockedStripe = ((x - y) % 8 + 8) % 8 < 4;
            Rgb want = OwnAt(f, x, y);
            if (l >= 200 && blownStripe) {
                want = Of(quor::component::kZebraBlownColour);
                ++blown;
            } else if (l <= 30 && blockedStripe) {
                want = Of(quor::component::kZebraBlockedColour);
                ++blocked;
            }
            wrong += !Same(MarkedAt(f, x, y), want);
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(blown, 20);
    EXPECT_GT(blocked, 20);
    EXPECT_TRUE(PaddingCopied(f));

    s.zebraHigh = 256;
    s.zebraLow = -1;
    aids.Process(f, s);
    EXPECT_EQ(std::memcmp(f.marked.data(), f.bytes.data(), f.bytes.size()), 0) << "256 and -1 mark nothing";
}

// A sharp step (40 to 200) in noise of +-4, next to a smooth gradient (3 levels a pixel across), all on a
// gradient of 2 levels a row down.
TEST(Aids, PeakingMarksTheSharpEdgeAndNotNoiseOrAGradient) {
    constexpr int kW = 67, kH = 21, kStep = 16;
    Frame f = MakeFrame(kW, kH, [](int x, int y) {
        const int noise = (x * 37 + y * 11) % 9 - 4;
        const int v = 2 * y + (x < 32 ? (x < kStep ? 40 : 200) + noise : 200 - 3 * (x - 32));
        return Rgb{v, v, v};
    });
    const std::vector<unsigned char> own = f.bytes;
    AidSettings s;
    s.peaking = true;
    s.peakRed = 0, s.peakGreen = 255, s.peakBlue = 0;
    ASSERT_EQ(s.peakSensitivity, 50);
    AidProcessor aids;
    for (int sensitivity : {50, 70}) {
        s.peakSensitivity = sensitivity;
        aids.Process(f, s);
        ASSERT_TRUE(f.hasMarks);
        int wrong = 0;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const bool edge = x == kStep - 1 || x == kStep;
                wrong += !Same(MarkedAt(f, x, y), edge ? Rgb{0, 255, 0} : OwnAt(f, x, y));
            }
        EXPECT_EQ(wrong, 0) << "sensitivity " << sensitivity;
    }
    EXPECT_EQ(f.bytes, own);
    EXPECT_TRUE(PaddingCopied(f));
    EXPECT_GT(quor::component::PeakThreshold(1), quor::component::PeakThreshold(50));
    EXPECT_GT(quor::component::PeakThreshold(50), quor::component::PeakThreshold(100));
}

bool FillGrey(Frame& frame, void*) {
    for (std::size_t i = 0; i < frame.bytes.size(); ++i)
        frame.bytes[i] = static_cast<unsigned char>(i * 7 + frame.sequence);
    return true;
}

// Through the live-view pipeline: once each buffer has had a frame of a size, frames with every aid on allocate
// nothing, also after a smaller size and back.
TEST(Aids, NothingIsAllocatedPerFrameOnceEachBufferHasHadItsSize) {
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "allocations are not counted under ThreadSanitizer";
#endif
    quor::component::LiveView live;
    ASSERT_TRUE(live.Start(97, 41, 0));
    AidSettings all;
    all.histogram = all.zebra = all.peaking = true;
    live.SetAids(all);
    for (int i = 0; i < 4; ++i) { // each of the three buffers gets its first frame
        ASSERT_TRUE(live.Feed(97, 41, FillGrey, nullptr));
        live.Pool().TakeNewest();
    }
    const Frame* shown = nullptr;
    const long before = gAllocations.load();
    for (int i = 0; i < 30; ++i) {
        const int w = i == 10 || i == 11 ? 50 : 97; // a smaller size now and then
        ASSERT_TRUE(live.Feed(w, 41, FillGrey, nullptr));
        if (const Frame* f = live.Pool().TakeNewest())
            shown = f;
    }
    EXPECT_EQ(gAllocations.load() - before, 0);
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(shown->hasMarks && shown->hasHistogram);
    EXPECT_EQ(shown->marked.size(), shown->bytes.size());
    EXPECT_GT(shown->aidNs, 0);

    live.SetAids(AidSettings{});
    ASSERT_TRUE(live.Feed(97, 41, FillGrey, nullptr));
    const Frame* plain = live.Pool().TakeNewest();
    ASSERT_NE(plain, nullptr);
    EXPECT_FALSE(plain->hasMarks || plain->hasHistogram);
    EXPECT_EQ(plain->aidNs, 0);
    EXPECT_EQ(plain->Shown(), plain->bytes.data());
    live.Stop();
}

// A pool whose frames never carry marks never holds memory for them.
TEST(Aids, MarkedIsSizedOnlyForFramesThatCarryMarks) {
    quor::component::FramePool pool;
    pool.Configure(64, 32);
    Frame& f = pool.WriteBuffer(64, 32);
    AidSettings histogramOnly;
    histogramOnly.histogram = true;
    AidProcessor aids;
    aids.Process(f, histogramOnly);
    EXPECT_EQ(f.marked.capacity(), 0u);
    EXPECT_EQ(f.Shown(), f.bytes.data());
}

} // namespace
