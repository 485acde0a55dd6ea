#include "HoverLights.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace zr {
namespace {

constexpr auto none = std::nullopt;

TEST(HoverLights, EachButtonLightsByItsCondition) {
    struct Row {
        int button;
        HoverState state;
        HoverOutcome outcome;
    };
    const HoverState empty{};
    const HoverState oneRow{1, false, false, false};
    const HoverState twoRows{2, false, false, false};
    const HoverState playing{2, true, false, false};
    const HoverState playingMuted{2, true, true, false};
    const HoverState mutedStopped{2, false, true, false};
    const HoverState random{0, false, false, true};
    const std::vector<Row> table = {
        {0, empty, {}},
        {0, oneRow, {}},
        {0, twoRows, {0, kLightCanAct, 0}},
        {1, empty, {}},
        {1, oneRow, {1, kLightCanAct, 1}},
        {2, twoRows, {}},
        {2, playing, {2, kLightCanAct, 2}},
        {3, twoRows, {}},
        {3, playing, {3, kLightCanAct, 3}},
        {4, oneRow, {}},
        {4, twoRows, {4, kLightCanAct, 4}},
        {5, empty, {5, kLightCanAct, 5}},
        {8, twoRows, {none, kLightOff, 6}}, // dark, yet the active light
        {8, mutedStopped, {none, kLightOff, 6}},
        {8, playing, {6, kLightCanAct, 6}},
        {8, playingMuted, {6, kLightToggleOn, 6}},
        {9, empty, {7, kLightCanAct, 7}},
        {9, random, {7, kLightToggleOn, 7}},
        {14, empty, {8, kLightCanAct, 8}},
    };
    for (const auto& r : table) {
        EXPECT_EQ(HoverLight(r.button, r.state), r.outcome) << "button " << r.button;
    }
    for (int button : {6, 7, 10, 11, 12, 13, 15, -1, 16}) {
        EXPECT_EQ(HoverLight(button, playingMuted), HoverOutcome{}) << "button " << button;
    }
}

TEST(HoverLights, PressFlashesOnlyTheFirstRowAndClear) {
    for (int button = 0; button <= 5; ++button) {
        EXPECT_EQ(PressedLight(button), button);
    }
    EXPECT_EQ(PressedLight(14), 8);
    for (int button : {6, 7, 8, 9, 10, 11, 12, 13, 15}) {
        EXPECT_EQ(PressedLight(button), std::nullopt) << button;
    }
}

} // namespace
} // namespace zr
