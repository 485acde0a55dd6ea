#include "mVariables.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

class PlayerState : public ::testing::Test {
protected:
    void SetUp() override { mVariables::ResetToStartValues(); }
    void TearDown() override { mVariables::ResetToStartValues(); }
};

TEST_F(PlayerState, StartValues) {
    EXPECT_EQ(mVariables::RandomPlayCount, 0);
    EXPECT_TRUE(mVariables::ComputerName().isEmpty());
    EXPECT_EQ(mVariables::ActiveLight(), 0);
    EXPECT_EQ(mVariables::TrackLength(), 0);
    EXPECT_EQ(mVariables::IsPlaying(), mVariables::kFalse);
    EXPECT_EQ(mVariables::IsMuted(), mVariables::kFalse);
    EXPECT_EQ(mVariables::IsRandomMode(), mVariables::kFalse);
    EXPECT_EQ(mVariables::VolumeLevel(), 0);
}

TEST_F(PlayerState, FlagsHoldTrueAsMinusOne) {
    mVariables::SetIsPlaying(mVariables::kTrue);
    mVariables::SetIsMuted(mVariables::kTrue);
    mVariables::SetIsRandomMode(mVariables::kTrue);
    EXPECT_EQ(mVariables::IsPlaying(), -1);
    EXPECT_EQ(mVariables::IsMuted(), -1);
    EXPECT_EQ(mVariables::IsRandomMode(), -1);
    mVariables::SetIsMuted(mVariables::kFalse);
    EXPECT_EQ(mVariables::IsMuted(), 0);
    EXPECT_EQ(mVariables::IsPlaying(), -1); // flags are separate values
}

TEST_F(PlayerState, SettersStoreUnchecked) {
    for (const std::int16_t level :
         {std::numeric_limits<std::int16_t>::min(), std::int16_t{-1}, std::int16_t{7},
          std::int16_t{498}, std::numeric_limits<std::int16_t>::max()}) {
        mVariables::SetVolumeLevel(level);
        EXPECT_EQ(mVariables::VolumeLevel(), level);
    }
    mVariables::SetActiveLight(255);
    EXPECT_EQ(mVariables::ActiveLight(), 255);
    mVariables::SetTrackLength(std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(mVariables::TrackLength(), std::numeric_limits<std::int32_t>::min());
    mVariables::SetIsPlaying(5); // stored as given, even though no flag writer would do this
    EXPECT_EQ(mVariables::IsPlaying(), 5);
}

TEST_F(PlayerState, ComputerNameIsACopy) {
    QString name = "MYPC";
    mVariables::SetComputerName(name);
    name[0] = u'X';
    EXPECT_EQ(mVariables::ComputerName(), "MYPC");
}

TEST_F(PlayerState, RandomPlayCountPassesTheSixteenBitLimit) {
    mVariables::RandomPlayCount = 32767;
    ++mVariables::RandomPlayCount;
    EXPECT_EQ(mVariables::RandomPlayCount, 32768);
}

} // namespace
