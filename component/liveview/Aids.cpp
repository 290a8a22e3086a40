#include "component/liveview/Aids.h"

#include "component/liveview/FramePool.h"

#include <algorithm>
#include <chrono>

namespace quor::component {
namespace {

using aid::Colour;
using aid::MarkLimits;

MarkLimits LimitsOf(const AidSettings& s) {
    MarkLimits limits;
    limits.peaking = s.peaking;
    limits.peak = static_cast<std::uint8_t>(PeakThreshold(s.peakSensitivity));
    limits.zebra = s.zebra;
    limits.highOn = s.zebraHigh <= 255;
    limits.high = static_cast<std::uint8_t>(std::clamp(s.zebraHigh, 0, 255));
    limits.lowOn = s.zebraLow >= 0;
    limits.low = static_cast<std::uint8_t>(std::clamp(s.zebraLow, 0, 255));
    return limits;
}

} // namespace

std::uint32_t Histogram::Peak() const {
    std::uint32_t peak = 0;
    for (const auto* bins : {&luma, &red, &green, &blue})
        for (std::uint32_t v : *bins)
            peak = v > peak ? v : peak;
    return peak;
}

// From 250 at 1 (only near black-to-white steps) down to 10 at 100 (faint edges, and noise with them), falling
// fastest at the strong end. 50 gives 71: the sharp edges of a photographic scene (a focused step of 100 levels
// or more spans about two pixels, scoring its full height) are marked, the same edges blurred by a few pixels
// and smooth gradients (a few levels a pixel) are not.
int PeakThreshold(int sensitivity) {
    const int weak = 100 - std::clamp(sensitivity, 1, 100); // 0..99
    return 10 + (240 * weak * weak + 4900) / 9801;
}

void AidProcessor::Process(Frame& frame, const AidSettings& settings) {
    frame.hasMarks = false;
    frame.hasHistogram = false;
    frame.aidNs = 0;
    if (!settings.Any() || frame.width == 0 || frame.height == 0)
        return;
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    if (settings.histogram) {
        tally_ = {};
        samples_ = 0;
    }
    if (settings.AnyMarks())
        MarkFrame(frame, settings);
    else
        TallyFrame(frame);
    if (settings.histogram) {
        MergeTally(frame.histogram);
        frame.hasHistogram = true;
    }
    frame.aidNs = std::max<std::int64_t>(
        1, std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count());
}

// One pass down the frame: the luma of the row below is worked out one row ahead, so that each row's marks
// see their neighbours, and each row is copied into `marked` with its marks while it is still in the cache.
void AidProcessor::MarkFrame(Frame& frame, const AidSettings& settings) {
    const int width = static_cast<int>(frame.width), height = static_cast<int>(frame.height);
    const auto w = static_cast<std::size_t>(width);
    if (luma_.size() < 3 * (w + 2))
        luma_.resize(3 * (w + 2));
    if (mask_.size() < w)
        mask_.resize(w);
    if (stripes_.size() < w + aid::kStripePeriod) {
        stripes_.resize(w + aid::kStripePeriod);
        for (std::size_t k = 0; k < stripes_.size(); ++k)
            stripes_[k] = aid::StripePattern(static_cast<int>(k));
    }
    frame.ShapeMarked();

    const MarkLimits limits = LimitsOf(settings);
    const Colour colours[aid::kMarkKinds] = {
        {}, {settings.peakRed, settings.peakGreen, settings.peakBlue}, kZebraBlownColour, kZebraBlockedColour};
    auto lumaOf = [&](int y) { return luma_.data() + static_cast<std::size_t>(y % 3) * (w + 2); };
    const unsigned char* src = frame.bytes.data();
    unsigned char* dst = frame.marked.data();
    aid::LumaRow(src, lumaOf(0), width);
    for (int y = 0; y < height; ++y, src += frame.stride, dst += frame.stride) {
        const bool last = y + 1 == height;
        if (!last)
            aid::LumaRow(src + frame.stride, lumaOf(y + 1), width);
        const std::uint8_t* row = lumaOf(y);
        aid::MarkRow(y > 0 ? lumaOf(y - 1) : row, row, last ? row : lumaOf(y + 1), mask_.data(), width,
                     stripes_.data() + aid::BlownStripeOffset(y), stripes_.data() + aid::BlockedStripeOffset(y),
                     limits);
        aid::PaintRow(src, dst, frame.stride, mask_.data(), width, colours);
        if (settings.histogram && y % kHistogramRowStep == 0)
            samples_ += aid::TallyRow(src, width, kHistogramColumnStep, tally_);
    }
    frame.hasMarks = true;
}

void AidProcessor::TallyFrame(const Frame& frame) {
    const int width = static_cast<int>(frame.width);
    for (std::uint32_t y = 0; y < frame.height; y += kHistogramRowStep)
        samples_ += aid::TallyRow(frame.bytes.data() + y * frame.stride, width, kHistogramColumnStep, tally_);
}

void AidProcessor::MergeTally(Histogram& histogram) const {
    std::array<std::uint32_t, 256>* channels[4] = {&histogram.luma, &histogram.red, &histogram.green,
                                                   &histogram.blue};
    for (int c = 0; c < 4; ++c)
        for (int v = 0; v < 256; ++v) {
            std::uint32_t sum = 0;
            for (const auto& copy : tally_.bins)
                sum += copy[c][v];
            (*channels[c])[static_cast<std::size_t>(v)] = sum;
        }
    histogram.samples = samples_;
}

} // namespace quor::component
