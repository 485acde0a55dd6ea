#include "PlaylistRules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <vector>

namespace zr {
namespace {

TEST(PlaylistRules, RandomPickReturnsZeroOnlyWhenNothingIsUnplayed) {
    EXPECT_EQ(PickUnplayedRow({}, 0.5), 0);
    const std::vector<bool> allPlayed{true, true, true};
    for (double draw : {0.0, 0.5, 0.999}) {
        EXPECT_EQ(PickUnplayedRow(allPlayed, draw), 0);
    }
    // Rows 1 and 3 played: whatever the draw, row 2 is the answer.
    const std::vector<bool> middleLeft{true, false, true};
    for (double draw : {0.0, 0.3, 0.7, 0.99999, 1.0, -1.0, std::nan("")}) {
        EXPECT_EQ(PickUnplayedRow(middleLeft, draw), 2) << draw;
    }
}

TEST(PlaylistRules, RandomPickSplitsTheDrawEvenlyOverUnplayedRows) {
    // Unplayed rows 2, 4, 5, 7: each owns a quarter of [0, 1).
    const std::vector<bool> played{true, false, true, false, false, true, false};
    const std::vector<std::pair<double, std::int32_t>> table = {
        {0.0, 2}, {0.2499, 2}, {0.25, 4}, {0.4999, 4}, {0.5, 5}, {0.75, 7}, {0.99999, 7}};
    for (const auto& [draw, row] : table) {
        EXPECT_EQ(PickUnplayedRow(played, draw), row) << draw;
    }
    // A fine sweep gives every unplayed row the same share, and never a played row.
    std::map<std::int32_t, int> hits;
    constexpr int steps = 4000;
    for (int i = 0; i < steps; ++i) {
        ++hits[PickUnplayedRow(played, (i + 0.5) / steps)];
    }
    EXPECT_EQ(hits, (std::map<std::int32_t, int>{{2, 1000}, {4, 1000}, {5, 1000}, {7, 1000}}));
}

} // namespace
} // namespace zr
