#include "PlaylistEntry.h"

#include <gtest/gtest.h>

#include <vector>

namespace zr {
namespace {

TEST(PlaylistEntry, TrackNumbersHaveTwoDigitsAtLeastAndAFullStop) {
    const std::vector<std::pair<std::int32_t, QString>> table = {
        {1, "01."}, {9, "09."}, {10, "10."}, {99, "99."}, {100, "100."}, {40000, "40000."}};
    for (const auto& [n, text] : table) {
        EXPECT_EQ(TrackNumberText(n), text) << n;
    }
}

TEST(PlaylistEntry, TitleShowsTheWholeNumberWithoutItsFullStop) {
    EXPECT_EQ(TrackTitle(u"01.", u"song.mp3"), "(01) song.mp3");
    EXPECT_EQ(TrackTitle(u"99.", u"a b.mp3"), "(99) a b.mp3");
    EXPECT_EQ(TrackTitle(u"100.", u"song.mp3"), "(100) song.mp3");
    EXPECT_EQ(TrackTitle(u"40000.", u"x.mp3"), "(40000) x.mp3");
    EXPECT_EQ(TrackTitle(u"7", u"x.mp3"), "(7) x.mp3");
}

} // namespace
} // namespace zr
