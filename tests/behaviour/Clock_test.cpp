// The playback clock's ticks on the real window against the recording media service: the
// elapsed time, the end of a track and the move to the next row, and the progress drawing.

#include "BehaviourFixture.h"
#include "PlaybackMonitor.h"
#include "RecordingMediaService.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

using Commands = std::vector<std::string>;

class ClockTest : public BehaviourTest {
protected:
    void SetUp() override {
        BehaviourTest::SetUp();
        media->setReply("status mp3 length", "245000");
        media->setReply("status mp3 position", "1000");
    }

    void AddRows(int n) {
        for (int i = 1; i <= n; ++i) {
            AddRow(QString("%1.mp3").arg(i));
        }
    }
    void PlayRow(int row) {
        Select(row);
        Click(1);
        media->clear();
    }
    // Ticks once with the track at its end.
    void TickAtEnd() {
        media->queueReply("245000");
        window->Timer1_Timer();
    }
    // The rows opened by the commands so far, by file name.
    [[nodiscard]] std::vector<std::string> Opened() {
        std::vector<std::string> names;
        for (const auto& c : media->commands()) {
            if (c.rfind("open ", 0) == 0) {
                const auto slash = c.rfind('/');
                names.push_back(c.substr(slash + 1, c.find(' ', slash) - slash - 1));
            }
        }
        return names;
    }
    [[nodiscard]] int Count(const std::string& command) { return media->count(command); }

    zr::test::RecordingMediaService::Installed media;
};

TEST_F(ClockTest, ElapsedTimeCountsTicksWithCarryIntoTensOfMinutes) {
    AddRows(1);
    PlayRow(1);
    const std::map<int, QString> expected = {{1, "00:01"},   {59, "00:59"},  {60, "01:00"},
                                             {599, "09:59"}, {600, "10:00"}, {601, "10:01"}};
    for (int tick = 1; tick <= 601; ++tick) {
        window->Timer1_Timer();
        if (const auto it = expected.find(tick); it != expected.end()) {
            EXPECT_EQ(Clock(), it->second) << "after " << tick << " ticks";
        }
    }
    EXPECT_EQ(window->lblPositionA.Caption(), "1000");
    EXPECT_EQ(Count("status mp3 position"), 601);
    EXPECT_EQ(media->commands().size(), 601u) << "a tick sends the position query only";
    EXPECT_TRUE(Playing());
}

TEST_F(ClockTest, TheTrackEndsWhenThePositionReachesTheLength) {
    AddRows(2);
    PlayRow(1);
    media->queueReply("244999");
    window->Timer1_Timer();
    EXPECT_TRUE(Playing());
    EXPECT_EQ(Opened(), std::vector<std::string>{});
    TickAtEnd();
    EXPECT_EQ(Opened(), std::vector<std::string>{"2.mp3"});
    EXPECT_EQ(Clock(), "00:00") << "a move passes through Stop";
}

TEST_F(ClockTest, OrderModeMovesBelowTheSelectionAndStopsAfterTheLastRow) {
    AddRows(3);
    PlayRow(2);
    TickAtEnd();
    EXPECT_EQ(media->commands(),
              (Commands{"status mp3 position", "stop mp3", "close all", OpenCommand("3.mp3"),
                        "set mp3 time format tmsf", "play mp3", "status mp3 length",
                        "setaudio mp3 volume to 498"}));
    EXPECT_EQ(Opened(), std::vector<std::string>{"3.mp3"});
    EXPECT_EQ(Selected(), 3);
    EXPECT_EQ(Mark(3), "P");
    EXPECT_TRUE(window->Timer1.Enabled());
    media->clear();
    TickAtEnd();
    EXPECT_EQ(media->commands(), (Commands{"status mp3 position", "stop mp3", "close all"}));
    EXPECT_EQ(Selected(), 3);
    EXPECT_FALSE(Playing());
    EXPECT_FALSE(window->Timer1.Enabled());
    EXPECT_EQ(window->lblLengthA.Caption(), "0");
    EXPECT_EQ(window->lblPositionA.Caption(), "0");
}

TEST_F(ClockTest, ASingleRowIsNotRepeatedAndAMovedSelectionDecidesTheNextRow) {
    AddRows(1);
    PlayRow(1);
    TickAtEnd();
    EXPECT_EQ(Opened(), std::vector<std::string>{});
    EXPECT_FALSE(Playing());

    window->lstFiles.ListItems().Clear();
    AddRows(5);
    PlayRow(3);
    Select(1); // the user picks row 1 while row 3 plays
    TickAtEnd();
    EXPECT_EQ(Opened(), std::vector<std::string>{"2.mp3"});
}

