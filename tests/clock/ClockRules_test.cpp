#include "ClockRules.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <optional>
#include <vector>

namespace zr {
namespace {

TEST(ClockRules, ElapsedTimeCarriesThroughEveryPlace) {
    const std::map<int, ElapsedTime> expected = {
        {1, {0, 0, 0, 1}},    {9, {0, 0, 0, 9}},    {10, {0, 0, 1, 0}},    {59, {0, 0, 5, 9}},
        {60, {0, 1, 0, 0}},   {599, {0, 9, 5, 9}},  {600, {1, 0, 0, 0}},   {601, {1, 0, 0, 1}},
        {3599, {5, 9, 5, 9}}, {3600, {6, 0, 0, 0}}, {6000, {10, 0, 0, 0}},
    };
    ElapsedTime t;
    for (int tick = 1; tick <= 6000; ++tick) {
        t = AdvanceElapsed(t);
        if (const auto it = expected.find(tick); it != expected.end()) {
            EXPECT_EQ(t, it->second) << "after " << tick << " ticks";
        }
    }
}

TEST(ClockRules, ProgressEdgeFollowsThePositionAndSkipsWhatCannotBeComputed) {
    struct Row {
        float width;
        std::int32_t length;
        float position;
        std::optional<std::int32_t> edge;
    };
    const std::vector<Row> table = {
        {3615, 1000, 500, 2007}, // 1807500 / 1000 truncates to 1807
        {3615, 3, 1, 1405},      // 3615 / 3
        {3615, 245000, 0, 200},  // the first 200 twips always show
        {3615, 245000, 245000, 3815},
        {3615, 0, 0, std::nullopt}, // nothing loaded: draw nothing
        {3615, 0, 500, std::nullopt},
        {3615, 1, 1e9f, std::nullopt},       // the product leaves 32 bits
        {1, 1, 2147483520.0f, std::nullopt}, // the edge leaves 32 bits
        {3615, 7, -14, -7030},               // truncation toward zero
        {0.5f, 1, 5, 202},                   // 2.5 rounds to the even 2
        {0.5f, 1, 7, 204},                   // 3.5 rounds to the even 4
    };
    for (const auto& r : table) {
        EXPECT_EQ(ProgressRightEdge(r.width, r.length, r.position), r.edge)
            << r.width << " " << r.length << " " << r.position;
    }
}

TEST(ClockRules, SeekPositionIsProportionalAndRoundsHalfToEven) {
    struct Row {
        float width;
        double length;
        float x;
        std::optional<std::int32_t> position;
    };
    const std::vector<Row> table = {
        {3615, 245000, 0, 0},
        {3615, 245000, 1800, 121992}, // 121991.70...
        {3615, 3615, 0.5f, 0},
        {3615, 3615, 1.5f, 2},
        {3615, 3615, 2.5f, 2},
        {3615, 0, 1800, 0}, // nothing loaded
        {3615, 245000, 3615, 245000},
        {0, 245000, 10, std::nullopt}, // a bar without width cannot map a press
        {3615, 1e12, 3615, std::nullopt},
    };
    for (const auto& r : table) {
        EXPECT_EQ(SeekPosition(r.width, r.length, r.x), r.position)
            << r.width << " " << r.length << " " << r.x;
    }
}

} // namespace
} // namespace zr
