#include "SpscRing.h"

#include <gtest/gtest.h>

#include <thread>

namespace zr::media {
namespace {

TEST(SpscRing, HoldsExactlyItsCapacityAndWrapsAround) {
    SpscRing<int> ring(3);
    EXPECT_EQ(ring.front(), nullptr);
    for (int round = 0; round < 5; ++round) {
        for (int i = 0; i < 3; ++i) {
            int* slot = ring.writeSlot();
            ASSERT_NE(slot, nullptr);
            *slot = round * 10 + i;
            ring.publish();
        }
        EXPECT_EQ(ring.writeSlot(), nullptr);
        EXPECT_EQ(ring.size(), 3u);
        for (int i = 0; i < 3; ++i) {
            ASSERT_NE(ring.front(), nullptr);
            EXPECT_EQ(*ring.front(), round * 10 + i);
            ring.pop();
        }
        EXPECT_EQ(ring.front(), nullptr);
    }
}

TEST(SpscRing, ConsumerSeesEveryItemInOrderAcrossThreads) {
    SpscRing<long> ring(8);
    constexpr long kCount = 200000;
    std::thread producer([&] {
        for (long i = 0; i < kCount;) {
            if (long* slot = ring.writeSlot()) {
                *slot = i++;
                ring.publish();
            } else {
                std::this_thread::yield();
            }
        }
    });
    long expected = 0;
    bool inOrder = true;
    while (expected < kCount) {
        if (long* item = ring.front()) {
            inOrder = inOrder && *item == expected;
            ++expected;
            ring.pop();
        } else {
            std::this_thread::yield();
        }
    }
    producer.join();
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(ring.front(), nullptr);
}

} // namespace
} // namespace zr::media
