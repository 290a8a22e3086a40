#include "component/liveview/AidKernels.h"

#include "component/liveview/Aids.h"

#include <algorithm>
#include <cstring>

// The kernels are plain loops; on x86-64 the compiler also builds an AVX2 copy of the vectorised ones, picked at
// load time by the processor's features, as SSE2 alone has no byte shuffle to take RGB triples apart. Luma, the
// costliest, has an AVX2 path of its own written out (LumaAvx2), used when the processor has AVX2.
// Not under ThreadSanitizer: the clones' resolver runs while the program is being loaded, before the sanitizer
// is ready, and crashes there.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && defined(__linux__) && \
    !defined(__SANITIZE_THREAD__)
#define QUOR_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#define QUOR_LUMA_AVX2 1
#include <immintrin.h>
#else
#define QUOR_VECTOR_CLONES
#define QUOR_LUMA_AVX2 0
#endif

namespace quor::component::aid {
namespace {

using u8 = std::uint8_t;
using u16 = std::uint16_t;

inline u8 AllOr0(bool b) { return static_cast<u8>(b ? 0xFF : 0); }

inline u8 AbsDiff(u8 a, u8 b) { return static_cast<u8>(std::max(a, b) - std::min(a, b)); }

// a + b, held at 255 where it would wrap (then it comes out below a).
inline u8 SaturatedSum(u8 a, u8 b) {
    const u8 sum = static_cast<u8>(a + b);
    return static_cast<u8>(sum | AllOr0(sum < a));
}

template <bool kPeaking, bool kZebra>
inline void MarkRowAs(const u8* __restrict above, const u8* __restrict row, const u8* __restrict below,
                      u8* __restrict marks, int width, const u8* __restrict blownStripes,
                      const u8* __restrict blockedStripes, const MarkLimits& limits) {
    const u8 peak = limits.peak, high = limits.high, low = limits.low;
    const u8 highOn = AllOr0(limits.highOn), lowOn = AllOr0(limits.lowOn);
    // Byte masks (0 or 0xFF) and selects by and/or, so that the loop runs on whole vectors of bytes.
    for (int x = 0; x < width; ++x) {
        const u8 l = row[x + 1];
        u8 mark = kUnmarked;
        if constexpr (kZebra) {
            const u8 blown = static_cast<u8>(AllOr0(l >= high) & highOn & blownStripes[x]);
            const u8 blocked = static_cast<u8>(AllOr0(l <= low) & lowOn & blockedStripes[x]);
            mark = static_cast<u8>((blown & kBlown) | (~blown & blocked & kBlocked));
        }
        if constexpr (kPeaking) {
            const u8 edge = SaturatedSum(AbsDiff(row[x + 2], row[x]), AbsDiff(below[x + 1], above[x + 1]));
            const u8 peaked = AllOr0(edge > peak);
            mark = static_cast<u8>((peaked & kPeak) | (~peaked & mark));
        }
        marks[x] = mark;
    }
}

// The colour a pixel takes: its own where unmarked, else that of its mark. Selects on byte masks, so that a
// run of pixels is worked on whole vectors.
inline u8 Painted(u8 own, u8 mark, u8 peak, u8 blown, u8 blocked) {
    return static_cast<u8>((own & AllOr0(mark == kUnmarked)) | (peak & AllOr0(mark == kPeak)) |
                           (blown & AllOr0(mark == kBlown)) | (blocked & AllOr0(mark == kBlocked)));
}

constexpr int kChunk = 32; // pixels painted together, or copied together when none is marked

inline void PaintChunk(const u8* __restrict src, u8* __restrict dst, const u8* __restrict marks, int count,
                       const Colour (&colours)[kMarkKinds]) {
    const Colour peak = colours[kPeak], blown = colours[kBlown], blocked = colours[kBlocked];
    for (int x = 0; x < count; ++x) {
        const u8 m = marks[x];
        dst[3 * x] = Painted(src[3 * x], m, peak.r, blown.r, blocked.r);
        dst[3 * x + 1] = Painted(src[3 * x + 1], m, peak.g, blown.g, blocked.g);
        dst[3 * x + 2] = Painted(src[3 * x + 2], m, peak.b, blown.b, blocked.b);
    }
}

inline bool AnyMarked(const u8* marks) {
    std::uint64_t any = 0;
    for (int i = 0; i < kChunk; i += 8) {
        std::uint64_t eight = 0;
        std::memcpy(&eight, marks + i, sizeof eight);
        any |= eight;
    }
    return any != 0;
}

inline void Count(std::uint32_t (&bins)[4][256], const u8* p) {
    ++bins[0][Luma(p[0], p[1], p[2])];
    ++bins[1][p[0]];
    ++bins[2][p[1]];
    ++bins[3][p[2]];
}

} // namespace

namespace {

QUOR_VECTOR_CLONES void LumaPlain(const u8* __restrict rgb, u8* __restrict luma, int width) {
    // 77 * 255 + 150 * 255 + 29 * 255 + 128 fits in 16 bits, so the sums stay in 16-bit lanes.
    for (int x = 0; x < width; ++x) {
        const u16 sum = static_cast<u16>(static_cast<u16>(rgb[3 * x] * 77u) + static_cast<u16>(rgb[3 * x + 1] * 150u) +
                                         static_cast<u16>(rgb[3 * x + 2] * 29u) + 128u);
        luma[x] = static_cast<u8>(sum >> 8);
    }
}

#if QUOR_LUMA_AVX2
// 16 pixels (48 bytes from rgb) into 16 sums of 16 bits, pixels 0..7 in the low half and 8..15 in the high one.
// Each half takes its eight pixels from two loads of four whole pixels; a byte shuffle pairs them up as
// (R, G) and (B, G), and a multiply-add of unsigned bytes by signed weights sums each pair: 77 R + 51 G and
// 29 B + 99 G, each at most 128 * 255 (no saturation), which add up to 77 R + 150 G + 29 B exactly.
__attribute__((target("avx2"))) inline __m256i LumaSums16(const u8* rgb) {
    const __m256i first = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(rgb + 24),
                                               reinterpret_cast<const __m128i*>(rgb));
    const __m256i second = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(rgb + 36),
                                                reinterpret_cast<const __m128i*>(rgb + 12));
    const char z = -128; // a shuffle index that yields 0
    const __m256i rgFirst = _mm256_setr_epi8(0, 1, 3, 4, 6, 7, 9, 10, z, z, z, z, z, z, z, z, 0, 1, 3, 4, 6, 7, 9,
                                             10, z, z, z, z, z, z, z, z);
    const __m256i rgSecond = _mm256_setr_epi8(z, z, z, z, z, z, z, z, 0, 1, 3, 4, 6, 7, 9, 10, z, z, z, z, z, z,
                                              z, z, 0, 1, 3, 4, 6, 7, 9, 10);
    const __m256i bgFirst = _mm256_setr_epi8(2, 1, 5, 4, 8, 7, 11, 10, z, z, z, z, z, z, z, z, 2, 1, 5, 4, 8, 7,
                                             11, 10, z, z, z, z, z, z, z, z);
    const __m256i bgSecond = _mm256_setr_epi8(z, z, z, z, z, z, z, z, 2, 1, 5, 4, 8, 7, 11, 10, z, z, z, z, z, z,
                                              z, z, 2, 1, 5, 4, 8, 7, 11, 10);
    const __m256i rg = _mm256_or_si256(_mm256_shuffle_epi8(first, rgFirst), _mm256_shuffle_epi8(second, rgSecond));
    const __m256i bg = _mm256_or_si256(_mm256_shuffle_epi8(first, bgFirst), _mm256_shuffle_epi8(second, bgSecond));
    const __m256i sum = _mm256_add_epi16(_mm256_maddubs_epi16(rg, _mm256_set1_epi16(51 << 8 | 77)),
                                         _mm256_maddubs_epi16(bg, _mm256_set1_epi16(99 << 8 | 29)));
    return _mm256_srli_epi16(_mm256_add_epi16(sum, _mm256_set1_epi16(128)), 8);
}

