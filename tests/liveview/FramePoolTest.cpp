// Frames cross from the producer thread to the view whole, newest first, with slow views dropping frames
// rather than queueing them.
#include "component/liveview/FramePool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using quor::component::Frame;
using quor::component::FramePool;

void Stamp(Frame& f, std::uint64_t seq) {
    f.sequence = seq;
    for (std::size_t i = 0; i < f.bytes.size(); ++i)
        f.bytes[i] = static_cast<unsigned char>(seq + i);
}

bool Whole(const Frame& f) {
    for (std::size_t i = 0; i < f.bytes.size(); ++i)
        if (f.bytes[i] != static_cast<unsigned char>(f.sequence + i))
            return false;
    return true;
}

TEST(FramePool, TheViewGetsTheNewestFrameAndSkippedFramesCountAsDropped) {
    FramePool pool;
    pool.Configure(5, 3);
    const unsigned char* firstBuffer = pool.WriteBuffer(5, 3).bytes.data();
    EXPECT_EQ(pool.WriteBuffer(5, 3).stride, 16u);
    EXPECT_EQ(pool.WriteBuffer(5, 3).bytes.size(), 48u);
    EXPECT_EQ(pool.TakeNewest(), nullptr);
    EXPECT_EQ(pool.Current(), nullptr);

    Stamp(pool.WriteBuffer(5, 3), 1);
    EXPECT_TRUE(pool.Publish());
    const Frame* f = pool.TakeNewest();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->sequence, 1u);
    EXPECT_EQ(pool.TakeNewest(), nullptr) << "nothing new";
    EXPECT_EQ(pool.Current(), f);

    for (std::uint64_t s = 2; s <= 4; ++s) {
        Stamp(pool.WriteBuffer(5, 3), s);
        pool.Publish();
    }
    EXPECT_EQ(pool.Current()->sequence, 1u) << "the frame being shown is not written meanwhile";
    f = pool.TakeNewest();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->sequence, 4u);
    EXPECT_TRUE(Whole(*f));
    EXPECT_EQ(pool.Published(), 4u);
    EXPECT_EQ(pool.Dropped(), 2u);

    pool.Configure(5, 3);
    EXPECT_EQ(pool.WriteBuffer(5, 3).bytes.data(), firstBuffer) << "the same size keeps its buffers";
    EXPECT_EQ(pool.Current(), nullptr);
    pool.ResetCounters();
    EXPECT_EQ(pool.Dropped(), 0u);
}

// The producer changes the frame size now and then (a body zooming in), on its own: the view still gets whole
// frames of the size each was made at.
TEST(FramePool, ConcurrentProducerNeverTearsAFrameAlsoWhenTheSizeChanges) {
    FramePool pool;
    pool.Configure(64, 16);
    std::atomic<bool> done{false};
    constexpr std::uint64_t kFrames = 20000;
    auto widthOf = [](std::uint64_t s) { return (s / 1000) % 2 ? 24u : 64u; };
    std::thread producer([&] {
        for (std::uint64_t s = 1; s <= kFrames; ++s) {
            Stamp(pool.WriteBuffer(widthOf(s), widthOf(s) / 4), s);
            pool.Publish();
        }
        done = true;
    });
    std::uint64_t last = 0, taken = 0;
    bool torn = false, backwards = false;
    // The last frame is always published fresh, so the view ends up with it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (last < kFrames && std::chrono::steady_clock::now() < deadline) {
        if (const Frame* f = pool.TakeNewest()) {
            torn |= !Whole(*f) || f->width != widthOf(f->sequence) || f->bytes.size() != f->stride * f->height;
            backwards |= f->sequence <= last;
            last = f->sequence;
            ++taken;
        }
    }
    producer.join();
    EXPECT_FALSE(torn);
    EXPECT_FALSE(backwards);
    EXPECT_EQ(last, kFrames);
    EXPECT_TRUE(done.load());
    EXPECT_EQ(pool.Published(), kFrames);
    EXPECT_LE(pool.Dropped() + taken, kFrames + 1);
}

} // namespace
