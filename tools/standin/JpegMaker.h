// JPEG images for the stand-in body: small live-view frames and photos of a chosen file size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quor::standin {

// The part of the whole picture a frame shows, as fractions of it: a square of `side` from (x, y).
struct FrameRegion {
    double x = 0, y = 0, side = 1;
};

// Encodes an RGB image of `width` x `height` showing a gradient with a bar that moves with `frameNumber`, so
// consecutive frames differ: red grows from left to right and green from top to bottom across the whole picture,
// so that each pixel tells where in it it lies. A frame of a magnified live view shows `region` of it, drawn again
// at the frame's size. Quality 0..100.
std::vector<std::uint8_t> MakeFrameJpeg(int width, int height, std::uint32_t frameNumber, FrameRegion region = {},
                                        int quality = 75);

// A decodable photo of exactly `targetBytes` (or the bare picture, when that is already larger): a picture
// encoded once, padded with application segments after the start-of-image marker.
std::vector<std::uint8_t> MakePhotoJpeg(std::size_t targetBytes, std::uint32_t shotNumber);

} // namespace quor::standin
