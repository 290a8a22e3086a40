#include "console/FrameMirror.h"

#include <cstddef>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QUOR_HAVE_X86 1
#endif

namespace quor {
namespace {

inline void CopyPixel(unsigned char* dst, const unsigned char* src) {
    dst[0] = src[0];
    dst[1] = src[1];
    dst[2] = src[2];
}

// Mirrors pixels [from, half) of one row, one pixel at a time.
inline void MirrorTail(unsigned char* row, std::uint32_t width, std::uint32_t from, std::uint32_t half) {
    for (std::uint32_t i = from; i < half; ++i)
        CopyPixel(row + 3u * static_cast<std::size_t>(width - 1u - i), row + 3u * static_cast<std::size_t>(i));
}

void MirrorRowsScalar(unsigned char* buffer, std::uint32_t width, std::uint32_t height, std::uint64_t stride) {
    const std::uint32_t half = width / 2u;
    for (std::uint32_t r = 0; r < height; ++r)
        MirrorTail(buffer + static_cast<std::size_t>(r) * stride, width, 0, half);
}

#ifdef QUOR_HAVE_X86
// Sixteen pixels (48 bytes, three registers) at a time: output register k takes its bytes from two of the three
// input registers, each picked with one byte shuffle, so a block costs six shuffles and three ors.
struct ShuffleMasks {
    alignas(16) signed char mask[3][3][16]; // [output register][input register][byte]
};

constexpr ShuffleMasks MakeMasks() {
    ShuffleMasks m{};
    for (int out = 0; out < 3; ++out)
        for (int in = 0; in < 3; ++in)
            for (int b = 0; b < 16; ++b)
                m.mask[out][in][b] = static_cast<signed char>(0x80);
    for (int j = 0; j < 48; ++j) {
        const int pixel = j / 3;
        const int byte = j % 3;
        const int src = 3 * (15 - pixel) + byte;
        m.mask[j / 16][src / 16][j % 16] = static_cast<signed char>(src % 16);
    }
    return m;
}

constexpr ShuffleMasks kMasks = MakeMasks();
constexpr std::size_t kPrefetchDistance = 12288;

__attribute__((target("ssse3"))) void MirrorRowsSsse3(unsigned char* buffer, std::uint32_t width,
                                                       std::uint32_t height, std::uint64_t stride) {
    const std::uint32_t half = width / 2u;
    const std::uint32_t blocks = half / 16u;
    __m128i m[3][3];
    for (int o = 0; o < 3; ++o)
        for (int i = 0; i < 3; ++i)
            m[o][i] = _mm_load_si128(reinterpret_cast<const __m128i*>(kMasks.mask[o][i]));
    for (std::uint32_t r = 0; r < height; ++r) {
        unsigned char* row = buffer + static_cast<std::size_t>(r) * stride;
        for (std::uint32_t b = 0; b < blocks; ++b) {
            const unsigned char* src = row + 48u * static_cast<std::size_t>(b);
            // The block of pixels [16b, 16b + 16) lands on [width - 16b - 16, width - 16b).
            unsigned char* dst = row + 3u * (static_cast<std::size_t>(width) - 16u * b - 16u);
            // Prefetch well ahead of both streams: the destination runs backwards through each row, which
            // the hardware prefetcher follows poorly. A prefetch past the frame is a harmless hint.
            _mm_prefetch(reinterpret_cast<const char*>(src + kPrefetchDistance), _MM_HINT_T0);
            _mm_prefetch(reinterpret_cast<const char*>(dst + kPrefetchDistance), _MM_HINT_T0);
            const __m128i in0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
            const __m128i in1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 16));
            const __m128i in2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 32));
            // Output register 0 draws on inputs 1 and 2, register 1 on all three (only two non-empty), register 2
            // on inputs 0 and 1.
            const __m128i out0 = _mm_or_si128(_mm_shuffle_epi8(in1, m[0][1]), _mm_shuffle_epi8(in2, m[0][2]));
            const __m128i out1 = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(in0, m[1][0]), _mm_shuffle_epi8(in1, m[1][1])),
                                              _mm_shuffle_epi8(in2, m[1][2]));
            const __m128i out2 = _mm_or_si128(_mm_shuffle_epi8(in0, m[2][0]), _mm_shuffle_epi8(in1, m[2][1]));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), out0);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16), out1);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 32), out2);
        }
        MirrorTail(row, width, blocks * 16u, half);
    }
}

bool HaveSsse3() {
    static const bool have = __builtin_cpu_supports("ssse3");
    return have;
}
#endif

} // namespace

void MirrorFrameReference(unsigned char* buffer, std::uint32_t width, std::uint32_t height) {
    if (!buffer)
        return;
    const std::uint64_t stride = FrameStride(width);
    for (std::uint32_t r = 0; r < height; ++r) {
        unsigned char* row = buffer + static_cast<std::size_t>(r) * stride;
        for (std::uint32_t i = 0; i < width / 2u; ++i)
            std::memcpy(row + 3u * static_cast<std::size_t>(width - 1u - i), row + 3u * static_cast<std::size_t>(i), 3);
    }
}

void MirrorFrame(unsigned char* buffer, std::uint32_t width, std::uint32_t height) {
    if (!buffer || width < 2u || height == 0u)
        return;
    const std::uint64_t stride = FrameStride(width);
#ifdef QUOR_HAVE_X86
    if (HaveSsse3()) {
        MirrorRowsSsse3(buffer, width, height, stride);
        return;
    }
#endif
    MirrorRowsScalar(buffer, width, height, stride);
}

} // namespace quor
