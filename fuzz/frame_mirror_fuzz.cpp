// The live-view mirror on arbitrary frame sizes and contents, against the plain reference, with the buffer
// sized exactly by the row layout so that any write past it is caught.
#include "console/FrameMirror.h"

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4)
        return 0;
    // Widths up to 4095 and heights up to 63 keep each run small; the layout rule is the same at any size.
    const std::uint32_t width = (static_cast<std::uint32_t>(data[0]) << 4 | data[1] >> 4) & 0xFFF;
    const std::uint32_t height = data[2] & 0x3F;
    const bool nullBuffer = data[3] == 0xFF;
    data += 4;
    size -= 4;
    if (nullBuffer) {
        quor::MirrorFrame(nullptr, width, height);
        return 0;
    }
    const std::size_t bytes = static_cast<std::size_t>(quor::FrameStride(width)) * height;
    std::vector<std::uint8_t> frame(bytes);
    for (std::size_t i = 0; i < bytes; ++i)
        frame[i] = size ? data[i % size] : static_cast<std::uint8_t>(i);
    std::vector<std::uint8_t> expected = frame;
    quor::MirrorFrameReference(expected.data(), width, height);
    quor::MirrorFrame(frame.data(), width, height);
    if (frame != expected)
        __builtin_trap();
    return 0;
}
