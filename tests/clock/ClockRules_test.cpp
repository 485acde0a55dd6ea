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
        {3615, 1, 1e9f, std::nullopt},       // far past the end: the edge leaves 32 bits
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

TEST(ClockRules, ProgressEdgeHoldsForAnyLengthTheServiceReports) {
    // width x position passes 2^31 at 594,060 ms on the 3615-twip bar; the edge must not.
    struct Row {
        const char* track;
        std::int32_t length;
        float position; // each exactly representable in single precision
        std::int32_t edge;
    };
    constexpr std::int32_t kLongest = std::numeric_limits<std::int32_t>::max();
    const std::vector<Row> table = {
        {"10 min, half", 600000, 300000, 2007},
        {"10 min, 594,060 ms", 600000, 594060, 3779},
        {"10 min, end", 600000, 600000, 3815},
        {"3 h, one second in", 10800000, 1000, 200},
        {"3 h, half", 10800000, 5400000, 2007},
        {"3 h, a second before the end", 10800000, 10799000, 3814},
        {"3 h, end", 10800000, 10800000, 3815},
        {"24 h, half", 86400000, 43200000, 2007},
        {"24 h, end", 86400000, 86400000, 3815},
        {"2^31-1 ms, half", kLongest, 1073741824.0f, 2007},
        {"2^31-1 ms, last float below the end", kLongest, 2147483520.0f, 3814},
        {"2^31-1 ms, end (rounds up to 2^31)", kLongest, static_cast<float>(kLongest), 3815},
    };
    for (const auto& r : table) {
        EXPECT_EQ(ProgressRightEdge(3615, r.length, r.position), r.edge) << r.track;
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