// Returns the pixels done; the rest are left to LumaPlain. Loads reach 4 bytes past the pixels they use.
__attribute__((target("avx2"))) int LumaAvx2(const u8* rgb, u8* luma, int width) {
    int x = 0;
    for (; x + 34 <= width; x += 32) {
        const u8* p = rgb + 3 * static_cast<std::size_t>(x);
        const __m256i packed = _mm256_packus_epi16(LumaSums16(p), LumaSums16(p + 48));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(luma + x), _mm256_permute4x64_epi64(packed, 0xD8));
    }
    return x;
}

bool HasAvx2() {
    __builtin_cpu_init(); // this may run among other static initialisers, before the library's own
    return __builtin_cpu_supports("avx2");
}
const bool kHasAvx2 = HasAvx2();
#endif

} // namespace

void LumaRow(const u8* rgb, u8* luma, int width) {
    int done = 0;
#if QUOR_LUMA_AVX2
    if (kHasAvx2)
        done = LumaAvx2(rgb, luma + 1, width);
#endif
    LumaPlain(rgb + 3 * static_cast<std::size_t>(done), luma + 1 + done, width - done);
    luma[0] = luma[1];
    luma[width + 1] = luma[width];
}

QUOR_VECTOR_CLONES void MarkRow(const u8* above, const u8* row, const u8* below, u8* marks, int width,
                                const u8* blownStripes, const u8* blockedStripes, const MarkLimits& limits) {
    if (limits.peaking && limits.zebra)
        MarkRowAs<true, true>(above, row, below, marks, width, blownStripes, blockedStripes, limits);
    else if (limits.peaking)
        MarkRowAs<true, false>(above, row, below, marks, width, blownStripes, blockedStripes, limits);
    else if (limits.zebra)
        MarkRowAs<false, true>(above, row, below, marks, width, blownStripes, blockedStripes, limits);
    else
        std::memset(marks, kUnmarked, static_cast<std::size_t>(width));
}

