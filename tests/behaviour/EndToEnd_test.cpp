// Whole tracks through the real media service: short fixture tracks played on the real window,
// with real clicks and the real one-second clock, every wait bounded.

#include "BehaviourFixture.h"
#include "MediaChannel.h"

#include <QDir>
#include <QProcessEnvironment>

#include <algorithm>
#include <string>
#include <vector>

namespace {

class EndToEndTest : public BehaviourTest {
protected:
    void SetUp() override {
        BehaviourTest::SetUp();
        fixtures = QProcessEnvironment::systemEnvironment().value("ZR_TEST_FIXTURES");
        ASSERT_TRUE(QFile::exists(Fixture("tone_1s_cbr_44100_stereo.mp3")))
            << "fixtures missing in " << fixtures.toStdString();
    }

    [[nodiscard]] QString Fixture(const QString& name) const {
        return QDir(fixtures).filePath(name);
    }

    // Waits until playback has stopped for good (bounded), noting each title shown meanwhile.
    std::vector<QString> TitlesUntilStopped(int timeoutMs) {
        std::vector<QString> titles;
        const bool stopped = QTest::qWaitFor(
            [&] {
                const QString title = window->lblArtistA.Caption();
                if (title != "No Track loaded." && (titles.empty() || titles.back() != title)) {
                    titles.push_back(title);
                }
                return !Playing() && !window->Timer1.Enabled();
            },
            timeoutMs);
        EXPECT_TRUE(stopped) << "still playing after " << timeoutMs << " ms";
        return titles;
    }

    // The position as the window last showed it, and as the device reports it now.
    [[nodiscard]] double Position() const { return window->lblPositionA.Caption().toDouble(); }
    [[nodiscard]] static double DevicePosition() {
        zr::StatusReply reply;
        EXPECT_EQ(zr::SendStatusQuery(u"status mp3 position", reply), 0);
        return reply.Value();
    }

    QString fixtures;
};

TEST_F(EndToEndTest, ThreeRowsPlayInOrderAndStopAfterTheLast) {
    AddRow("one.mp3", Fixture("tone_1s_cbr_44100_stereo.mp3"));
    AddRow("two.mp3", Fixture("tone_1s_cbr_44100_mono.mp3"));
    AddRow("three.mp3", Fixture("tone_1s_vbr_44100_stereo.mp3"));
    Select(1);
    Click(1);
    EXPECT_EQ(window->lblLengthA.Caption(), "1000");
    const auto titles = TitlesUntilStopped(15000);
    EXPECT_EQ(titles, (std::vector<QString>{"(01) one.mp3", "(02) two.mp3", "(03) three.mp3"}));
    EXPECT_EQ(Selected(), 3);
    EXPECT_EQ(Mark(1) + Mark(2) + Mark(3), "PPP");
    EXPECT_EQ(window->lblArtistA.Caption(), "No Track loaded.");
    EXPECT_EQ(Clock(), "00:00");
}

TEST_F(EndToEndTest, PauseThenPlayContinuesWhereItStood) {
    AddRow("long.mp3", Fixture("tone_3s_cbr_44100_stereo.mp3"));
    Select(1);
    Click(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Clock() == "00:01"; }, 3000));
    Click(2);
    const double paused = DevicePosition();
    EXPECT_GT(paused, 500);
    QTest::qWait(1300);
    EXPECT_EQ(DevicePosition(), paused) << "the position is held";
    EXPECT_EQ(Clock(), "00:01") << "no ticks while paused";
    Click(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Clock() == "00:02"; }, 3000));
    // A second more of the same track; a restart would read about what it read at the pause.
    EXPECT_GT(Position(), paused + 300);
    EXPECT_TRUE(Playing());
}

TEST_F(EndToEndTest, APressOnTheBarMovesThePosition) {
    AddRow("long.mp3", Fixture("tone_3s_cbr_44100_stereo.mp3"));
    Select(1);
    Click(1);
    ASSERT_EQ(window->lblLengthA.Caption(), "3000");
    // Pixel 120 of the bar: 3000 / 3615 * 1800 twips = 1494 ms.
    QTest::mouseClick(&window->ProgressBar, Qt::LeftButton, {}, QPoint(120, 2));
    const double moved = DevicePosition();
    EXPECT_GE(moved, 1494);
    EXPECT_LT(moved, 1900);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Clock() == "00:01"; }, 3000));
    EXPECT_GT(Position(), moved);
    EXPECT_EQ(Clock(), "00:01") << "seeking does not touch the elapsed time";
}

TEST_F(EndToEndTest, ATextFileNamedMp3ShowsLengthZeroAndTheListMovesOn) {
    AddRow("real.mp3", Fixture("tone_3s_cbr_44100_stereo.mp3"));
    {
        QFile text(folder.filePath("notes.mp3"));
        ASSERT_TRUE(text.open(QIODevice::WriteOnly));
        text.write("These are notes, not audio.\n");
    }
    AddRow("notes.mp3");
    AddRow("after.mp3", Fixture("tone_1s_cbr_44100_stereo.mp3"));
    Select(1);
    Click(1);
    ASSERT_EQ(window->lblLengthA.Caption(), "3000");
    Click(4); // Next
    EXPECT_EQ(window->lblArtistA.Caption(), "(02) notes.mp3");
    EXPECT_EQ(window->lblLengthA.Caption(), "0") << "not the 3000 left in the reply buffer";
    EXPECT_EQ(mVariables::TrackLength(), 0);
    const auto titles = TitlesUntilStopped(8000);
    EXPECT_EQ(titles.back(), "(03) after.mp3");
}

TEST_F(EndToEndTest, ATrackBehindALargeCoverPictureShowsItsOwnLength) {
    // 10 s of audio after an ID3v2 tag holding a 5 MiB picture.
    AddRow("cover.mp3", Fixture("tagged/cbr_id3v23_pic5m.mp3"));
    Select(1);
    Click(1);
    EXPECT_EQ(window->lblLengthA.Caption(), "10000");
    Click(3);
}

TEST_F(EndToEndTest, ClosingWhilePlayingClosesTheDevice) {
    AddRow("long.mp3", Fixture("tone_3s_cbr_44100_stereo.mp3"));
    Select(1);
    Click(1);
    zr::StatusReply reply;
    ASSERT_EQ(zr::SendStatusQuery(u"status mp3 position", reply), 0);
    window->close();
    EXPECT_NE(zr::SendStatusQuery(u"status mp3 position", reply), 0) << "no device left open";
    EXPECT_FALSE(Playing());
}

} // namespace
