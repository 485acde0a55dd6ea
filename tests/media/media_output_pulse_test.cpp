// What the service plays, heard through a private PulseAudio (tests/support/pulseserver.py): our
// own libpulse stream into a null sink whose monitor is recorded. Real time, so the tracks are
// short; the recording is the server's own timeline, so what it holds is what a listener would
// have heard. The output table (OutputTable.cpp) runs here too; below are the checks only a
// server has: its stream, the choice of output, and servers and sinks that come and go.
#include "OutputTable.h"
#include "PulseOutput.h"
#include "PythonHelpers.h"
#include "SampleFormat.h"
#include "SdlLibrary.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <thread>
#include <unistd.h>
#include <utility>

namespace zr::media {
namespace {

using test::fixture;
using test::number;
using test::ok;
using test::OutputTable;
using test::RealTimeOutputTable;
using zr::test::PulseServer;

constexpr int kRate = PulseServer::kRate;
constexpr int kLoud = 1000;            // s16; the fixtures' tone peaks at 16384
constexpr long kDropout = kRate / 100; // 10 ms

class PulseOutput : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (PulseServer::installed())
            server_ = new PulseServer;
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }

    void SetUp() override {
        if (!server_)
            GTEST_SKIP() << "pulseaudio is not installed";
        ASSERT_TRUE(server_->ready()) << server_->error();
        recording_ = std::make_unique<PulseServer::Recording>(*server_);
        ASSERT_TRUE(recording_->started()) << "the null sink's monitor recorded nothing";
    }

    void open(const std::string& name) {
        ok(service_, "open \"" + fixture(name) + "\" type MPEGVideo alias mp3");
    }

    // Our stream on the server, by process id (the recording's own stream is there too).
    std::map<std::string, std::string> ourStream() const {
        for (auto& stream : server_->sinkInputs())
            if (stream["application.process.id"] == std::to_string(getpid()) &&
                stream["application.name"] != "zr-test-keepalive")
                return stream;
        return {};
    }

    static std::string sdlDriver() {
        const auto* sdl = zr::media::SdlLibrary::loaded();
        const char* driver = sdl ? sdl->GetCurrentAudioDriver() : nullptr;
        return driver ? driver : "none";
    }

    static double peak(const std::vector<std::int16_t>& s, long from, long to) {
        int best = 0;
        for (long f = std::max(from, 0L); f < to && f * 2 < static_cast<long>(s.size()); ++f)
            best = std::max(best, std::abs(static_cast<int>(s[static_cast<std::size_t>(f) * 2])));
        return best;
    }

    static PulseServer* server_;
    MediaService service_;
    std::unique_ptr<PulseServer::Recording> recording_;
};

PulseServer* PulseOutput::server_ = nullptr;

class ServerOutput : public test::Output {
public:
    std::string start(bool) override {
        if (!PulseServer::installed())
            return "pulseaudio is not installed";
        server_.emplace();
        EXPECT_TRUE(server_->ready()) << server_->error();
        if (!server_->ready())
            return server_->error();
        recording_.emplace(*server_);
        EXPECT_TRUE(recording_->started()) << "the null sink's monitor recorded nothing";
        return recording_->started() ? "" : "no recording";
    }
    long mark() const override { return static_cast<long>(recording_->frames()) * 2; }
    std::vector<float> heard(long from) const override {
        const std::vector<std::int16_t> s = recording_->samples();
        std::vector<float> out;
        for (std::size_t i = static_cast<std::size_t>(std::max(from, 0L)); i < s.size(); ++i)
            out.push_back(static_cast<float>(s[i]) / 32768); // as the decoder made them
        return out;
    }
    long rate(const test::Pcm&) const override { return kRate; }
    int channels(const test::Pcm&) const override { return 2; }
    bool paced() const override { return true; }
    double slackSeconds() const override { return 0.05; }
    // The first 1.5 to 2.5 ms of every play are not heard (from the monitor as from a card).
    long startCutFrames() const override { return kRate / 200; }
    double heldSeconds() const override { return 0.0; }

private:
    std::optional<PulseServer> server_;
    std::optional<PulseServer::Recording> recording_;
};

std::unique_ptr<test::Output> makeServer() {
    return std::make_unique<ServerOutput>();
}

constexpr char kServer[] = "server";
INSTANTIATE_TEST_SUITE_P(Output, OutputTable, ::testing::Values(&makeServer),
                         test::nameOutput<kServer>);
