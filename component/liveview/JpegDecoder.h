// Decodes live-view JPEGs straight into caller-owned 24-bit RGB rows with libjpeg-turbo. One decoder object is
// kept for a whole live-view run, so its tables and the source manager are set up once, not per frame.
#pragma once

#include <cstddef>
#include <cstdint>

struct jpeg_decompress_struct;

namespace quor::component {

class JpegDecoder {
public:
    JpegDecoder();
    ~JpegDecoder();
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;

    // Reads only the header: the picture's size. False for data that is not a JPEG.
    bool Size(const std::uint8_t* data, std::size_t size, int* width, int* height);
    // Decodes a picture of exactly width x height into `rows` (height rows of `stride` bytes, RGB). False (rows
    // partly written) for a broken JPEG or one of another size.
    bool Decode(const std::uint8_t* data, std::size_t size, int width, int height, std::uint8_t* rows,
                std::size_t stride);

private:
    struct State;
    State* state_;
};

} // namespace quor::component
