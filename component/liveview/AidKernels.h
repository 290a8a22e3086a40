// The row kernels behind the live-view aids (Aids.h). Each works on one row of an RGB888 frame and on row
// buffers small enough to stay in the first-level cache, in plain loops the compiler vectorises; AidProcessor
// strings them together in one pass over the frame.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quor::component::aid {

// What a row of marks holds for each pixel; also the index into the colours PaintRow is given.
constexpr std::uint8_t kUnmarked = 0, kPeak = 1, kBlown = 2, kBlocked = 3;
constexpr int kMarkKinds = 4;

struct MarkLimits {
    bool peaking = false;
    std::uint8_t peak = 255; // edge strength (0..255, saturated) above it is marked
    bool zebra = false;
    bool highOn = false;     // luma >= high is striped as blown
    std::uint8_t high = 255;
    bool lowOn = false;      // luma <= low is striped as blocked
    std::uint8_t low = 0;
};

struct Colour {
    std::uint8_t r = 0, g = 0, b = 0;
};

// Partial histograms: successive samples go to different copies, so that a flat area (every sample in the same
// bin) does not make each increment wait for the previous one's store.
struct HistogramTally {
    static constexpr int kCopies = 4;
    std::uint32_t bins[kCopies][4][256]; // [copy][luma, red, green, blue][value]
};

// Luma (Aids.h's Luma) of `width` pixels into luma[1..width], with the edge pixels repeated into luma[0] and
// luma[width + 1], so that the edge test needs no bounds checks.
void LumaRow(const std::uint8_t* rgb, std::uint8_t* luma, int width);

// One row of marks from the luma rows above, at and below it (each as LumaRow leaves them). The zebra stripes
// only where the stripe rows hold 0xFF (see StripeOffsets). Peaking wins over zebra where both apply.
void MarkRow(const std::uint8_t* above, const std::uint8_t* row, const std::uint8_t* below, std::uint8_t* marks,
             int width, const std::uint8_t* blownStripes, const std::uint8_t* blockedStripes,
             const MarkLimits& limits);

// The zebra's diagonal stripes, 4 pixels wide and 8 apart, come from one pattern row (pattern[k] = 0xFF where
// k % 8 < 4, else 0) read from an offset that moves with the row: blown areas are striped down to the left,
// blocked ones down to the right, so that the two read apart without their colours too.
constexpr int kStripePeriod = 8;
inline std::uint8_t StripePattern(int k) { return (k & 4) == 0 ? 0xFF : 0; }
inline int BlownStripeOffset(int y) { return y % kStripePeriod; }
inline int BlockedStripeOffset(int y) { return (kStripePeriod - y % kStripePeriod) % kStripePeriod; }

// Copies a row of `stride` bytes from src to dst and paints each marked pixel with colours[mark].
void PaintRow(const std::uint8_t* src, std::uint8_t* dst, std::size_t stride, const std::uint8_t* marks, int width,
              const Colour (&colours)[kMarkKinds]);

// Counts every `step`-th pixel of a row, from the first, into the tally. Returns the pixels counted.
std::uint32_t TallyRow(const std::uint8_t* rgb, int width, int step, HistogramTally& tally);

} // namespace quor::component::aid