INSTANTIATE_TEST_SUITE_P(Output, RealTimeOutputTable, ::testing::Values(&makeServer),
                         test::nameOutput<kServer>);

// The tempo changer may hand over samples beyond full scale (a loud master): their conversion
// clips them and neither wraps them round to the other sign nor loses the quiet end of the scale.
class OverRangeSine : public AudioSource {
public:
    std::size_t pull(float* out, std::size_t frames, bool) override {
        const std::size_t n = std::min(frames, kFrames - given_);
        for (std::size_t i = 0; i < n; ++i, ++given_) {
            const float v = amplitude(given_) *
                            static_cast<float>(std::sin(2.0 * M_PI * 441.0 * given_ / kRate));
            out[2 * i] = v;
            out[2 * i + 1] = -v;
        }
        return n;
    }
    // In runs of a few hundred frames, as the blocks of a ring come: each must land at its place.
    std::size_t pullInto(const FrameWriter& writer, std::size_t frames) override {
        float run[2 * 441];
        std::int16_t converted[2 * 441];
        std::size_t done = 0;
        while (done < frames) {
            const std::size_t n = pull(run, std::min<std::size_t>(frames - done, 441), false);
            if (n == 0)
                break;
            floatToS16(run, converted, 2 * n);
            writer.put(writer.context, converted, done, n);
            done += n;
        }
        return done;
    }
    bool exhausted() const override { return given_ == kFrames; }
    void playedOut() override { heard_ = true; }
    void outputLost() override {}
    // The first half at 1.5 times full scale, the second quiet, a little over one s16 step.
    static float amplitude(std::size_t frame) { return frame < kFrames / 2 ? 1.5f : 2.0f / 32767; }
    static constexpr std::size_t kFrames = kRate;
    std::size_t given_ = 0;
    std::atomic<bool> heard_{false};
};

TEST_F(PulseOutput, SamplesBeyondFullScaleAreClippedNotWrapped) {
    OverRangeSine source;
    bool answered = false;
    auto stream = PulseStream::open(kRate, 2, "over range", 1.0f, false, source, answered);
    ASSERT_TRUE(stream);
    stream->start();
    ASSERT_TRUE(test::waitUntil([&] { return source.heard_.load(); }, std::chrono::seconds(10)));
    stream.reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::vector<std::int16_t> s = recording_->samples();
    const auto loud = zr::test::analyseTone(s, 2, kLoud, kDropout);
    ASSERT_GE(loud.start, 0) << "nothing loud was recorded";
    EXPECT_NEAR(loud.seconds(kRate), 0.5, 0.03);
    EXPECT_GE(peak(s, loud.start, loud.end), 32000);
    // A clipped 441 Hz sine moves at most ~3100 a sample; a wrapped one jumps by ~65000.
    int worstStep = 0;
    for (long f = loud.start + 1; f < loud.end; ++f) {
        for (std::size_t c = 0; c < 2; ++c) {
            const auto i = static_cast<std::size_t>(f) * 2 + c;
            worstStep = std::max(worstStep, std::abs(s[i] - s[i - 2]));
        }
        // The channels stay each other's negative (clipping is symmetric).
        const auto i = static_cast<std::size_t>(f) * 2;
        ASSERT_LE(std::abs(s[i] + s[i + 1]), 1) << "at frame " << f;
    }
    EXPECT_LT(worstStep, 4000);
    // The quiet half survives the conversion: about +-2 steps, not rounded away to silence.
    EXPECT_GE(peak(s, loud.end + kRate / 20, loud.end + kRate * 9 / 20), 1);
    EXPECT_LE(peak(s, loud.end + kRate / 20, loud.end + kRate * 9 / 20), 3);
}

// An SDL driver asked for explicitly is honoured even with a server running (the tests' silent
// and disk drivers depend on it), and ZR_AUDIO_OUTPUT=sdl plays through SDL's own driver for
// the server. SDL reads its driver once per start, so each case is a test of its own.
class PulseOutputChoice : public PulseOutput {
protected:
    // Whether our stream reached the server, and the SDL driver in use meanwhile.
    std::pair<bool, std::string> playWith(const char* driver, const char* output) {
        setenv("SDL_AUDIODRIVER", driver, 1);
        setenv("ZR_AUDIO_OUTPUT", output, 1);
        open("tone_1s_cbr_44100_stereo.mp3");
        ok(service_, "play mp3");
        const bool onServer =
            test::waitUntil([&] { return !ourStream().empty(); }, std::chrono::seconds(2));
        const std::string sdl = sdlDriver();
        ok(service_, "close mp3");
        setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
        unsetenv("ZR_AUDIO_OUTPUT");
        return {onServer, sdl};
    }
};

