// Opening files the service must not wait on or cut short: stalled opens, FIFOs, paths longer
// than PATH_MAX, headers that disagree with their file, and the length/position promise while
// the length is still an estimate.
#include "MediaService.h"
#include "MediaTestSupport.h"
#include "MpegProbe.h"
#include "Mpg123Decoder.h"
#include "PlaybackClock.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

namespace zr::media {
namespace {

using test::fixture;
using test::number;
using test::ok;
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
    MediaService s;
    ok(s, "open " + fixture("tone_3s_cbr_44100_stereo.mp3") + " alias other");
    ok(s, "play other");
    // Nobody ever writes to the FIFO: reading it would block for good.
    EXPECT_EQ(s.send("open \"" + fifo.string() + "\" alias mp3"), kMciFileNotFound);
    EXPECT_EQ(s.send("status mp3 mode"), kMciUnknownAlias);
    EXPECT_EQ(s.send("open \"" + dir.path().string() + "/\" alias mp3"), kMciFileNotFound);
    EXPECT_EQ(ok(s, "status other mode"), "playing");
}

// Stands in for a file whose first read blocks in the kernel: the open does not return until the
// test lets it, then opens the real file.
class StalledOpens {
public:
    MediaService::TrackPreparer preparer() {
        return [state = state_](const std::string& path, OpenedTrack& track) {
            std::unique_lock lock(state->mutex);
            ++state->running;
            state->changed.wait(lock, [&] { return state->released; });
            lock.unlock();
            const int result = MpegDevice::prepare(path, track);
            lock.lock();
            --state->running;
            state->changed.notify_all();
            return result;
        };
    }
    void release() {
        std::lock_guard lock(state_->mutex);
        state_->released = true;
        state_->changed.notify_all();
    }
    // Lets every stalled open finish and waits for it, so nothing outlives the test.
    ~StalledOpens() {
        release();
        std::unique_lock lock(state_->mutex);
        state_->changed.wait(lock, [&] { return state_->running == 0; });
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        bool released = false;
        int running = 0;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

TEST(MediaOpen, StalledOpenAnswersNotReadyThenGivesUpAfterTwoSeconds) {
    StalledOpens stalled;
    MediaService s(DeviceOptions{}, stalled.preparer());
    const std::string file = fixture("tone_1s_cbr_44100_stereo.mp3");
    EXPECT_EQ(s.send("open " + file + " alias slow"), kMciOk);
    EXPECT_EQ(s.send("open " + file + " alias closed"), kMciOk);
    for (const char* command : {"play slow", "status slow length", "status slow mode", "pause slow",
                                "setaudio slow volume to 10"})
        EXPECT_EQ(s.send(command), kMciNotReady) << command;
    EXPECT_EQ(s.send("open " + file + " alias slow"), kMciAliasInUse);
    // Close needs nothing from the open.
    EXPECT_EQ(s.send("close closed"), kMciOk);
    EXPECT_EQ(s.send("status closed mode"), kMciUnknownAlias);
    // Past the deadline the open is given up, for good, until the alias is closed.
    EXPECT_TRUE(waitUntil([&] { return s.send("status slow mode") == kMciCannotDecode; },
                          std::chrono::seconds(5)));
    stalled.release();
    EXPECT_EQ(s.send("play slow"), kMciCannotDecode);
    EXPECT_EQ(s.send("close slow"), kMciOk);
}

TEST(MediaOpen, SlowOpenBecomesAnOrdinaryDeviceOnceItFinishes) {
    StalledOpens stalled;
    MediaService s(DeviceOptions{}, stalled.preparer());
    EXPECT_EQ(s.send("open " + fixture("tone_1s_cbr_44100_stereo.mp3") + " alias mp3"), kMciOk);
    EXPECT_EQ(s.send("status mp3 length"), kMciNotReady);
    stalled.release();
    EXPECT_TRUE(waitUntil([&] { return s.send("status mp3 mode") == kMciOk; }));
    EXPECT_EQ(number(s, "status mp3 length"), 1000);
    ok(s, "play mp3 from 900");
    EXPECT_TRUE(waitUntil([&] { return ok(s, "status mp3 mode") == "stopped"; }));
    EXPECT_EQ(number(s, "status mp3 position"), 1000);
}

std::size_t threadCount() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
        ++n;
    return n;
}

TEST(MediaOpen, DeviceWhoseReadsStallClosesWithoutWaitingForThem) {
    test::StalledReads stalled;
    const std::size_t threadsBefore = threadCount();
    {
        MediaService s(DeviceOptions{}, stalled.preparer());
        ok(s, "open " + fixture("tone_5s_cbr_44100_stereo.mp3") + " alias mp3");
        ok(s, "play mp3");
        // The sound stops where the buffered bytes end, well before the track's end.
        long last = -1;
        EXPECT_TRUE(waitUntil([&] {
            const long now = number(s, "status mp3 position");
            const bool still = now == last && now > 0;
            last = now;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            return still;
        }));
        EXPECT_LT(last, 4000);
        EXPECT_EQ(ok(s, "status mp3 mode"), "playing");
        const auto before = std::chrono::steady_clock::now();
        EXPECT_EQ(s.send("close mp3"), kMciOk);
        EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(3));
        ok(s, "open " + fixture("tone_1s_cbr_44100_stereo.mp3") + " alias other");
        EXPECT_EQ(number(s, "status other length"), 1000);
    }
    // The end of the pipe ends the read; the worker left behind then finishes.
    stalled.release();
    EXPECT_TRUE(waitUntil([&] { return threadCount() <= threadsBefore; }));
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
