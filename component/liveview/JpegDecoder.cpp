#include "component/liveview/JpegDecoder.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace quor::component {

namespace {

// libjpeg reports fatal errors through error_exit, which must not return: it jumps back into the call that
// started the decode. Only plain C data lives on the frames it jumps over.
struct JumpingError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

void ExitWithJump(j_common_ptr info) {
    auto* error = reinterpret_cast<JumpingError*>(info->err);
    std::longjmp(error->jump, 1);
}

void Quiet(j_common_ptr) {}

} // namespace

struct JpegDecoder::State {
    jpeg_decompress_struct info{};
    JumpingError error{};
};

JpegDecoder::JpegDecoder() : state_(new State) {
    state_->info.err = jpeg_std_error(&state_->error.mgr);
    state_->error.mgr.error_exit = ExitWithJump;
    state_->error.mgr.output_message = Quiet;
    jpeg_create_decompress(&state_->info);
}

JpegDecoder::~JpegDecoder() {
    jpeg_destroy_decompress(&state_->info);
    delete state_;
}

bool JpegDecoder::Size(const std::uint8_t* data, std::size_t size, int* width, int* height) {
    jpeg_decompress_struct& info = state_->info;
    if (setjmp(state_->error.jump)) {
        jpeg_abort_decompress(&info);
        return false;
    }
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        jpeg_abort_decompress(&info);
        return false;
    }
    *width = static_cast<int>(info.image_width);
    *height = static_cast<int>(info.image_height);
    jpeg_abort_decompress(&info);
    return true;
}

bool JpegDecoder::Decode(const std::uint8_t* data, std::size_t size, int width, int height, std::uint8_t* rows,
                         std::size_t stride) {
    jpeg_decompress_struct& info = state_->info;
    if (setjmp(state_->error.jump)) {
        jpeg_abort_decompress(&info);
        return false;
    }
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK || static_cast<int>(info.image_width) != width ||
        static_cast<int>(info.image_height) != height) {
        jpeg_abort_decompress(&info);
        return false;
    }
    info.out_color_space = JCS_RGB;
    // Live view favours speed: the fast integer transform and plain chroma upsampling cost nothing visible at
    // the size the view shows a frame.
    info.dct_method = JDCT_IFAST;
    info.do_fancy_upsampling = FALSE;
    jpeg_start_decompress(&info);
    if (info.output_components != 3) {
        jpeg_abort_decompress(&info);
        return false;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = rows + static_cast<std::size_t>(info.output_scanline) * stride;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    return true;
}

} // namespace quor::component
