#include "Playlist.h"

#include "PlaylistEntry.h"
#include "mVariables.h"

#include <QWidget>

#include <gtest/gtest.h>

#include <limits>
#include <map>

namespace zr {
namespace {

class PlaylistTest : public ::testing::Test {
protected:
    void SetUp() override { mVariables::ResetToStartValues(); }
    QWidget host;
    ui::ListView& list = *new ui::ListView(&host); // owned by host

    QString Field(int row, int subItem) { return list.ListItems().Item(row).SubItems(subItem); }
    void Mark(int row) {
        list.ListItems().Item(row).SetSubItems(kPlayMarkSubItem, kPlayedMark.toString());
    }
};

TEST_F(PlaylistTest, AppendedRowsCarryFolderNumberNameAndUnplayedMark) {
    for (int i = 1; i <= 8; ++i) {
        AppendEntry(list, "D:\\Music\\", QString("t%1.mp3").arg(i));
    }
    AppendEntry(list, "D:\\Music\\Rock\\", "a b.mp3");
    AppendEntry(list, "", "bare.mp3");
    ASSERT_EQ(list.ListItems().Count(), 10);
    EXPECT_EQ(list.ListItems().Item(9).Text(), "D:\\Music\\Rock\\");
    EXPECT_EQ(Field(9, kTrackNumberSubItem), "09.");
    EXPECT_EQ(Field(10, kTrackNumberSubItem), "10.");
    EXPECT_EQ(Field(9, kFileNameSubItem), "a b.mp3");
    EXPECT_EQ(Field(9, kPlayMarkSubItem), "U");
    EXPECT_EQ(ReadEntry(list.ListItems().Item(10)).FullPath(), "bare.mp3");
    EXPECT_FALSE(list.SelectedItem().has_value()) << "appending selects nothing";

    list.ListItems().Clear();
    AppendEntry(list, "C:\\", "x.mp3");
    EXPECT_EQ(Field(1, kTrackNumberSubItem), "01.");
}

TEST_F(PlaylistTest, FortyThousandRowsAreNumberedOnAndPickable) {
    for (int i = 0; i < 40000; ++i) {
        AppendEntry(list, "C:\\", "x.mp3");
    }
    EXPECT_EQ(Field(100, kTrackNumberSubItem), "100.");
    EXPECT_EQ(Field(32768, kTrackNumberSubItem), "32768.");
    EXPECT_EQ(Field(40000, kTrackNumberSubItem), "40000.");
    for (int i = 1; i < 40000; ++i) {
        Mark(i);
    }
    EXPECT_EQ(mProcFunc::PickRandomTrack(list), 40000);
}

TEST_F(PlaylistTest, RandomPickIgnoresAFullCountAndNeverOverflowsIt) {
    EXPECT_EQ(mProcFunc::PickRandomTrack(list), 0); // empty list
    EXPECT_EQ(mVariables::RandomPlayCount, 0);
    for (int i = 0; i < 3; ++i) {
        AppendEntry(list, "C:\\", "x.mp3");
    }
    Mark(1);
    Mark(3);
    mVariables::RandomPlayCount = 3; // as after an emptied and refilled list
    EXPECT_EQ(mProcFunc::PickRandomTrack(list), 2);
    EXPECT_EQ(mVariables::RandomPlayCount, 4);
    mVariables::RandomPlayCount = std::numeric_limits<std::int32_t>::max();
    EXPECT_EQ(mProcFunc::PickRandomTrack(list), 2);
    EXPECT_EQ(mVariables::RandomPlayCount, std::numeric_limits<std::int32_t>::max());
    Mark(2);
    EXPECT_EQ(mProcFunc::PickRandomTrack(list), 0);
}

TEST_F(PlaylistTest, RandomPickIsRoughlyUniformOverUnplayedRows) {
    for (int i = 0; i < 5; ++i) {
        AppendEntry(list, "C:\\", "x.mp3");
    }
    Mark(2);
    std::map<std::int32_t, int> hits;
    constexpr int draws = 4000;
    for (int i = 0; i < draws; ++i) {
        ++hits[mProcFunc::PickRandomTrack(list)];
    }
    EXPECT_EQ(hits.count(2), 0u);
    EXPECT_EQ(hits.size(), 4u);
    for (const auto& [row, n] : hits) {
        // Expected 1000 each; 800 lies more than six standard deviations away.
        EXPECT_GT(n, 800) << "row " << row;
        EXPECT_LT(n, 1200) << "row " << row;
    }
}

} // namespace
} // namespace zr
