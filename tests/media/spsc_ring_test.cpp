#include "SpscRing.h"

#include <gtest/gtest.h>

#include <thread>

namespace zr::media {
namespace {

TEST(SpscRing, HoldsExactlyItsCapacityAndWrapsAround) {
    SpscRing<int> ring(3);
    auto in = ring.producer();
    auto out = ring.consumer();
    EXPECT_EQ(out.front(), nullptr);
    for (int round = 0; round < 5; ++round) {
        for (int i = 0; i < 3; ++i) {
            int* slot = in.slot();
            ASSERT_NE(slot, nullptr);
            *slot = round * 10 + i;
            in.publish();
        }
        EXPECT_EQ(in.slot(), nullptr);
        EXPECT_EQ(ring.size(), 3u);
        for (int i = 0; i < 3; ++i) {
            ASSERT_NE(out.front(), nullptr);
            EXPECT_EQ(*out.front(), round * 10 + i);
            out.pop();
        }
        EXPECT_EQ(out.front(), nullptr);
    }
}

TEST(SpscRing, ConsumerSeesEveryItemInOrderAcrossThreads) {
    SpscRing<long> ring(8);
    constexpr long kCount = 200000;
    std::thread producer([in = ring.producer()]() mutable {
        for (long i = 0; i < kCount;) {
            if (long* slot = in.slot()) {
                *slot = i++;
                in.publish();
            } else {
                std::this_thread::yield();
            }
        }
    });
    auto out = ring.consumer();
    long expected = 0;
    bool inOrder = true;
    while (expected < kCount) {
        if (long* item = out.front()) {
            inOrder = inOrder && *item == expected;
            ++expected;
            out.pop();
        } else {
            std::this_thread::yield();
        }
    }
    producer.join();
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(out.front(), nullptr);
}

} // namespace
} // namespace zr::media
