#include "component/liveview/Aids.h"

#include "component/liveview/FramePool.h"

namespace quor::component {

std::uint32_t Histogram::Peak() const {
    std::uint32_t peak = 0;
    for (const auto* bins : {&luma, &red, &green, &blue})
        for (std::uint32_t v : *bins)
            peak = v > peak ? v : peak;
    return peak;
}

int PeakThreshold(int sensitivity) { return 255 - 2 * (sensitivity < 1 ? 1 : sensitivity > 100 ? 100 : sensitivity); }

void AidProcessor::Process(Frame& frame, const AidSettings&) {
    frame.hasMarks = false;
    frame.hasHistogram = false;
    frame.aidNs = 0;
}

} // namespace quor::component
