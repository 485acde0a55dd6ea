// A soak: 200 very short tracks in random mode, on the real window and the real media service.
// Each one plays exactly once, then the player stops. The clock's tick is run as soon as the
// device has reached the end of a track (the one-second timer may tick as well), so the soak
// takes seconds, not minutes.

#include "BadInputSupport.h"

#include "mVariables.h"

#include <QTest>

#include <gtest/gtest.h>

#include <map>

namespace {

using namespace zr::badinput;

TEST(Soak, TwoHundredTracksInRandomModePlayEachExactlyOnceThenStop) {
    const QByteArray tone = Fixture("tone_50ms_cbr_44100_stereo.mp3");
    constexpr int kTracks = 200;
    CurrentFolder folder;
    for (int i = 1; i <= kTracks; ++i)
        folder.Write(QStringLiteral("t%1.mp3").arg(i, 3, 10, QLatin1Char('0')), tone);

    ObservedService media;
    zr::ui::frmMain window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_EQ(AddCurrentFolder(window).size(), kTracks);
    ASSERT_EQ(window.lstFiles.ListItems().Count(), kTracks);

    ClickButton(window, 9); // Random Select
    ASSERT_EQ(mVariables::IsRandomMode(), mVariables::kTrue);
    ClickButton(window, 1); // Play: the first row, then random rows not yet played

    // Bounded by progress, not by the machine's speed: each track may take 20 s (sanitizers on a
    // busy machine take seconds over what a laptop does in milliseconds).
    bool finished = false;
    std::size_t opened = 0;
    while (!finished && WaitUntil(
                            [&] {
                                if (Stopped(window) || media.Opens().size() > opened)
                                    return true;
                                if (DeviceMode() == QStringLiteral("stopped"))
                                    window.Timer1_Timer();
                                return false;
                            },
                            20000)) {
        finished = Stopped(window);
        opened = media.Opens().size();
    }
    EXPECT_TRUE(finished) << "still on \"" << window.lblArtistA.Caption().toStdString() << "\"";

    std::map<QString, int> played;
    for (const auto& [file, result] : media.Opens()) {
        EXPECT_EQ(result, 0) << file.toStdString();
        ++played[file];
    }
    EXPECT_EQ(played.size(), std::size_t(kTracks));
    for (const auto& [file, times] : played)
        EXPECT_EQ(times, 1) << file.toStdString();
    EXPECT_TRUE(EveryRowPlayed(window));
    EXPECT_EQ(DeviceMode(), QString()) << "a device is still open";
    zr::SystemMediaEndpoint().SendString("close all", nullptr, 0);
    mVariables::ResetToStartValues();
}

} // namespace
