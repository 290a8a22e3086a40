// In-place mirroring of 24-bit live-view frames: the right half of every row becomes the mirror image of its
// left half. Rows are ((width * 24 + 31) / 32) * 4 bytes; the fill bytes at the end of each row are never touched.
#pragma once

#include <cstdint>

namespace quor {

// Bytes per row of a 24-bit frame `width` pixels wide, computed without 32-bit wrap-around.
constexpr std::uint64_t FrameStride(std::uint32_t width) {
    return ((static_cast<std::uint64_t>(width) * 24u + 31u) / 32u) * 4u;
}

// Copies pixel i onto pixel width - 1 - i for every i < width / 2 in each of `height` rows. A null buffer is left
// alone. Allocates nothing; safe to call from any thread on a buffer no one else touches meanwhile.
void MirrorFrame(unsigned char* buffer, std::uint32_t width, std::uint32_t height);

// The plain pixel-by-pixel version, kept as the reference the fast one is checked against.
void MirrorFrameReference(unsigned char* buffer, std::uint32_t width, std::uint32_t height);

} // namespace quor
