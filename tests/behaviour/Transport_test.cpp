// The picture-button commands, the playlist double-click and the close request, clicked for
// real on the window, checked by the exact command texts the media service receives.

#include "BehaviourFixture.h"
#include "RecordingMediaService.h"
#include "VolumeRules.h"

#include <string>
#include <vector>

namespace {

using Commands = std::vector<std::string>;

class TransportTest : public BehaviourTest {
protected:
    void SetUp() override {
        BehaviourTest::SetUp();
        media->setReply("status mp3 length", "245000");
    }

    [[nodiscard]] Commands Taken() {
        Commands c = media->commands();
        media->clear();
        return c;
    }
    [[nodiscard]] zr::ui::ColorRef Light(int i) const {
        return window->speCommandLight(static_cast<std::int16_t>(i)).FillColor();
    }
    [[nodiscard]] int LitVolumeShapes() const {
        int lit = 0;
        for (std::int16_t i = 0; i < 6; ++i) {
            lit += window->VolumeInd(i).FillColor() == zr::kVolumeLitColour ? 1 : 0;
        }
        return lit;
    }

    zr::test::RecordingMediaService::Installed media;
};

const Commands kStopSequence{"stop mp3", "close all"};

Commands Join(Commands a, const Commands& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(TransportTest, PlayOpensTheSelectedRowAndShowsIt) {
    AddRow("a b.mp3");
    AddRow("c.mp3");
    Select(1);
    Click(1);
    EXPECT_EQ(Taken(), PlaySequence("a%20b.mp3")); // one word, whatever blanks the name has
    EXPECT_EQ(window->lblArtistA.Caption(), "(01) a b.mp3");
    EXPECT_EQ(window->lblLengthA.Caption(), "245000");
    EXPECT_EQ(mVariables::TrackLength(), 245000);
    EXPECT_EQ(Mark(1), "P");
    EXPECT_EQ(Mark(2), "U");
    EXPECT_TRUE(Playing());
    EXPECT_TRUE(window->Timer1.Enabled());
    EXPECT_EQ(window->MousePointer(), zr::ui::vbDefault);

    // Playing the same row again resumes it: no stop, the mark stays "P".
    Click(1);
    EXPECT_EQ(Taken(), PlaySequence("a%20b.mp3"));
    EXPECT_EQ(Mark(1), "P");
}

TEST_F(TransportTest, PauseThenPlayResumesWithoutResettingTheClock) {
    AddRow("a.mp3");
    Select(1);
    Click(1);
    window->lblELTimeD.SetCaption("7");
    media->clear();
    Click(2);
    EXPECT_EQ(Taken(), Commands{"pause mp3"});
    EXPECT_FALSE(Playing());
    EXPECT_FALSE(window->Timer1.Enabled());
    Click(2); // a second Pause sends again
    EXPECT_EQ(Taken(), Commands{"pause mp3"});
    Click(1);
    EXPECT_EQ(Taken(), PlaySequence("a.mp3"));
    EXPECT_EQ(Clock(), "00:07");
    EXPECT_TRUE(Playing());
}

TEST_F(TransportTest, PlayWithAnotherRowSelectedSwitchesToIt) {
    AddRow("a.mp3");
    AddRow("b.mp3");
    Select(1);
    Click(1);
    Click(2); // paused on row 1
    window->lblELTimeD.SetCaption("4");
    media->clear();
    Select(2);
    Click(1);
    EXPECT_EQ(Taken(), Join(kStopSequence, PlaySequence("b.mp3")));
    EXPECT_EQ(window->lblArtistA.Caption(), "(02) b.mp3");
    EXPECT_EQ(Clock(), "00:00");
    EXPECT_EQ(Mark(2), "P");
    // And while playing, too.
    Select(1);
    Click(1);
    EXPECT_EQ(Taken(), Join(kStopSequence, PlaySequence("a.mp3")));
}

TEST_F(TransportTest, WithoutASelectionPlayTakesRowOneAndPreviousNextDoNothing) {
    AddRow("a.mp3");
    AddRow("b.mp3");
    ASSERT_EQ(Selected(), 0);
    Click(0);
    Click(4);
    EXPECT_EQ(Taken(), Commands{});
    Click(1);
    EXPECT_EQ(Selected(), 1);
    EXPECT_EQ(Taken(), PlaySequence("a.mp3"));
}

TEST_F(TransportTest, EmptyPlaylistLeavesOnlyStopAndTheToggles) {
    for (int button : {0, 1, 2, 4, 8, 12, 13}) {
        Click(button);
    }
    EXPECT_EQ(Taken(), Commands{});
    EXPECT_FALSE(Playing());
    // A double-click on the empty list stops (and resets the display); Play then does nothing.
    window->lblLengthA.SetCaption("9");
    window->lblArtistA.SetCaption("(01) x.mp3");
    window->lstFiles_DblClick();
    EXPECT_EQ(Taken(), kStopSequence);
    EXPECT_EQ(window->lblLengthA.Caption(), "0");
    EXPECT_EQ(window->lblArtistA.Caption(), "No Track loaded.");
}

TEST_F(TransportTest, PreviousAndNextMoveOneRowAndStopAtTheEnds) {
    AddRow("a.mp3");
    AddRow("b.mp3");
    AddRow("c.mp3");
    Select(1);
    Click(0); // first row: no wrap
    EXPECT_EQ(Taken(), Commands{});
    Click(4);
    EXPECT_EQ(Selected(), 2);
    EXPECT_EQ(Taken(), Join(kStopSequence, PlaySequence("b.mp3")));
    Click(4);
    Click(4); // last row: nothing
    EXPECT_EQ(Selected(), 3);
    EXPECT_EQ(Taken(), Join(kStopSequence, PlaySequence("c.mp3")));
    Click(0);
    EXPECT_EQ(Selected(), 2);
    EXPECT_EQ(Taken(), Join(kStopSequence, PlaySequence("b.mp3")));
    // A double-click restarts the selected row from its beginning.
    window->lstFiles_DblClick();
    EXPECT_EQ(Taken(), Join(kStopSequence, PlaySequence("b.mp3")));
}

TEST_F(TransportTest, StopAlwaysResetsTheDisplayAndKeepsTheLength) {
    Click(3); // nothing open: sent all the same
    EXPECT_EQ(Taken(), kStopSequence);
    AddRow("a.mp3");
    Select(1);
    Click(1);
    media->setReply("status mp3 position", "1000");
    window->Timer1_Timer();
    window->Timer1_Timer();
    EXPECT_EQ(Clock(), "00:02");
    Click(3);
    for (auto* label : {&window->lblLengthA, &window->lblPositionA, &window->lblELTimeA,
                        &window->lblELTimeB, &window->lblELTimeC, &window->lblELTimeD}) {
        EXPECT_EQ(label->Caption(), "0");
    }
    EXPECT_EQ(window->lblArtistA.Caption(), "No Track loaded.");
    EXPECT_FALSE(Playing());
    EXPECT_FALSE(window->Timer1.Enabled());
    EXPECT_EQ(mVariables::TrackLength(), 245000);
}

TEST_F(TransportTest, MuteActsOnlyWhilePlayingAndTheNextTrackKeepsSpeedAndSilence) {
    AddRow("a.mp3");
    AddRow("b.mp3");
    Select(1);
    Click(8);
    EXPECT_EQ(Taken(), Commands{}); // stopped
    Click(1);
    Click(2);
    media->clear();
    Click(8);
    EXPECT_EQ(Taken(), Commands{}); // paused
    Click(1);
    media->clear();
    Click(8);
    EXPECT_EQ(Taken(), Commands{"set mp3 audio all off"});
    EXPECT_EQ(mVariables::IsMuted(), mVariables::kTrue);
    EXPECT_EQ(Light(6), zr::ui::Rgb(255, 0, 0));
    Click(6);
    EXPECT_EQ(Taken(), Commands{"set mp3 speed 500"});
    EXPECT_EQ(window->lblPlayMode(1).Caption(), "Slow play");

    // The next track opens loud at normal speed; Play gives it what the window shows.
    Click(4);
    EXPECT_EQ(Taken(), Join(Join(kStopSequence, PlaySequence("b.mp3")),
                            {"set mp3 speed 500", "set mp3 audio all off"}));
    Click(7);
    Click(8); // sound back on; the light stays red until the pointer passes over it
    EXPECT_EQ(Taken(), (Commands{"set mp3 speed 1500", "set mp3 audio all on"}));
    EXPECT_EQ(Light(6), zr::ui::Rgb(255, 0, 0));
    Click(0);
    EXPECT_EQ(Taken(), Join(Join(kStopSequence, PlaySequence("a.mp3")), {"set mp3 speed 1500"}));
    Click(15);
    EXPECT_EQ(Taken(), Commands{"set mp3 speed 1000"});
    EXPECT_EQ(window->lblPlayMode(1).Caption(), "Normal play");
}

TEST_F(TransportTest, SpeedWhileNothingIsOpenStillChangesTheLabel) {
    Click(6);
    EXPECT_EQ(Taken(), Commands{"set mp3 speed 500"});
    EXPECT_EQ(window->lblPlayMode(1).Caption(), "Slow play");
}

TEST_F(TransportTest, RandomSelectTogglesItsLight) {
    Click(9);
    EXPECT_EQ(mVariables::IsRandomMode(), mVariables::kTrue);
    EXPECT_EQ(Light(7), zr::ui::Rgb(255, 0, 0));
    Click(9);
    EXPECT_EQ(mVariables::IsRandomMode(), mVariables::kFalse);
    EXPECT_EQ(Light(7), zr::ui::Rgb(255, 255, 0));
    EXPECT_EQ(Taken(), Commands{});
}

TEST_F(TransportTest, VolumeStepsStopAtTheBoundsAndReachTheNextTrack) {
    ASSERT_EQ(LitVolumeShapes(), 3);
    const std::vector<std::pair<int, int>> up = {{664, 4}, {830, 5}, {996, 6}};
    for (const auto& [level, lit] : up) {
        Click(10);
        EXPECT_EQ(Taken(), Commands{"setaudio mp3 volume to " + std::to_string(level)});
        EXPECT_EQ(LitVolumeShapes(), lit);
    }
    Click(10);
    EXPECT_EQ(Taken(), Commands{});
    EXPECT_EQ(mVariables::VolumeLevel(), 996);
    EXPECT_EQ(LitVolumeShapes(), 6);
    for (int i = 0; i < 5; ++i) {
        Click(11);
    }
    EXPECT_EQ(mVariables::VolumeLevel(), 166);
    EXPECT_EQ(LitVolumeShapes(), 1);
    EXPECT_EQ(Taken().size(), 5u);
    Click(11);
    EXPECT_EQ(Taken(), Commands{});
    EXPECT_EQ(window->VolumeInd(0).FillColor(), zr::kVolumeLitColour);
    EXPECT_EQ(window->VolumeInd(1).FillColor(), zr::kVolumeUnlitColour);

    AddRow("a.mp3");
    Click(1);
    EXPECT_EQ(Taken(), PlaySequence("a.mp3", 166));
}

TEST_F(TransportTest, ClearPlaylistLeavesPlaybackAndDisplayAlone) {
    AddRow("a.mp3");
    AddRow("b.mp3");
    Select(2);
    Click(1);
    mVariables::RandomPlayCount = 3;
    media->clear();
    Click(14);
    EXPECT_EQ(Taken(), Commands{});
    EXPECT_EQ(window->lstFiles.ListItems().Count(), 0);
    EXPECT_TRUE(Playing());
    EXPECT_TRUE(window->Timer1.Enabled());
    EXPECT_EQ(window->lblArtistA.Caption(), "(02) b.mp3");
    EXPECT_EQ(mVariables::RandomPlayCount, 3);
    AddRow("c.mp3");
    EXPECT_EQ(window->lstFiles.ListItems().Item(1).SubItems(zr::kTrackNumberSubItem), "01.");
}

TEST_F(TransportTest, AfterClearPlaylistPauseStillPausesTheOpenTrack) {
    AddRow("a.mp3");
    Select(1);
    Click(1);
    Click(14);
    media->clear();
    Click(2);
    EXPECT_EQ(Taken(), Commands{"pause mp3"});
    EXPECT_FALSE(Playing());
    EXPECT_FALSE(window->Timer1.Enabled());
    // Once stopped, nothing is open and the empty list gives Pause nothing to act on.
    Click(3);
    media->clear();
    Click(2);
    EXPECT_EQ(Taken(), Commands{});
}

TEST_F(TransportTest, ARowThatCannotBePlayedShowsLengthZeroNotTheLastReply) {
    // The length reply of a playable row sits in the shared buffer when the next row fails.
    struct Failure {
        const char* what;
        std::string command;
        int result;
    };
    for (const Failure& f : {Failure{"open refused", OpenCommand("bad.mp3"), 261},
                             Failure{"length query refused", "status mp3 length", 258}}) {
        SCOPED_TRACE(f.what);
        window->lstFiles.ListItems().Clear();
        AddRow("good.mp3");
        AddRow("bad.mp3");
        media->resetScript();
        media->queueReply("65000");
        Select(1);
        Click(1);
        ASSERT_EQ(window->lblLengthA.Caption(), "65000");
        media->setResult(f.command, f.result);
        Click(4); // Next
        EXPECT_EQ(window->lblArtistA.Caption(), "(02) bad.mp3");
        EXPECT_EQ(window->lblLengthA.Caption(), "0");
        EXPECT_EQ(mVariables::TrackLength(), 0);
        EXPECT_TRUE(window->Timer1.Enabled()) << "the clock moves on at its next tick";
        Click(3);
    }

    // Resuming, the open is refused because the alias is taken: the length still shows.
    media->resetScript();
    media->setReply("status mp3 length", "245000");
    Select(1);
    Click(1);
    Click(2);
    media->setResult(OpenCommand("good.mp3"), 257);
    Click(1);
    EXPECT_EQ(window->lblLengthA.Caption(), "245000");
    EXPECT_EQ(mVariables::TrackLength(), 245000);
}

TEST_F(TransportTest, ClosingStopsAPlayingTrackButNotAPausedOne) {
    AddRow("a.mp3");
    Select(1);
    Click(1);
    Click(2);
    media->clear();
    window->close();
    EXPECT_EQ(Taken(), Commands{});
    window->show();
    Click(1);
    media->clear();
    window->close();
    EXPECT_EQ(Taken(), kStopSequence);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(TransportTest, TheHundredthRowShowsItsWholeNumberAndFortyThousandRowsWork) {
    for (int i = 1; i <= 40000; ++i) {
        zr::AppendEntry(window->lstFiles, DriveFolder(folder.path()), "a.mp3");
    }
    AddRow("a.mp3"); // makes the file; row 40001
    Select(100);
    Click(1);
    EXPECT_EQ(window->lblArtistA.Caption(), "(100) a.mp3");
    Select(40000);
    Click(4);
    EXPECT_EQ(Selected(), 40001);
    EXPECT_EQ(window->lblArtistA.Caption(), "(40001) a.mp3");
    Click(0);
    EXPECT_EQ(Selected(), 40000);
    EXPECT_EQ(Mark(40000), "P");
}

} // namespace