TEST_F(PulseOutputChoice, AnSdlDriverAskedForIsHonoured) {
    const auto [onServer, sdl] = playWith("dummy", "");
    EXPECT_FALSE(onServer) << "SDL_AUDIODRIVER=dummy still reached the server";
    EXPECT_EQ(sdl, "dummy");
}

TEST_F(PulseOutputChoice, SdlOnRequestStillReachesTheServer) {
    const auto [onServer, sdl] = playWith("pulseaudio", "sdl");
    EXPECT_TRUE(onServer) << "SDL's pulseaudio driver did not reach the server";
    EXPECT_EQ(sdl, "pulseaudio");
}

// The service plays straight to the server, not through SDL (nor its silent fallback), and a
// desktop's mixer shows the stream by the player's name, the music role and the file's name.
TEST_F(PulseOutput, StreamGoesStraightToTheServerNamedForThePlayerTheRoleAndTheFile) {
    open("tone_1s_cbr_44100_stereo.mp3");
    ok(service_, "play mp3");
    std::map<std::string, std::string> stream;
    ASSERT_TRUE(
        test::waitUntil([&] { return !(stream = ourStream()).empty(); }, std::chrono::seconds(5)))
        << "no stream of ours on the server; SDL driver: " << sdlDriver();
    // Not even loaded: SDL brings its whole video stack into the process.
    EXPECT_EQ(zr::media::SdlLibrary::loaded(), nullptr) << "SDL was loaded";
    void* sdl = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_NOLOAD);
    EXPECT_EQ(sdl, nullptr) << "SDL is in the process";
    if (sdl)
        dlclose(sdl);
    EXPECT_EQ(stream["application.name"], "ZR - Mp3 Player");
    EXPECT_EQ(stream["media.role"], "music");
    EXPECT_EQ(stream["media.name"], "tone_1s_cbr_44100_stereo.mp3");
    ok(service_, "close mp3");
    EXPECT_TRUE(test::waitUntil([&] { return ourStream().empty(); }, std::chrono::seconds(5)))
        << "the stream outlived its device";

    // A name that is not UTF-8 (Latin-1 "café.mp3"): the server takes only UTF-8, so the byte
    // is named U+FFFD, as the player's window shows it.
    char folder[] = "/tmp/zr-pulse-name-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::filesystem::path latin1 = std::filesystem::path(folder) / "caf\xE9.mp3";
    std::filesystem::copy_file(fixture("tone_1s_cbr_44100_stereo.mp3"), latin1);
    ok(service_, "open file://" + std::string(folder) + "/caf%E9.mp3 type MPEGVideo alias mp3");
    ok(service_, "play mp3");
    ASSERT_TRUE(
        test::waitUntil([&] { return !(stream = ourStream()).empty(); }, std::chrono::seconds(5)));
    EXPECT_EQ(stream["media.name"], "caf\xEF\xBF\xBD.mp3");
    ok(service_, "close mp3");
    std::filesystem::remove_all(folder);
}

// Sound devices that come and go under the player, as a laptop's do: a headset unplugged (its
// sink unloaded), a server with no sink at all, a sink suspended. Driven with pactl; the server
// is left with its one running zr_sink for the next test.
class PulseDevices : public PulseOutput {
protected:
    void TearDown() override {
        recording_.reset();
        unsetenv("ZR_AUDIO_OUTPUT");
        if (!other_.empty())
            (void)server_->pactl("unload-module " + other_);
        if (server_->pactl("list short sinks").find(PulseServer::kSink) == std::string::npos)
            (void)server_->pactl(std::string("load-module module-null-sink sink_name=") +
                                 PulseServer::kSink + " rate=" + std::to_string(kRate) +
                                 " channels=2");
        suspend(false);
        (void)server_->pactl(std::string("set-default-sink ") + PulseServer::kSink);
    }

    void suspend(bool on) {
        (void)server_->pactl(std::string("suspend-sink ") + PulseServer::kSink +
                             (on ? " 1" : " 0"));
    }

