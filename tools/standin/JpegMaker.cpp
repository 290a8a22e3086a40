#include "tools/standin/JpegMaker.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

namespace quor::standin {

namespace {

std::vector<std::uint8_t> Encode(int width, int height, int quality, const std::vector<std::uint8_t>& rgb) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* mem = nullptr;
    unsigned long memSize = 0;
    jpeg_mem_dest(&cinfo, &mem, &memSize);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb.data() + cinfo.next_scanline * stride);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<std::uint8_t> out(mem, mem + memSize);
    jpeg_destroy_compress(&cinfo);
    std::free(mem);
    return out;
}

std::vector<std::uint8_t> Picture(int width, int height, std::uint32_t n, const FrameRegion& region = {}) {
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    const int barWidth = width / 16 > 0 ? width / 16 : 1;
    const int barX = static_cast<int>((n * 7) % static_cast<std::uint32_t>(width));
    for (int y = 0; y < height; ++y) {
        // Where the pixel lies in the whole picture, in its pixels.
        const int wy = static_cast<int>((region.y + (y + 0.5) / height * region.side) * height);
        for (int x = 0; x < width; ++x) {
            const int wx = static_cast<int>((region.x + (x + 0.5) / width * region.side) * width);
            std::uint8_t* px = &rgb[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                                     static_cast<std::size_t>(x)) * 3];
            const bool bar = wx >= barX && wx < barX + barWidth;
            px[0] = bar ? 250 : static_cast<std::uint8_t>(wx * 255 / width);
            px[1] = bar ? 250 : static_cast<std::uint8_t>(wy * 255 / height);
            px[2] = static_cast<std::uint8_t>(96 + (n * 13) % 128);
        }
    }
    return rgb;
}

} // namespace

std::vector<std::uint8_t> MakeFrameJpeg(int width, int height, std::uint32_t frameNumber, FrameRegion region,
                                        int quality) {
    return Encode(width, height, quality, Picture(width, height, frameNumber, region));
}

std::vector<std::uint8_t> MakePhotoJpeg(std::size_t targetBytes, std::uint32_t shotNumber) {
    std::vector<std::uint8_t> jpeg = Encode(960, 640, 90, Picture(960, 640, shotNumber * 31));
    if (targetBytes < jpeg.size() + 4)
        return jpeg;
    // APP15 segments right after SOI: marker (2), big-endian length including itself (2), payload.
    constexpr std::size_t kMaxSegment = 2 + 65535;
    std::size_t pad = targetBytes - jpeg.size();
    std::vector<std::uint8_t> out;
    out.reserve(targetBytes);
    out.insert(out.end(), jpeg.begin(), jpeg.begin() + 2);
    while (pad > 0) {
        std::size_t seg = pad <= kMaxSegment ? pad : kMaxSegment;
        if (pad > kMaxSegment && pad - seg < 4)
            seg = pad - 4; // leave room for one more whole segment
        const std::size_t len = seg - 2;
        out.push_back(0xFF);
        out.push_back(0xEF);
        out.push_back(static_cast<std::uint8_t>(len >> 8));
        out.push_back(static_cast<std::uint8_t>(len & 0xFF));
        const std::uint8_t fill = static_cast<std::uint8_t>(shotNumber & 0x7F);
        out.insert(out.end(), len - 2, fill);
        pad -= seg;
    }
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

} // namespace quor::standin
