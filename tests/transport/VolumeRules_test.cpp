#include "VolumeRules.h"

#include <QString>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace zr {
namespace {

TEST(VolumeRules, StepsStopAtTheTopAndBottomLevels) {
    struct Row {
        int level;
        const char16_t* direction;
        std::optional<int> next;
    };
    const std::vector<Row> table = {
        {498, u"Increase", 664},          {664, u"Increase", 830},
        {830, u"Increase", 996},          {996, u"Increase", std::nullopt},
        {994, u"Increase", 1160}, // below the 995 limit
        {498, u"Decrease", 332},          {332, u"Decrease", 166},
        {166, u"Decrease", std::nullopt}, {331, u"Decrease", std::nullopt},
        {498, u"increase", std::nullopt}, {498, u"DECREASE", std::nullopt},
        {498, u"", std::nullopt},         {498, u"Increase ", std::nullopt},
    };
    for (const auto& r : table) {
        EXPECT_EQ(SteppedVolumeLevel(r.level, r.direction), r.next)
            << r.level << " " << QString::fromUtf16(r.direction).toStdString();
    }
}

TEST(VolumeRules, OneLitShapePerStartedStep) {
    const std::vector<std::pair<int, std::optional<int>>> table = {
        {-5, 1},
        {0, 1},
        {166, 1},
        {167, 2},
        {332, 2},
        {333, 3},
        {498, 3},
        {664, 4},
        {830, 5},
        {831, 6},
        {996, 6},
        {997, std::nullopt},
        {1160, std::nullopt},
    };
    for (const auto& [level, lit] : table) {
        EXPECT_EQ(LitVolumeSteps(level), lit) << level;
    }
}

} // namespace
} // namespace zr
