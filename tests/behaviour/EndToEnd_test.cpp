// Whole tracks through the real media service: short fixture tracks played on the real window,
// with real clicks and the real one-second clock, every wait bounded.

#include "BehaviourFixture.h"
#include "MediaChannel.h"
#include "MediaService.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

class EndToEndTest : public BehaviourTest {
protected:
    // What the window showed of one row: its title, the length shown with it, and the highest
    // position shown below that length.
    struct Shown {
        QString title;
        QString length;
        double highest = 0;
    };
    // Waits until playback has stopped for good (bounded), noting what each row showed meanwhile.
    std::vector<Shown> ShownUntilStopped(int timeoutMs) {
        std::vector<Shown> shown;
        const bool stopped = QTest::qWaitFor(
            [&] {
                const QString title = window->lblArtistA.Caption();
                if (title != "No Track loaded." && (shown.empty() || shown.back().title != title)) {
                    shown.push_back({title, window->lblLengthA.Caption()});
                }
                if (!shown.empty() && Position() < shown.back().length.toDouble()) {
                    shown.back().highest = std::max(shown.back().highest, Position());
                }
                return !Playing() && !window->Timer1.Enabled();
            },
            timeoutMs);
        EXPECT_TRUE(stopped) << "still playing after " << timeoutMs << " ms";
        return shown;
    }

    // The position as the window last showed it, and as the device reports it now.
    [[nodiscard]] double Position() const { return window->lblPositionA.Caption().toDouble(); }
    [[nodiscard]] static double DevicePosition() {
        zr::StatusReply reply;
        EXPECT_EQ(zr::SendStatusQuery(u"status mp3 position", reply), 0);
        return reply.Value();
    }
};

TEST_F(EndToEndTest, ThreeRowsPlayInOrderAndStopAfterTheLast) {
    AddRow("one.mp3", Fixture("tone_1s_cbr_44100_stereo.mp3"));
    AddRow("two.mp3", Fixture("tone_1s_cbr_44100_mono.mp3"));
    AddRow("three.mp3", Fixture("tone_1s_vbr_44100_stereo.mp3"));
    Select(1);
    Click(1);
    EXPECT_EQ(window->lblLengthA.Caption(), "1000");
    std::vector<QString> titles;
    for (const Shown& row : ShownUntilStopped(15000)) {
        titles.push_back(row.title);
    }
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
    const auto shown = ShownUntilStopped(8000);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back().title, "(03) after.mp3");
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

// The window against a media service whose files named "slow..." take a while to give their
// first frame, as on a disk that has spun down or a share that is slow to answer.
class SlowDiskTest : public EndToEndTest {
protected:
    void Start(std::chrono::milliseconds delay, std::uint32_t firstFrameWaitMs = 10000,
               std::uint32_t lengthWaitMs = 1000) {
        route.reset(); // a second start replaces the first service
        endpoint.reset();
        service.reset();
        zr::media::DeviceOptions options;
        options.firstFrameWaitMs = firstFrameWaitMs;
        options.lengthWaitMs = lengthWaitMs;
        service = std::make_unique<zr::media::MediaService>(
            options, [delay](const std::string& path, zr::media::OpenedTrack& track) {
                if (path.find("/slow") != std::string::npos) {
                    std::this_thread::sleep_for(delay);
                }
                return zr::media::MpegDevice::prepare(path, track);
            });
        endpoint = std::make_unique<Endpoint>(*service);
        route = std::make_unique<zr::ScopedMediaEndpoint>(*endpoint);
    }

    void TearDown() override {
        EndToEndTest::TearDown(); // its Stop still goes to this service
        route.reset();
    }

    // Plays the list from its first row to its end.
    std::vector<Shown> PlayList() {
        Select(1);
        Click(1);
        return ShownUntilStopped(30000);
    }

    class Endpoint : public zr::MediaEndpoint {
    public:
        explicit Endpoint(zr::media::MediaService& service) : service_(service) {}
        int SendString(const char* command, char* reply, unsigned replyLength) override {
            return service_.send(command, reply, replyLength);
        }

    private:
        zr::media::MediaService& service_;
    };
    std::unique_ptr<zr::media::MediaService> service;
    std::unique_ptr<Endpoint> endpoint;
    std::unique_ptr<zr::ScopedMediaEndpoint> route;
};

// A row whose file opens slowly is played, not skipped, and the next row follows. Within the time
// Play waits for the open (a second; more here, so that a slow machine does not decide) the real
// length is shown; past it, the longest length there is, and the track ends when its audio does.
TEST_F(SlowDiskTest, ARowThatOpensSlowlyIsPlayedNotSkipped) {
    for (const auto& [delayMs, lengthWaitMs, length] :
         {std::tuple{300, 5000u, "3000"}, {1500, 1000u, "2147483647"}}) {
        SCOPED_TRACE(delayMs);
        Start(std::chrono::milliseconds(delayMs), 10000, lengthWaitMs);
        window->lstFiles.ListItems().Clear();
        AddRow("slow.mp3", Fixture("tone_3s_cbr_44100_stereo.mp3"));
        AddRow("next.mp3", Fixture("tone_1s_cbr_44100_stereo.mp3"));
        const auto shown = PlayList();
        ASSERT_EQ(shown.size(), 2u);
        EXPECT_EQ(shown[0].title, "(01) slow.mp3");
        EXPECT_EQ(shown[0].length, length);
        EXPECT_GT(shown[0].highest, 0) << "the slow row never played";
        EXPECT_EQ(shown[1].title, "(02) next.mp3");
        EXPECT_EQ(shown[1].length, "1000");
        EXPECT_GT(shown[1].highest, 0);
    }
}

// A file that gives no first frame in time (a disk that never answers) is moved past, as an
// unplayable row is.
TEST_F(SlowDiskTest, ARowWhoseFileNeverAnswersIsMovedPast) {
    Start(std::chrono::milliseconds(4000), 1500);
    AddRow("slow.mp3", Fixture("tone_3s_cbr_44100_stereo.mp3"));
    AddRow("next.mp3", Fixture("tone_1s_cbr_44100_stereo.mp3"));
    const auto shown = PlayList();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].title, "(01) slow.mp3");
    EXPECT_EQ(shown[0].highest, 0);
    EXPECT_EQ(shown[1].title, "(02) next.mp3");
    EXPECT_GT(shown[1].highest, 0) << "the next row did not play";
}

} // namespace