TEST_F(ClockTest, AnEmptiedListEndsInAStopInBothModes) {
    AddRows(2);
    PlayRow(1);
    Click(14);
    TickAtEnd();
    EXPECT_EQ(media->commands(), (Commands{"status mp3 position", "stop mp3", "close all"}));
    Click(9);
    AddRows(1);
    PlayRow(1);
    Click(14);
    TickAtEnd();
    EXPECT_EQ(media->commands(), (Commands{"status mp3 position", "stop mp3", "close all"}));
    EXPECT_FALSE(Playing());
}

TEST_F(ClockTest, RandomModePlaysEveryRowOnceThenStops) {
    AddRows(4);
    Click(9);
    PlayRow(2);
    std::vector<std::string> order{"2.mp3"};
    for (int i = 0; i < 3; ++i) {
        TickAtEnd();
        // Order mode's plain stop, then the random row's stop and play.
        EXPECT_EQ(Count("stop mp3"), 2);
        const auto opened = Opened();
        ASSERT_EQ(opened.size(), 1u);
        order.push_back(opened.front());
        media->clear();
    }
    std::sort(order.begin(), order.end());
    EXPECT_EQ(order, (std::vector<std::string>{"1.mp3", "2.mp3", "3.mp3", "4.mp3"}));
    EXPECT_EQ(mVariables::RandomPlayCount, 3);
    TickAtEnd();
    EXPECT_EQ(Opened(), std::vector<std::string>{});
    EXPECT_EQ(mVariables::RandomPlayCount, 3) << "counted a pick that found no row";
    EXPECT_FALSE(Playing());
    EXPECT_FALSE(window->Timer1.Enabled());
}

TEST_F(ClockTest, AFailedOpenEndsAtTheFirstTick) {
    AddRows(2);
    media->resetScript(); // the service answers no query: the buffer keeps what it had
    media->queueReply("3000");
    PlayRow(1);
    EXPECT_EQ(window->lblLengthA.Caption(), "3000");
    window->Timer1_Timer();
    EXPECT_EQ(Opened(), std::vector<std::string>{"2.mp3"});
}

class ProgressTest : public BehaviourTest {
protected:
    zr::ui::DrawingSurface& bar() { return window->ProgressBar; }
    // Whether the pixel at x twips on the top row of the bar is part of the filled box.
    bool Filled(double x, double y = 0) { return bar().Point(x, y) != bar().Point(3600, 60); }
};

TEST_F(ProgressTest, TheFilledBoxEndsWhereTheFormulaSays) {
    ASSERT_EQ(bar().Width(), 3615);
    zr::DrawProgress(bar(), 1000, 500); // right edge 2007, in pixel column 133
    EXPECT_TRUE(Filled(0));
    EXPECT_TRUE(Filled(1995));
    EXPECT_FALSE(Filled(2010));
    EXPECT_TRUE(Filled(1000, 29));
    EXPECT_FALSE(Filled(1000, 46)) << "only the top 30 twips are filled";

    zr::DrawProgress(bar(), 3, 1); // right edge 1405, in pixel column 93
    EXPECT_TRUE(Filled(1395));
    EXPECT_FALSE(Filled(1410));

    zr::DrawProgress(bar(), 245000, 0); // at the start the first 200 twips show
    EXPECT_TRUE(Filled(195));
    EXPECT_FALSE(Filled(225));
}

TEST_F(ProgressTest, LongTracksKeepTheirBarPastTenMinutes) {
    zr::DrawProgress(bar(), 600000, 594060); // 3615 x 594060 passes 2^31
    EXPECT_TRUE(Filled(0));
    EXPECT_TRUE(Filled(3500));
    zr::DrawProgress(bar(), 3 * 3600 * 1000, 90 * 60 * 1000); // half of three hours
    EXPECT_TRUE(Filled(1995));
    EXPECT_FALSE(Filled(2010));
}

TEST_F(ProgressTest, NothingIsDrawnWithoutALength) {
    zr::DrawProgress(bar(), 1000, 1000);
    ASSERT_TRUE(Filled(0));
    zr::DrawProgress(bar(), 0, 500);
    for (double x : {0.0, 195.0, 1800.0, 3600.0}) {
        EXPECT_FALSE(Filled(x)) << x;
    }
    zr::DrawProgress(bar(), 1, 1e9f); // too far to place: cleared only
    EXPECT_FALSE(Filled(0));
}

} // namespace