    // A second sink, unheard by the recording, with our stream moved there (as a desktop's
    // mixer moves it; a new default sink would take the recording's streams along too).
    void plugOtherAndMoveThere() {
        other_ = server_->pactl("load-module module-null-sink sink_name=zr_other rate=" +
                                std::to_string(kRate) + " channels=2");
        other_.erase(other_.find_last_not_of(" \n") + 1);
        ASSERT_FALSE(other_.empty());
        (void)server_->pactl("move-sink-input " + ourStream()["Sink Input"] + " zr_other");
    }
    void unplugOther() { (void)server_->pactl("unload-module " + std::exchange(other_, {})); }
    // Every sink goes (the recording's streams with them).
    void unplugAll() {
        recording_.reset();
        (void)server_->pactl("unload-module module-null-sink");
        ASSERT_EQ(server_->pactl("list short sinks"), "");
    }
    void plugBack() {
        TearDown();
        recording_ = std::make_unique<PulseServer::Recording>(*server_);
        ASSERT_TRUE(recording_->started());
    }

    long position() { return number(service_, "status mp3 position"); }
    bool playedTo(long ms) {
        return test::waitUntil([&] { return position() >= ms; }, std::chrono::seconds(10));
    }
    zr::test::ToneExtent heard(long from = 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        auto s = recording_->samples();
        s.erase(s.begin(), s.begin() + std::min<long>(from * 2, static_cast<long>(s.size())));
        return zr::test::analyseTone(s, 2, kLoud, kDropout);
    }

    std::string other_; // module of the second sink while it is plugged in
};

TEST_F(PulseDevices, AnotherSinkTakesTheStreamOverWhenItsSinkIsUnplugged) {
    open("tone_3s_cbr_44100_stereo.mp3");
    ok(service_, "play mp3");
    ASSERT_TRUE(playedTo(300));
    plugOtherAndMoveThere();
    const long moved = static_cast<long>(recording_->frames());
    ASSERT_TRUE(playedTo(1300));
    const long unplugged = static_cast<long>(recording_->frames());
    const long at = position();
    unplugOther();
    ASSERT_TRUE(test::waitStopped(service_));
    EXPECT_EQ(position(), 3000);
    const auto s = recording_->samples();
    EXPECT_LT(peak(s, moved + kRate / 5, unplugged), kLoud) << "the stream was not moved";
    const auto tone = heard(unplugged);
    ASSERT_GE(tone.start, 0) << "the rest of the track was not heard on the remaining sink";
    EXPECT_NEAR(tone.seconds(kRate) * 1000, 3000 - at, 150);
    EXPECT_TRUE(tone.gaps.empty()) << tone.gaps.size() << " gaps";
}

// With no sink left the track goes on in real time, silently, and is heard again as soon as a
// sink comes back; the next play is heard whole.
TEST_F(PulseDevices, WithNoSinkLeftTheTrackGoesOnAndReturnsWithASink) {
    open("tone_10s_cbr_44100_stereo.mp3");
    ok(service_, "play mp3");
    ASSERT_TRUE(playedTo(500));
    unplugAll();
    const long silentFrom = position();
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_EQ(ok(service_, "status mp3 mode"), "playing");
    EXPECT_GT(position(), silentFrom) << "the track stood still without a sink";
    plugBack();
    ASSERT_TRUE(test::waitStopped(service_));
    EXPECT_EQ(position(), 10000);
    EXPECT_GE(heard().seconds(kRate), 1.0) << "the track was not heard again once a sink was back";

    const long mark = static_cast<long>(recording_->frames());
    ok(service_, "play mp3 from 8000");
    ASSERT_TRUE(test::waitStopped(service_));
    const auto again = heard(mark);
    EXPECT_NEAR(again.seconds(kRate), 2.0, 0.05);
    EXPECT_TRUE(again.gaps.empty()) << again.gaps.size() << " gaps";
}

// SDL's own PulseAudio driver (ZR_AUDIO_OUTPUT=sdl) must not be started against such a server
// either: it crashes on a server without a sink.
TEST_F(PulseDevices, PlayOnAServerWithoutASinkGoesOnSilently) {
    unplugAll();
    for (const char* output : {"", "sdl"}) {
        SCOPED_TRACE(std::string("ZR_AUDIO_OUTPUT=") + output);
        setenv("ZR_AUDIO_OUTPUT", output, 1);
        open("tone_1s_cbr_44100_stereo.mp3");
        ok(service_, "play mp3");
        EXPECT_EQ(ok(service_, "status mp3 mode"), "playing");
        ASSERT_TRUE(test::waitStopped(service_));
        EXPECT_EQ(position(), 1000);
        ok(service_, "close mp3");
    }
}

