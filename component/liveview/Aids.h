// Focus and exposure aids worked out on the live-view thread, on each frame already in the pool: a histogram
// (luma and R, G, B), zebra over blown and blocked areas, and focus peaking on sharp edges. Zebra and peaking
// are drawn into the frame's `marked` copy, so that the frame's own pixels (grabs, the host's callback) stay as
// the camera gave them; the view shows `marked` when it holds marks. Nothing is allocated per frame.
#pragma once

#include "component/liveview/AidKernels.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

namespace quor::component {

struct Frame;

struct AidSettings {
    bool histogram = false;
    bool zebra = false;
    int zebraHigh = 250; // luma at or above it is striped as blown (0..255; 256 marks nothing)
    int zebraLow = 0;    // luma at or below it is striped as blocked (-1 marks nothing)
    bool peaking = false;
    std::uint8_t peakRed = 255, peakGreen = 40, peakBlue = 40;
    int peakSensitivity = 50; // 1 (only the strongest edges) .. 100 (every faint edge)

    bool AnyMarks() const { return zebra || peaking; }
    bool Any() const { return histogram || AnyMarks(); }
    bool operator==(const AidSettings&) const = default;
};

struct Histogram {
    std::array<std::uint32_t, 256> luma{}, red{}, green{}, blue{};
    std::uint32_t samples = 0; // pixels counted (a regular subsample of the frame)
    std::uint32_t Peak() const; // the highest bin of the four, for scaling a drawing
};

// Luma of an R, G, B pixel as the aids use it (Rec. 601 weights, 0..255).
constexpr int Luma(int r, int g, int b) { return (77 * r + 150 * g + 29 * b + 128) >> 8; }

// The edge strength above which a pixel is marked for `sensitivity` (1..100). Edge strength is
// |L(x+1) - L(x-1)| + |L(y+1) - L(y-1)| over the luma of the four neighbours, saturated at 255.
int PeakThreshold(int sensitivity);

// The zebra's colours. Blown areas get magenta stripes (next to the untouched near-white pixels between them
// they read as magenta and white), blocked ones blue stripes; both stand out from a photographic scene and from
// the default peak red.
inline constexpr aid::Colour kZebraBlownColour{255, 0, 255};
inline constexpr aid::Colour kZebraBlockedColour{0, 96, 255};

// The histogram counts every kHistogramColumnStep-th pixel of every kHistogramRowStep-th row, from the top left
// one: at 1920 x 1080 some 65,000 pixels, about 250 a bin on average, at a fraction of the cost of every pixel.
constexpr int kHistogramColumnStep = 8;
constexpr int kHistogramRowStep = 4;

// Works the aids out on one frame: fills frame.histogram (histogram on) and frame.marked (zebra or peaking on),
// and sets frame.hasHistogram / frame.hasMarks. Owns the row buffers it needs; they grow with the frame width
// only. One per producer thread.
class AidProcessor {
public:
    void Process(Frame& frame, const AidSettings& settings);

private:
    void MarkFrame(Frame& frame, const AidSettings& settings);
    void TallyFrame(const Frame& frame);
    void MergeTally(Histogram& histogram) const;

    std::vector<std::uint8_t> luma_; // three rows of luma, for the edge test
    std::vector<std::uint8_t> mask_; // one row of marks
    std::vector<std::uint8_t> stripes_; // the zebra's stripe pattern, one row and a period long
    aid::HistogramTally tally_;
    std::uint32_t samples_ = 0;
};

} // namespace quor::component
