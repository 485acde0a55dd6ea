// The media service end to end under SDL's dummy driver: real files, real decoding, real-time
// silent output.
#include "MciErrors.h"
#include "MediaService.h"
#include "MediaTestSupport.h"
#include "Mpg123Decoder.h"
#include "mWinAPI.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <cstring>
#include <fstream>
#include <thread>

namespace zr::media {
namespace {

using test::fixture;
using test::number;
using test::ok;
using test::waitUntil;

std::string openCommand(const std::string& path, const std::string& alias = "mp3") {
    return "open \"" + path + "\" type MPEGVideo alias " + alias;
}

bool stopped(MediaService& s, const std::string& alias = "mp3") {
    return ok(s, "status " + alias + " mode") == "stopped";
}

// What the encoder's header gives at open, before any count.
enum class Header {
    Any,        // not looked at
    Exact,      // believed: the exact length at once, whatever tags stand around the audio
    Distrusted, // disagrees with the audio, so not believed
    None,       // none believed: the estimate from the audio bytes is within 1%
};

struct LengthCase {
    const char* file;
    long lengthMs; // -1: as many frames as a full decode yields
    Header header = Header::Any;
};

class MediaLength : public ::testing::TestWithParam<LengthCase> {};

// The first length reply is the one the window shows for the whole track. Files up to 2 MiB of
// audio are counted while they open, so the header's own answer is checked on the decoder too.
TEST_P(MediaLength, IsExactForEveryEncoding) {
    const std::string path = fixture(GetParam().file);
    const test::Pcm pcm = test::decodeReference(path);
    const auto frames = static_cast<std::int64_t>(pcm.frames());
    ASSERT_GT(frames, 0);
    // Whole milliseconds rounded up, worked out here rather than by the code under test.
    const long expected = GetParam().lengthMs >= 0
                              ? GetParam().lengthMs
                              : static_cast<long>((frames * 1000 + pcm.rate - 1) / pcm.rate);
    Mpg123Decoder decoder;
    ASSERT_EQ(decoder.open(path), kMciOk);
    const Header header = GetParam().header;
    if (header != Header::Any) {
        EXPECT_EQ(decoder.headerLengthFrames(), header == Header::Exact ? frames : -1);
    }
    if (header == Header::None) {
        EXPECT_NEAR(decoder.estimatedLengthFrames(), frames, frames / 100);
    }

    MediaService s;
    ok(s, openCommand(path));
    EXPECT_EQ(number(s, "status mp3 length"), expected);
    EXPECT_EQ(number(s, "status mp3 position"), 0);
    EXPECT_EQ(ok(s, "status mp3 mode"), "stopped");
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, MediaLength,
    ::testing::Values(
        LengthCase{"tone_1s_cbr_44100_stereo.mp3", 1000},
        LengthCase{"tone_3s_cbr_44100_stereo.mp3", 3000},
        LengthCase{"tone_1s_vbr_44100_stereo.mp3", 1000},
        LengthCase{"tone_1s_cbr_44100_mono.mp3", 1000},
        LengthCase{"tone_1s_vbr_22050_stereo.mp3", 1000},
        LengthCase{"tone_1s_cbr_48000_stereo.mp3", 1000},
        LengthCase{"tone_1s_vbr_48000_mono.mp3", 1000},
        LengthCase{"tone_3s_cbr_48000_mono.mp3", 3000},
        // No encoder header: delay and padding stay in, length after a scan, ms rounded up.
        LengthCase{"tone_1s_cbr_noheader_44100_stereo.mp3", -1},
        LengthCase{"tone_1s_vbr_noheader_44100_stereo.mp3", -1},
        LengthCase{"tone_1s_cbr_22050_mono.mp3", -1},
        // The tagged set: tags of every kind and size before and after the audio.
        LengthCase{"tagged/cbr240_id3v23_pic100k_pad64k.mp3", 240000, Header::Exact},
        LengthCase{"tagged/cbr_id3v23_pic100k_pad64k.mp3", 10000, Header::Exact},
        LengthCase{"tagged/cbr_id3v23_pic5m.mp3", 10000, Header::Exact},
        LengthCase{"tagged/cbr_id3v23_ext_unsync_ape_id3v1.mp3", 10000, Header::Exact},
        LengthCase{"tagged/cbr_id3v22_unsync_lyrics3v1.mp3", 10000, Header::Exact},
        LengthCase{"tagged/vbr_id3v24_pic1m_footer.mp3", 10000, Header::Exact},
        LengthCase{"tagged/vbr_id3v24_ext_unsync_ape_lyrics3v2.mp3", 10000, Header::Exact},
        LengthCase{"tagged/mpeg2_mono_vbr_id3v24_ape_id3v1.mp3", 10000, Header::Exact},
        // Without a LAME tag (no gapless trimming), or with Fraunhofer's VBRI header instead.
        LengthCase{"tagged/vbr_nolame_id3v23.mp3", -1, Header::Exact},
        LengthCase{"tagged/vbr_vbri_id3v24_id3v1.mp3", -1, Header::Exact},
        // No header (a 32 kbit/s MPEG-2 frame cannot hold one): an estimate, then the count.
        LengthCase{"tagged/mpeg2_mono_cbr_id3v23_pic100k.mp3", -1, Header::None},
        LengthCase{"tagged/cbr_noheader_id3v24_pic1m_ape_id3v1.mp3", -1, Header::None},
        // Headers that claim twice the frames there are: the count answers.
        LengthCase{"tagged/cbr_overcount.mp3", -1, Header::Distrusted},
        LengthCase{"tagged/vbr_overcount.mp3", -1, Header::Distrusted}),
    [](const ::testing::TestParamInfo<LengthCase>& info) {
        std::string name = info.param.file;
        name = name.substr(0, name.find('.'));
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

TEST(MediaService, BadFilesAreRefusedWithTheirCode) {
    MediaService s(test::patient());
    test::TempDir dir;
    EXPECT_EQ(s.send(openCommand(fixture("no_such_file.mp3"))), kMciFileNotFound);
    EXPECT_EQ(s.send(openCommand(dir.path().string())), kMciFileNotFound); // a folder
    EXPECT_EQ(s.send("open file://server/a.mp3 alias mp3"), kMciFileNotFound);
    EXPECT_EQ(s.send(openCommand("/dev/zero")), kMciFileNotFound);
    for (const char* name : {"empty.mp3", "text.mp3", "random.mp3", "id3_only.mp3"})
        EXPECT_EQ(s.send(openCommand(fixture(name))), kMciCannotDecode) << name;
    // Nothing stayed open.
    EXPECT_EQ(s.send("status mp3 mode"), kMciUnknownAlias);
}

TEST(MediaService, FileWordMayBeUriQuotedPathOrPlainWord) {
    MediaService s;
    test::TempDir dir;
    const auto spaced = dir.path() / "my song #1%.mp3";
    std::filesystem::copy_file(fixture("tone_1s_cbr_44100_stereo.mp3"), spaced);
    std::string uri = "file://";
    for (char c : spaced.string()) {
        if (c == ' ')
            uri += "%20";
        else if (c == '#')
            uri += "%23";
        else if (c == '%')
            uri += "%25";
        else
            uri += c;
    }
    EXPECT_EQ(s.send("open " + uri + " type MPEGVideo alias a"), kMciOk);
    EXPECT_EQ(s.send("open \"" + spaced.string() + "\" alias b"), kMciOk);
    EXPECT_EQ(s.send("open " + fixture("tone_1s_vbr_44100_stereo.mp3") + " alias c"), kMciOk);
    for (const char* alias : {"a", "b", "c"})
        EXPECT_EQ(number(s, std::string("status ") + alias + " length"), 1000) << alias;
}

TEST(MediaService, SecondOpenOfAnAliasFailsAndLeavesTheFirstAsItWas) {
    MediaService s;
    ok(s, openCommand(fixture("tone_3s_cbr_44100_stereo.mp3")));
    ok(s, "play mp3 from 1000");
    ok(s, "pause mp3");
    const long held = number(s, "status mp3 position");
    EXPECT_EQ(s.send(openCommand(fixture("tone_1s_cbr_44100_stereo.mp3"))), kMciAliasInUse);
    EXPECT_EQ(s.send("open " + fixture("tone_1s_cbr_44100_stereo.mp3") + " alias MP3"),
              kMciAliasInUse);
    EXPECT_EQ(ok(s, "status mp3 mode"), "paused");
    EXPECT_EQ(number(s, "status mp3 position"), held);
    EXPECT_EQ(number(s, "status mp3 length"), 3000);
}

TEST(MediaService, UnknownThingsGetTheirCodes) {
    MediaService s(test::patient());
    EXPECT_EQ(s.send("play mp3"), kMciUnknownAlias);
    EXPECT_EQ(s.send("close mp3"), kMciUnknownAlias);
    EXPECT_EQ(s.send("close all"), kMciOk);
    EXPECT_EQ(s.send("fly mp3"), kMciUnknownCommand);
    EXPECT_EQ(s.send(nullptr, nullptr, 0), kMciUnknownCommand);
    ok(s, openCommand(fixture("tone_1s_cbr_44100_stereo.mp3")));
    EXPECT_EQ(s.send("status mp3 loudness"), kMciUnknownCommand);
    EXPECT_EQ(s.send("play mp3 from 1001"), kMciBadNumber); // beyond the length
    EXPECT_EQ(s.send("play mp3 to 5000"), kMciBadNumber);
    EXPECT_EQ(s.send("seek mp3 to 1001"), kMciBadNumber);
    EXPECT_EQ(s.send("setaudio mp3 volume to 1001"), kMciBadNumber);
    EXPECT_EQ(ok(s, "status mp3 mode"), "stopped");
}

TEST(MediaService, TimeFormatStaysMilliseconds) {
    MediaService s;
    ok(s, openCommand(fixture("tone_1s_cbr_44100_stereo.mp3")));
    EXPECT_EQ(s.send("set mp3 time format tmsf"), kMciUnsupported);
    EXPECT_EQ(ok(s, "status mp3 time format"), "milliseconds");
    EXPECT_EQ(number(s, "status mp3 length"), 1000);
    ok(s, "set mp3 time format ms");
    ok(s, "set mp3 time format milliseconds");
}

TEST(MediaService, RepliesWriteTextAndOneNulAndNothingElse) {
    MediaService s;
    ok(s, openCommand(fixture("tone_3s_cbr_44100_stereo.mp3")));
    char buffer[30];
    std::memset(buffer, 'x', sizeof buffer);
    ASSERT_EQ(s.send("status mp3 length", buffer, 30), kMciOk);
    EXPECT_EQ(std::string(buffer, 5), std::string("3000\0", 5));
    for (std::size_t i = 5; i < sizeof buffer; ++i)
        EXPECT_EQ(buffer[i], 'x') << i;

    // Exactly fitting, and one byte short.
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(s.send("status mp3 length", buffer, 5), kMciOk);
    EXPECT_EQ(buffer[4], '\0');
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(s.send("status mp3 length", buffer, 4), kMciReplyTooLong);
    EXPECT_EQ(s.send("status mp3 mode", buffer, 7), kMciReplyTooLong); // "stopped" + NUL = 8
    for (char c : buffer)
        EXPECT_EQ(c, 'x');
    EXPECT_EQ(s.send("status mp3 length", nullptr, 30), kMciReplyTooLong);

    // Commands without a reply leave the buffer alone, as the player passes "0" with length 0.
    char zero[2] = {'0', '\0'};
    EXPECT_EQ(s.send("setaudio mp3 volume to 498", zero, 0), kMciOk);
    EXPECT_EQ(s.send("set mp3 speed 1000", zero, 0), kMciOk);
    EXPECT_EQ(std::string(zero), "0");
    EXPECT_EQ(ok(s, "status mp3 volume"), "498");
    EXPECT_EQ(ok(s, "status mp3 speed"), "1000");
}

TEST(MediaService, SeveralAliasesAndCloseAll) {
    MediaService s;
    ok(s, openCommand(fixture("tone_1s_cbr_44100_stereo.mp3"), "one"));
    ok(s, openCommand(fixture("tone_3s_cbr_48000_mono.mp3"), "two"));
    ok(s, "play one");
    ok(s, "play two");
    EXPECT_EQ(number(s, "status two length"), 3000);
    EXPECT_EQ(number(s, "status one length"), 1000);
    ok(s, "close one");
    EXPECT_EQ(s.send("status one mode"), kMciUnknownAlias);
    EXPECT_EQ(ok(s, "status two mode"), "playing");
    ok(s, openCommand(fixture("tone_1s_cbr_44100_stereo.mp3"), "one"));
    ok(s, "close all");
    EXPECT_EQ(s.send("status one mode"), kMciUnknownAlias);
    EXPECT_EQ(s.send("status two mode"), kMciUnknownAlias);
    ok(s, openCommand(fixture("tone_1s_cbr_44100_stereo.mp3"), "two")); // alias free again
}

TEST(MediaService, TrackEndsStoppedWithPositionEqualToLength) {
    MediaService s;
    ok(s, openCommand(fixture("tone_1s_cbr_44100_stereo.mp3")));
    ok(s, "play mp3");
    long last = 0;
    bool monotonic = true;
    ASSERT_TRUE(waitUntil([&] {
        const long p = number(s, "status mp3 position");
        monotonic = monotonic && p >= last && p <= 1000;
        last = p;
        return stopped(s);
    }));
    EXPECT_TRUE(monotonic);
    EXPECT_EQ(number(s, "status mp3 position"), 1000);
    // Playing again from the end starts over.
    ok(s, "play mp3");
    EXPECT_EQ(ok(s, "status mp3 mode"), "playing");
    EXPECT_LT(number(s, "status mp3 position"), 1000);
}

TEST(MediaService, PauseHoldsThePositionAndPlayContinuesFromIt) {
    MediaService s;
    ok(s, openCommand(fixture("tone_3s_cbr_44100_stereo.mp3")));
    ok(s, "play mp3");
    ASSERT_TRUE(waitUntil([&] { return number(s, "status mp3 position") >= 200; }));
    ok(s, "pause mp3");
    EXPECT_EQ(ok(s, "status mp3 mode"), "paused");
    const long held = number(s, "status mp3 position");
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(number(s, "status mp3 position"), held);
    // "play" during a pause continues; a second "play" while playing changes nothing.
    ok(s, "play mp3");
    const long resumed = number(s, "status mp3 position");
    EXPECT_GE(resumed, held);
    EXPECT_LT(resumed, held + 100);
    ASSERT_TRUE(waitUntil([&] { return number(s, "status mp3 position") >= held + 100; }));
    const long before = number(s, "status mp3 position");
    ok(s, "play mp3");
    EXPECT_GE(number(s, "status mp3 position"), before);
    ok(s, "pause mp3");
    const long again = number(s, "status mp3 position");
    ok(s, "resume mp3");
    EXPECT_GE(number(s, "status mp3 position"), again);
    EXPECT_EQ(ok(s, "status mp3 mode"), "playing");
}

TEST(MediaService, PlayFromSeekAndStopPlaceThePosition) {
    MediaService s;
    ok(s, openCommand(fixture("tone_3s_cbr_44100_stereo.mp3")));
    ok(s, "play mp3 from 2000");
    EXPECT_GE(number(s, "status mp3 position"), 2000);
    ok(s, "stop mp3");
    EXPECT_EQ(ok(s, "status mp3 mode"), "stopped");
    const long held = number(s, "status mp3 position");
    EXPECT_GE(held, 2000);
    ok(s, "seek mp3 to 1234");
    EXPECT_EQ(number(s, "status mp3 position"), 1234);
    EXPECT_EQ(ok(s, "status mp3 mode"), "stopped");
    ok(s, "seek mp3 to end");
    EXPECT_EQ(number(s, "status mp3 position"), 3000);
    ok(s, "seek mp3 to start");
    EXPECT_EQ(number(s, "status mp3 position"), 0);
    // A play with an end stops there, position on the end.
    ok(s, "play mp3 from 2700 to 2900");
    ASSERT_TRUE(waitUntil([&] { return stopped(s); }));
    EXPECT_EQ(number(s, "status mp3 position"), 2900);
}

TEST(MediaService, DamagedFilesPlayWhatDecodesAndEnd) {
    for (const char* name : {"truncated_half.mp3", "damaged_middle.mp3"}) {
        MediaService s;
        ok(s, openCommand(fixture(name)));
        const long length = number(s, "status mp3 length");
        ok(s, "set mp3 speed 4000");
        ok(s, "play mp3");
        ASSERT_TRUE(waitUntil([&] { return stopped(s); })) << name;
        // The end reads as the length so that a player waiting for it moves on.
        EXPECT_EQ(number(s, "status mp3 position"), length) << name;
    }
}

TEST(MediaService, FileDeletedOrTruncatedWhilePlayingEndsTheTrack) {
    test::TempDir dir;
    const auto deleted = dir.path() / "deleted.mp3";
    const auto truncated = dir.path() / "truncated.mp3";
    std::filesystem::copy_file(fixture("tone_3s_cbr_44100_stereo.mp3"), deleted);
    std::filesystem::copy_file(fixture("tone_3s_cbr_44100_stereo.mp3"), truncated);
    MediaService s;
    ok(s, openCommand(deleted.string(), "a"));
    ok(s, openCommand(truncated.string(), "b"));
    ok(s, "set a speed 4000");
    ok(s, "set b speed 4000");
    ok(s, "play a");
    ok(s, "play b");
    std::filesystem::remove(deleted);
    std::filesystem::resize_file(truncated, 2000);
    ASSERT_TRUE(waitUntil([&] { return stopped(s, "a") && stopped(s, "b"); }));
    EXPECT_EQ(number(s, "status a position"), 3000);
    EXPECT_EQ(number(s, "status b position"), number(s, "status b length"));
    ok(s, "close all");
}

TEST(MediaService, CommandsFromTwoThreadsWhilePlaying) {
    MediaService s;
    ok(s, openCommand(fixture("tone_3s_cbr_44100_stereo.mp3")));
    ok(s, "play mp3");
    std::atomic<bool> done{false};
    std::atomic<int> failures{0};
    std::thread poller([&] {
        char reply[30];
        while (!done) {
            if (s.send("status mp3 position", reply, sizeof reply) != kMciOk)
                ++failures;
            if (s.send("status mp3 mode", reply, sizeof reply) != kMciOk)
                ++failures;
        }
    });
    const char* commands[] = {"pause mp3",
                              "play mp3",
                              "set mp3 speed 1500",
                              "set mp3 audio all off",
                              "setaudio mp3 volume to 332",
                              "play mp3 from 500",
                              "set mp3 audio all on",
                              "seek mp3 to 100",
                              "play mp3",
                              "set mp3 speed 1000"};
    for (int round = 0; round < 3; ++round) {
        for (const char* c : commands) {
            EXPECT_EQ(s.send(c), kMciOk) << c;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    done = true;
    poller.join();
    EXPECT_EQ(failures.load(), 0);
    ok(s, "close mp3");
}

TEST(MediaServiceProcess, ExitWithPlayingDevicesIsClean) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            char reply[30];
            const std::string a = openCommand(fixture("tone_3s_cbr_44100_stereo.mp3"), "a");
            const std::string b = openCommand(fixture("tone_1s_cbr_48000_stereo.mp3"), "b");
            if (mWinAPI::mciSendStringA(a.c_str(), reply, 0, nullptr) != 0)
                std::exit(3);
            if (mWinAPI::mciSendStringA(b.c_str(), reply, 0, nullptr) != 0)
                std::exit(4);
            mWinAPI::mciSendStringA("play a", reply, 0, nullptr);
            mWinAPI::mciSendStringA("play b", reply, 0, nullptr);
            std::exit(0); // devices still open: static destruction closes them
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
} // namespace zr::media