TEST_F(PulseDevices, WhileTheSinkIsSuspendedThePositionWaitsWithIt) {
    open("tone_3s_cbr_44100_stereo.mp3");
    ok(service_, "play mp3");
    ASSERT_TRUE(playedTo(1000));
    suspend(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const long held = position();
    const auto heardBefore = heard();
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_NEAR(position(), held, 50) << "the position ran ahead of the suspended sink";
    EXPECT_NEAR(heardBefore.seconds(kRate) * 1000, held, 150)
        << "the position is not what was heard";
    suspend(false);
    ASSERT_TRUE(test::waitStopped(service_));
    EXPECT_EQ(position(), 3000);
    const auto tone = heard();
    EXPECT_NEAR(tone.seconds(kRate), 3.0, 0.1) << "lost or repeated across the suspension";
}

// A sink that never wakes up again (another program holds the card) must not hold the track
// forever: after a few seconds it goes on silently in real time.
TEST_F(PulseDevices, ASinkSuspendedForGoodDoesNotHoldTheTrack) {
    open("tone_1s_cbr_44100_stereo.mp3");
    ok(service_, "play mp3");
    ASSERT_TRUE(playedTo(300));
    suspend(true);
    ASSERT_TRUE(test::waitStopped(service_)) << "still playing on a suspended sink";
    EXPECT_EQ(position(), 1000);
}

// The server going away under a playing track (killed, or shut down with the session): the
// track goes on silently to its end, the service keeps answering, and a later play finds the
// way to some output again.
TEST(PulseServerLost, TrackGoesOnSilentlyAndTheServiceKeepsAnswering) {
    if (!PulseServer::installed())
        GTEST_SKIP() << "pulseaudio is not installed";
    PulseServer server;
    ASSERT_TRUE(server.ready()) << server.error();
    MediaService service;
    ok(service,
       "open \"" + fixture("tone_3s_cbr_44100_stereo.mp3") + "\" type MPEGVideo alias mp3");
    ok(service, "play mp3");
    ASSERT_TRUE(test::waitUntil([&] { return number(service, "status mp3 position") >= 500; }));
    ASSERT_FALSE(server.sinkInputs().empty());
    server.kill();
    ASSERT_TRUE(test::waitStopped(service)) << "the track did not end after the server went away";
    EXPECT_EQ(number(service, "status mp3 position"), 3000);
    ok(service, "play mp3 from 1000");
    EXPECT_TRUE(test::waitUntil([&] { return number(service, "status mp3 position") > 1200; }));
    ok(service, "close mp3");
}

// A server that comes back (restarted by the session) takes the rest of the track, and the
// position never jumps back meanwhile. The new server is up before the old one dies, so its
// address is in the environment before anything of ours looks for it.
TEST(PulseServerLost, ARestartedServerTakesTheRestOfTheTrack) {
    if (!PulseServer::installed())
        GTEST_SKIP() << "pulseaudio is not installed";
    auto first = std::make_unique<PulseServer>();
    ASSERT_TRUE(first->ready()) << first->error();
    MediaService service;
    ok(service, "open \"" + fixture("tone_5s_cbr_44100_stereo.mp3") + "\" alias mp3");
    ok(service, "play mp3");
    ASSERT_TRUE(test::waitUntil([&] { return number(service, "status mp3 position") >= 1000; }));
    PulseServer second;
    ASSERT_TRUE(second.ready()) << second.error();
    PulseServer::Recording recording(second);
    ASSERT_TRUE(recording.started());
    const long killedAt = number(service, "status mp3 position");
    first->kill();
    long last = killedAt;
    bool stopped = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!stopped && std::chrono::steady_clock::now() < deadline) {
        const long now = number(service, "status mp3 position");
        ASSERT_GE(now, last) << "the position went back";
        last = now;
        stopped = ok(service, "status mp3 mode") == "stopped";
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(stopped);
    EXPECT_EQ(number(service, "status mp3 position"), 5000);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto tone = zr::test::analyseTone(recording.samples(), 2, kLoud, kDropout);
    EXPECT_NEAR(tone.seconds(kRate) * 1000, 5000 - killedAt, 250)
        << "the rest of the track was not heard on the new server";
    ok(service, "close mp3");
}

} // namespace
} // namespace zr::media