QUOR_VECTOR_CLONES void PaintRow(const u8* src, u8* dst, std::size_t stride, const u8* marks, int width,
                                 const Colour (&colours)[kMarkKinds]) {
    // Marks are sparse on most frames: runs without any are copied as they are.
    int x = 0;
    for (; x + kChunk <= width; x += kChunk) {
        const std::size_t at = 3 * static_cast<std::size_t>(x);
        if (AnyMarked(marks + x))
            PaintChunk(src + at, dst + at, marks + x, kChunk, colours);
        else
            std::memcpy(dst + at, src + at, 3 * kChunk);
    }
    const std::size_t at = 3 * static_cast<std::size_t>(x);
    PaintChunk(src + at, dst + at, marks + x, width - x, colours);
    const std::size_t end = 3 * static_cast<std::size_t>(width);
    std::memcpy(dst + end, src + end, stride - end); // the row's padding, so that `marked` is a whole copy
}

std::uint32_t TallyRow(const u8* rgb, int width, int step, HistogramTally& tally) {
    const std::size_t advance = 3 * static_cast<std::size_t>(step);
    const u8* p = rgb;
    int x = 0;
    for (; x + 3 * step < width; x += 4 * step, p += 4 * advance) {
        Count(tally.bins[0], p);
        Count(tally.bins[1], p + advance);
        Count(tally.bins[2], p + 2 * advance);
        Count(tally.bins[3], p + 3 * advance);
    }
    for (; x < width; x += step, p += advance)
        Count(tally.bins[0], p);
    return static_cast<std::uint32_t>((width + step - 1) / step);
}

} // namespace quor::component::aid
