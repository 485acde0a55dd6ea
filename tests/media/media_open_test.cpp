// Opening files the service must not wait on or cut short: stalled opens, FIFOs, paths longer
// than PATH_MAX, headers that disagree with their file, and the length/position promise while
// the length is still an estimate.
#include "MediaService.h"
#include "MediaTestSupport.h"
#include "MpegProbe.h"
#include "Mpg123Decoder.h"
#include "PlaybackClock.h"
#include "ThreadCount.h"
#include "TrackProducer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <thread>

namespace zr::media {
namespace {

using test::fixture;
using test::number;
using test::ok;
using test::waitStopped;
using test::waitUntil;

std::vector<char> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(MediaOpen, FileAtAPathOf4500BytesOpensAndPlaysAsPathAndAsUri) {
    test::TempDir dir;
    const std::vector<char> bytes = fileBytes(fixture("tone_1s_cbr_44100_stereo.mp3"));
    const std::string path =
        dir.path().string() + "/" + dir.DeepFile(4500, "track.mp3", {bytes.data(), bytes.size()});
    ASSERT_GE(path.size(), 4500u);
    MediaService s;
    ok(s, "open \"" + path + "\" type MPEGVideo alias a");
    ok(s, "open file://" + path + " type MPEGVideo alias b");
    for (const char* alias : {"a", "b"}) {
        const std::string a(alias);
        EXPECT_EQ(number(s, "status " + a + " length"), 1000) << alias;
        ok(s, "play " + a + " from 800");
        EXPECT_TRUE(waitUntil([&] { return ok(s, "status " + a + " mode") == "stopped"; }));
        EXPECT_EQ(number(s, "status " + a + " position"), 1000) << alias;
    }
}

TEST(MediaOpen, FifoAndFoldersAreRefusedWithoutWaitingOnThem) {
    test::TempDir dir;
    const auto fifo = dir.path() / "pipe.mp3";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    MediaService s(test::patient());
    ok(s, "open " + fixture("tone_3s_cbr_44100_stereo.mp3") + " alias other");
    ok(s, "play other");
    // Nobody ever writes to the FIFO: reading it would block for good.
    EXPECT_EQ(s.send("open \"" + fifo.string() + "\" alias mp3"), kMciFileNotFound);
    EXPECT_EQ(s.send("status mp3 mode"), kMciUnknownAlias);
    EXPECT_EQ(s.send("open \"" + dir.path().string() + "/\" alias mp3"), kMciFileNotFound);
    EXPECT_EQ(ok(s, "status other mode"), "playing");
}

// The first read of a file may take seconds (a disk that has spun down). Whatever the player
// sends meanwhile is answered as if the file were open, and takes effect once it is.
TEST(MediaOpen, CommandsSentWhileTheFileOpensAreAnsweredAndKept) {
    test::StalledOpens stalled;
    MediaService s(DeviceOptions{}, stalled.preparer());
    const std::string file = fixture("tone_3s_cbr_44100_stereo.mp3");
    for (const char* alias : {"played", "held", "closed"})
        EXPECT_EQ(s.send("open " + file + " alias " + alias), kMciOk) << alias;
    ok(s, "play played from 2000 to 2500");
    ok(s, "setaudio played volume to 332");
    ok(s, "set played speed 1500");
    ok(s, "set played audio all off");
    ok(s, "seek held to 1234");
    ok(s, "pause held");
    EXPECT_EQ(ok(s, "status played mode"), "playing");
    EXPECT_EQ(number(s, "status played position"), 2000);
    EXPECT_EQ(ok(s, "status played volume"), "332");
    EXPECT_EQ(ok(s, "status played speed"), "1500");
    EXPECT_EQ(ok(s, "status held mode"), "stopped");
    EXPECT_EQ(number(s, "status held position"), 1234);
    EXPECT_EQ(s.send("open " + file + " alias played"), kMciAliasInUse);
    // Close needs nothing from the open.
    ok(s, "close closed");
    EXPECT_EQ(s.send("status closed mode"), kMciUnknownAlias);
    stalled.release();
    // The play starts with the first frame and ends at its "to"; the seek stays where it was.
    EXPECT_TRUE(waitUntil([&] { return ok(s, "status played mode") == "stopped"; }));
    EXPECT_EQ(number(s, "status played position"), 2500);
    EXPECT_EQ(number(s, "status held position"), 1234);
    EXPECT_EQ(number(s, "status held length"), 3000);
    ok(s, "play held");
    EXPECT_GE(number(s, "status held position"), 1234);
}

// A player reads the length once, right after "play", and ends the track when the position
// reaches it. The query waits for the open: an open that completes meanwhile gives the real
// length; one that takes longer gets the longest length there is, and the position still
// reaches it exactly when the audio has ended.
TEST(MediaOpen, LengthWaitsForTheOpenAndThePositionReachesWhatItAnswered) {
    for (const long wait : {600000L, 100L}) {
        test::StalledOpens stalled;
        DeviceOptions options;
        options.lengthWaitMs = static_cast<std::uint32_t>(wait);
        MediaService s(options, stalled.preparer());
        ok(s, "open " + fixture("tone_1s_cbr_44100_stereo.mp3") + " alias mp3");
        ok(s, "play mp3");
        std::thread opens([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            stalled.release();
        });
        const long length = number(s, "status mp3 length");
        opens.join();
        EXPECT_EQ(length, wait > 1000 ? 1000 : kUnknownLengthMs) << wait;
        long position = 0;
        EXPECT_TRUE(waitUntil([&] {
            position = number(s, "status mp3 position");
            EXPECT_LE(position, length);
            return ok(s, "status mp3 mode") == "stopped";
        }));
        EXPECT_GT(position, 0) << "the track never played";
        EXPECT_EQ(number(s, "status mp3 position"), length) << wait;
    }
}

// A file that the player already shows as playing gives no first frame in time, or turns out not
// to be audio: it ends as a damaged file does (position = the length replied), and answers the
// open's error otherwise.
TEST(MediaOpen, OpenThatGivesUpOrFailsLateEndsTheTrack) {
    struct Case {
        const char* file;
        bool opens; // false: never gets past its first read
        int error;
    };
    for (const Case& c : {Case{"tone_1s_cbr_44100_stereo.mp3", false, kMciCannotDecode},
                          Case{"text.mp3", true, kMciCannotDecode},
                          Case{"no_such_file.mp3", true, kMciFileNotFound}}) {
        test::StalledOpens stalled;
        DeviceOptions options;
        options.lengthWaitMs = 100;
        options.firstFrameWaitMs = 1500;
        MediaService s(options, stalled.preparer());
        ok(s, "open " + fixture(c.file) + " alias mp3");
        ok(s, "open " + fixture(c.file) + " alias unasked");
        ok(s, "play mp3");
        const long length = number(s, "status mp3 length");
        EXPECT_EQ(length, kUnknownLengthMs) << c.file;
        if (c.opens)
            stalled.release();
        EXPECT_TRUE(waitUntil([&] {
            return s.send("status mp3 mode") == c.error && s.send("status unasked mode") == c.error;
        })) << c.file;
        EXPECT_EQ(number(s, "status mp3 position"), length) << c.file;
        EXPECT_EQ(number(s, "status mp3 length"), length) << c.file;
        EXPECT_EQ(s.send("play mp3"), c.error) << c.file;
        EXPECT_EQ(s.send("status unasked length"), c.error) << c.file;
        EXPECT_EQ(s.send("status unasked position"), c.error) << c.file;
        ok(s, "close mp3");
        stalled.release();
    }
}

// A share that stops answering mid-track: once its reads have given nothing for the stall
// limit, the track ends as a damaged file's does (the position reads as the length), so a
// player moves on.
TEST(MediaOpen, ReadThatStallsMidTrackEndsTheTrack) {
    test::StalledReads stalled;
    MediaService s(DeviceOptions{}, stalled.preparer());
    ok(s, "open " + fixture("tone_5s_cbr_44100_stereo.mp3") + " alias mp3");
    const long length = number(s, "status mp3 length");
    ok(s, "play mp3");
    EXPECT_TRUE(waitStopped(s)) << "still playing at " << number(s, "status mp3 position");
    EXPECT_EQ(number(s, "status mp3 position"), length);
    ok(s, "close mp3");
}

// Past the audio of a huge sparse file a seek reads zeros inside libmpg123 for as long as the file
// goes on (here: a pipe that gives zeros for ever). The seek gives up at the stall limit and the
// track ends, and the worker stops reading; closing the device while it reads stops the reading
// too: no thread spins on.
TEST(MediaOpen, SeekThroughEndlessZerosEndsAndCloseStopsIt) {
    for (const std::uint32_t limit : {5000u, 600000u}) {
        test::StalledReads zeros(test::StalledReads::Then::Zeros);
        const std::size_t threadsBefore = zr::test::ThreadCount(); // the zeros' writer among them
        {
            DeviceOptions options;
            options.stallLimitMs = limit;
            MediaService s(options, zeros.preparer());
            ok(s, "open " + fixture("tone_5s_cbr_44100_stereo.mp3") + " alias mp3");
            const long length = number(s, "status mp3 length");
            ok(s, "seek mp3 to 4000"); // past what the decoder holds: from there on, zeros
            ok(s, "play mp3");
            if (limit == 5000) {
                EXPECT_TRUE(waitStopped(s));
                EXPECT_EQ(number(s, "status mp3 position"), length);
                // Once nobody reads the zeros, the pipe fills and takes no more.
                EXPECT_TRUE(waitUntil([&] {
                    const std::uint64_t given = zeros.zerosGiven();
                    std::this_thread::sleep_for(std::chrono::milliseconds(200));
                    return zeros.zerosGiven() == given;
                })) << "the worker still reads, unclosed";
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(300)); // into the seek
                EXPECT_EQ(ok(s, "status mp3 mode"), "playing");
            }
            ok(s, "close mp3");
        }
        // While the zeros still flow.
        EXPECT_TRUE(waitUntil([&] { return zr::test::ThreadCount() <= threadsBefore; }))
            << zr::test::ThreadCount() - threadsBefore << " threads left, limit " << limit;
    }
}

// A seek that gives up midway (its reads stalled past the limit) leaves the decoder wherever it
// stopped. When the file answers again, what it gives is not the audio at the start asked for:
// the start ends there, rather than playing other audio as if it were that.
TEST(TrackProducer, StartWhoseSeekGaveUpEndsWhereItBegins) {
    const std::string path = fixture("tone_5s_cbr_44100_stereo.mp3");
    OpenedTrack track;
    ASSERT_EQ(MpegDevice::prepare(path, track), kMciOk);
    // The decoder holds the first 32 KiB; the rest of the file comes through a pipe, a little at
    // once and the rest only after the stall limit, so a seek to 4.5 s (about 73 KB) gives up
    // on its way there.
    const std::vector<char> bytes = fileBytes(path);
    constexpr std::size_t kHeld = 32768;
    constexpr std::size_t kAtOnce = 4000;
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ASSERT_EQ(::write(fds[1], bytes.data() + kHeld, kAtOnce), static_cast<ssize_t>(kAtOnce));
    ::dup2(fds[0], track.decoder->fd());
    ::close(fds[0]);
    const Mpg123Decoder& decoder = *track.decoder;
    std::thread rest([&] {
        EXPECT_TRUE(waitUntil([&] { return decoder.busyFor().count() > 0; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(600)); // past the limit, in the seek
        const std::size_t left = bytes.size() - kHeld - kAtOnce;
        EXPECT_EQ(::write(fds[1], bytes.data() + kHeld + kAtOnce, left),
                  static_cast<ssize_t>(left));
        ::close(fds[1]);
    });
    track.decoder->setStallLimit(std::chrono::milliseconds(200));
    TrackProducer producer(std::move(track.decoder));
    const std::int64_t from = 44100 * 9 / 2;
    producer.restart(from, 5 * 44100, 1000);
    AudioBlock block;
    block.samples.resize(kBlockFrames * 2);
    producer.fill(block);
    rest.join();
    EXPECT_TRUE(block.last);
    EXPECT_EQ(block.frames, 0u);
    EXPECT_EQ(block.trackStart, from);
    EXPECT_TRUE(producer.finished());
}

TEST(MediaOpen, LongFileWithoutHeaderAnswersAnEstimateThenTheCountedLength) {
    // 150 copies of a 1 s file without header: too big to count while opening.
    test::TempDir dir;
    const auto path = dir.path() / "long.mp3";
    const std::vector<char> one = fileBytes(fixture("tone_1s_cbr_noheader_44100_stereo.mp3"));
    {
        std::ofstream out(path, std::ios::binary);
        for (int i = 0; i < 150; ++i)
            out.write(one.data(), static_cast<std::streamsize>(one.size()));
    }
    const test::Pcm reference = test::decodeReference(path.string());
    const long exact = static_cast<long>((reference.frames() * 1000 + 44099) / 44100);
    ASSERT_GT(exact, 149000);
    MediaService s;
    ok(s, "open \"" + path.string() + "\" alias mp3");
    // An estimate at once (audio bytes over the mean frame), within 1% of the real length.
    EXPECT_NEAR(number(s, "status mp3 length"), exact, exact / 100);
    EXPECT_TRUE(waitUntil([&] { return number(s, "status mp3 length") == exact; }));
    // Near the end: the position stays short of the length until the audio has ended.
    ok(s, "play mp3 from " + std::to_string(exact - 400));
    long last = 0;
    while (ok(s, "status mp3 mode") == "playing") {
        last = number(s, "status mp3 position");
        ASSERT_LT(last, exact);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(number(s, "status mp3 position"), exact);
}

// A sparse file (a download cut short, a disk image) whose data is a short track: the holes are
// not audio, header or no header.
TEST(MediaOpen, SparseFileAnswersTheLengthOfItsDataNotOfItsHoles) {
    test::TempDir dir;
    const auto path = dir.path() / "sparse.mp3";
    MediaService s;
    for (const char* name :
         {"tone_10s_cbr_44100_stereo.mp3", "tagged/cbr_noheader_id3v24_pic1m_ape_id3v1.mp3"}) {
        std::filesystem::copy_file(fixture(name), path,
                                   std::filesystem::copy_options::overwrite_existing);
        ASSERT_EQ(::truncate(path.c_str(), 100'000'000'000), 0);
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        if (st.st_blocks * 512 > 100'000'000)
            GTEST_SKIP() << "this file system does not keep holes";
        const test::Pcm reference = test::decodeReference(fixture(name));
        ok(s, "open \"" + path.string() + "\" alias mp3");
        EXPECT_EQ(number(s, "status mp3 length"), frameToMs(reference.frames(), reference.rate))
            << name;
        ok(s, "close mp3");
    }
}

// The promise kept while the length may be an estimate: the position never reaches the last
// length reply before the end, and equals it at the end.
TEST(TrackClock, PositionStaysShortOfTheLengthRepliedUntilTheEnd) {
    struct Case {
        const char* what;
        std::int64_t estimate;
        std::int64_t exact; // -1: still unknown when the length is asked
        std::int64_t realEnd;
    };
    for (const Case& c : {Case{"exact", 132300, 132300, 132300},
                          Case{"estimate short of the real end", 44100 * 5, -1, 44100 * 15},
                          Case{"estimate past the real end", 44100 * 16, -1, 44100 * 15}}) {
        TrackClock clock(44100, c.estimate, c.exact);
        const std::uint32_t length = clock.lengthReply();
        EXPECT_EQ(length, frameToMs(c.exact >= 0 ? c.exact : c.estimate, 44100)) << c.what;
        for (std::int64_t frame = 0; frame <= c.realEnd; frame += 441)
            ASSERT_LT(clock.positionReply(frame), length) << c.what << " at " << frame;
        EXPECT_EQ(clock.positionReply(c.realEnd - 1),
                  std::min(frameToMs(c.realEnd - 1, 44100), length - 1))
            << c.what;
        clock.markEnded();
        EXPECT_EQ(clock.positionReply(c.realEnd), length) << c.what;
        // Asked again after the end, the length is the real one, and the position follows it.
        clock.setExactFrames(c.realEnd);
        const std::uint32_t again = clock.lengthReply();
        EXPECT_EQ(again, frameToMs(c.realEnd, 44100)) << c.what;
        EXPECT_EQ(clock.positionReply(c.realEnd), again) << c.what;
        clock.clearEnded();
        EXPECT_EQ(clock.positionReply(44100), 1000u) << c.what;
    }
}

AudioProbe probeFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    EXPECT_EQ(::fstat(fd, &st), 0) << path;
    const AudioProbe probe = probeAudio(fd, st.st_size);
    ::close(fd);
    return probe;
}

TEST(XingHeader, TrustedOnlyWhenItCountsFramesAndItsBytesMatchTheAudio) {
    using Kind = EncoderHeader::Kind;
    struct Case {
        const char* file;
        Kind kind;
        bool agrees;
    };
    for (const Case& c :
         {Case{"tone_5s_cbr_44100_stereo.mp3", Kind::Info, true},
          Case{"tone_1s_vbr_44100_stereo.mp3", Kind::Xing, true},
          Case{"joined_3x5s.mp3", Kind::Info, false}, Case{"vbr_zero_count.mp3", Kind::Xing, false},
          Case{"tone_1s_cbr_noheader_44100_stereo.mp3", Kind::None, false}}) {
        const AudioProbe probe = probeFile(fixture(c.file));
        EXPECT_TRUE(probe.found) << c.file;
        EXPECT_EQ(probe.header.kind, c.kind) << c.file;
        EXPECT_EQ(headerAgrees(probe), c.agrees) << c.file;
    }
    // An ID3v2 tag of 300 bytes before the audio and an ID3v1 tag after it change nothing; 200 KB
    // of something else between them do.
    const std::vector<char> audio = fileBytes(fixture("tone_5s_cbr_44100_stereo.mp3"));
    for (const std::size_t junk : {0, 200000}) {
        std::vector<char> tagged = {'I', 'D', '3', 4, 0, 0, 0, 0, 2, 44};
        tagged.resize(310, '\0');
        tagged.insert(tagged.end(), audio.begin(), audio.end());
        tagged.resize(tagged.size() + junk, 'x');
        tagged.insert(tagged.end(), {'T', 'A', 'G'});
        tagged.resize(tagged.size() + 125, ' ');
        test::TempDir dir;
        const auto path = dir.path() / "tagged.mp3";
        std::ofstream(path, std::ios::binary).write(tagged.data(), std::ssize(tagged));
        const AudioProbe probe = probeFile(path.string());
        EXPECT_EQ(probe.begin, 310);
        EXPECT_EQ(probe.end, static_cast<std::int64_t>(tagged.size()) - 128);
        EXPECT_EQ(headerAgrees(probe), junk == 0) << junk;
    }
}

TEST(OpenRegularFile, WalksRelativeAndOddlySlashedPathsAndRefusesTheRest) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.path() / "a" / "b");
    std::filesystem::copy_file(fixture("tone_1s_cbr_44100_stereo.mp3"), dir.path() / "a/b/t.mp3");
    const std::string root = dir.path().string();
    for (const std::string& good : {root + "/a/b/t.mp3", root + "//a/./b/../b/t.mp3"}) {
        const int fd = openRegularFile(good);
        EXPECT_GE(fd, 0) << good;
        if (fd >= 0)
            ::close(fd);
    }
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path() / "a");
    const int relative = openRegularFile("b/t.mp3");
    std::filesystem::current_path(cwd);
    EXPECT_GE(relative, 0);
    if (relative >= 0)
        ::close(relative);
    for (const std::string& bad : {root + "/a/b", root + "/a/b/", root + "/a/b/t.mp3/",
                                   root + "/missing/t.mp3", std::string()})
        EXPECT_LT(openRegularFile(bad), 0) << bad;
}

} // namespace
} // namespace zr::media
