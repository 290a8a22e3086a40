// Mirroring live-view frames in place: results against the plain reference, and nothing touched outside the
// pixels of each row.
#include "console/FrameMirror.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

using quor::FrameStride;
using quor::MirrorFrame;

// A frame with a guard zone after it; every byte starts with a distinct pattern.
struct Frame {
    Frame(std::uint32_t w, std::uint32_t h, std::uint32_t guard = 64) : width(w), height(h) {
        bytes.resize(static_cast<std::size_t>(FrameStride(w)) * h + guard);
        std::mt19937 rng(w * 7919u + h);
        for (auto& b : bytes)
            b = static_cast<unsigned char>(rng());
    }
    std::uint32_t width, height;
    std::vector<unsigned char> bytes;
};

TEST(FrameMirror, StrideRoundsThreeBytesPerPixelUpToFour) {
    EXPECT_EQ(FrameStride(0), 0u);
    EXPECT_EQ(FrameStride(1), 4u);
    EXPECT_EQ(FrameStride(4), 12u);
    EXPECT_EQ(FrameStride(5), 16u);
    EXPECT_EQ(FrameStride(1920), 5760u);
    // 32-bit arithmetic would wrap here.
    EXPECT_EQ(FrameStride(0xFFFFFFFFu), ((0xFFFFFFFFull * 24 + 31) / 32) * 4);
}

TEST(FrameMirror, SmallFramesFromTheDocumentedExamples) {
    // 4 x 2: A B C D / E F G H -> A B B A / E F F E
    std::vector<unsigned char> f4 = {'A', 'a', '1', 'B', 'b', '2', 'C', 'c', '3', 'D', 'd', '4',
                                     'E', 'e', '5', 'F', 'f', '6', 'G', 'g', '7', 'H', 'h', '8'};
    MirrorFrame(f4.data(), 4, 2);
    EXPECT_EQ(std::string(f4.begin(), f4.end()), "Aa1Bb2Bb2Aa1Ee5Ff6Ff6Ee5");

    // 5 wide: one fill byte per row that keeps its value; the middle pixel stays.
    std::vector<unsigned char> f5 = {'A', 'a', '1', 'B', 'b', '2', 'C', 'c', '3', 'D', 'd', '4', 'E', 'e', '5', '#'};
    MirrorFrame(f5.data(), 5, 1);
    EXPECT_EQ(std::string(f5.begin(), f5.end()), "Aa1Bb2Cc3Bb2Aa1#");
}

TEST(FrameMirror, DegenerateFramesAreLeftAlone) {
    for (auto [w, h] : {std::pair<std::uint32_t, std::uint32_t>{0, 4}, {1, 4}, {7, 0}, {0, 0}}) {
        Frame f(w, h);
        const auto before = f.bytes;
        MirrorFrame(f.bytes.data(), w, h);
        EXPECT_EQ(f.bytes, before) << w << "x" << h;
    }
    MirrorFrame(nullptr, 1920, 1080); // must simply return
    Frame one(9, 1);
    auto expected = one.bytes;
    quor::MirrorFrameReference(expected.data(), 9, 1);
    MirrorFrame(one.bytes.data(), 9, 1);
    EXPECT_EQ(one.bytes, expected) << "a single row is mirrored";
}

TEST(FrameMirror, MatchesTheReferenceAndTouchesNothingOutsideThePixels) {
    std::mt19937 rng(12345);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> sizes = {{2, 1},   {3, 3},   {31, 2},  {32, 2},  {33, 3},
                                                                  {47, 1},  {48, 2},  {63, 2},  {64, 1},  {65, 5},
                                                                  {640, 4}, {1023, 3}, {1024, 2}, {1921, 2}};
    for (int i = 0; i < 60; ++i)
        sizes.emplace_back(1 + rng() % 700, 1 + rng() % 9);
    for (auto [w, h] : sizes) {
        Frame f(w, h);
        auto expected = f.bytes;
        quor::MirrorFrameReference(expected.data(), w, h);
        const auto before = f.bytes;
        MirrorFrame(f.bytes.data(), w, h);
        ASSERT_EQ(f.bytes, expected) << w << "x" << h;
        // Fill bytes and the guard after the frame keep their values; left halves are unchanged.
        const std::size_t stride = FrameStride(w);
        for (std::uint32_t r = 0; r < h; ++r) {
            for (std::size_t b = 3u * w; b < stride; ++b)
                ASSERT_EQ(f.bytes[r * stride + b], before[r * stride + b]) << "fill byte, " << w << "x" << h;
            for (std::size_t b = 0; b < 3u * (w / 2); ++b)
                ASSERT_EQ(f.bytes[r * stride + b], before[r * stride + b]) << "left half, " << w << "x" << h;
        }
        for (std::size_t b = stride * h; b < f.bytes.size(); ++b)
            ASSERT_EQ(f.bytes[b], before[b]) << "past the frame, " << w << "x" << h;
    }
}

TEST(FrameMirror, RowsReadTheSameFromBothEnds) {
    Frame f(101, 3);
    MirrorFrame(f.bytes.data(), 101, 3);
    const std::size_t stride = FrameStride(101);
    for (std::uint32_t r = 0; r < 3; ++r)
        for (std::uint32_t i = 0; i < 101; ++i)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(f.bytes[r * stride + 3 * i + c], f.bytes[r * stride + 3 * (100 - i) + c]);
}

} // namespace
