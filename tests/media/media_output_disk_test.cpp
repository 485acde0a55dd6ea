// What the service plays, heard through SDL's disk driver: it writes every frame the device
// consumes to a file, unpaced (SDL_DISKAUDIODELAY=0), so whole tracks are captured in
// milliseconds. The service decodes the whole track before starting the device, so the capture
// has no gaps from the decoder falling behind the unpaced driver.
#include "MediaService.h"
#include "MediaTestSupport.h"
#include "PlaybackClock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include <fcntl.h>
#include <unistd.h>

namespace zr::media {
namespace {

using test::fixture;
using test::number;
using test::ok;

class DiskOutput : public ::testing::Test {
protected:
    void SetUp() override {
        // SDL reads these when it starts and when it opens a device; the service starts SDL
        // only with its first device.
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIODELAY", "0", 1);
        setenv("SDL_DISKAUDIOFILE", capturePath().c_str(), 1);
    }

    std::string capturePath() const { return (dir_.path() / "capture.raw").string(); }

    void open(const std::string& name) {
        reference_ = test::decodeReference(fixture(name));
        ASSERT_GT(reference_.frames(), 0u);
        ok(service_, "open " + fixture(name) + " type MPEGVideo alias mp3");
    }

    // Sends the command that starts playback and returns everything the device consumed up to
    // the end of the track.
    std::vector<float> playToEnd(const std::string& command) {
        ok(service_, command);
        EXPECT_TRUE(test::waitUntil([&] { return ok(service_, "status mp3 mode") == "stopped"; }));
        std::ifstream in(capturePath(), std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
        std::vector<float> samples(bytes.size() / sizeof(float));
        std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
        return samples;
    }

    int channels() const { return reference_.channels; }
    long rate() const { return reference_.rate; }

    // First and one past the last frame that is not silence. The device may put a buffer or
    // two of silence before the sound while it starts; that is not part of the track.
    struct Extent {
        std::size_t first = 0;
        std::size_t end = 0;
        [[nodiscard]] std::size_t frames() const { return end - first; }
    };
    Extent sound(const std::vector<float>& s) const {
        const auto ch = static_cast<std::size_t>(channels());
        Extent e;
        std::size_t i = 0;
        while (i < s.size() && s[i] == 0.0f)
            ++i;
        if (i == s.size())
            return e;
        e.first = i / ch;
        std::size_t j = s.size();
        while (s[j - 1] == 0.0f)
            --j;
        e.end = (j - 1) / ch + 1;
        return e;
    }

    static double rms(const float* s, std::size_t n) {
        double sum = 0;
        for (std::size_t i = 0; i < n; ++i)
            sum += static_cast<double>(s[i]) * s[i];
        return n ? std::sqrt(sum / static_cast<double>(n)) : 0.0;
    }

    test::TempDir dir_;
    // Ring and start buffer longer than any fixture: the whole track is decoded before the
    // unpaced device starts, so the capture has no gaps from the decoder falling behind.
    MediaService service_{DeviceOptions{20000, 20000}};
    test::Pcm reference_;
};

TEST_F(DiskOutput, ThreeSecondTrackGivesExactlyThreeSecondsOfSamples) {
    for (const char* name : {"tone_3s_cbr_44100_stereo.mp3", "tone_3s_cbr_48000_mono.mp3"}) {
        ok(service_, "close all");
        open(name);
        const std::vector<float> out = playToEnd("play mp3");
        const std::size_t expected = static_cast<std::size_t>(3 * rate());
        ASSERT_EQ(reference_.frames(), expected) << name;
        const Extent ref = sound(reference_.samples);
        const Extent got = sound(out);
        EXPECT_EQ(got.frames(), ref.frames()) << name;
        EXPECT_GE(ref.frames() + 2, expected) << name; // at most a silent sample at either end
        ASSERT_GE(out.size(), (got.first + ref.frames()) * channels()) << name;
        // Sample for sample what the decoder gives, at unity volume.
        const auto ch = static_cast<std::size_t>(channels());
        std::size_t mismatches = 0;
        for (std::size_t i = 0; i < ref.frames() * ch; ++i)
            mismatches += out[got.first * ch + i] != reference_.samples[ref.first * ch + i];
        EXPECT_EQ(mismatches, 0u) << name;
        EXPECT_EQ(number(service_, "status mp3 position"), 3000) << name;
    }
}

TEST_F(DiskOutput, VolumeFollowsTheDocumentedCurve) {
    open("tone_3s_cbr_44100_stereo.mp3");
    ok(service_, "setaudio mp3 volume to 498");
    const std::vector<float> out = playToEnd("play mp3");
    const std::size_t n = reference_.samples.size();
    ASSERT_GE(out.size(), n);
    // (498/1000)^3 = 0.1235, about -18.2 dB. Leading silence does not change the sum.
    EXPECT_NEAR(rms(out.data(), out.size()) / rms(reference_.samples.data(), n) *
                    std::sqrt(double(out.size()) / double(n)),
                0.1235, 0.0005);
}

TEST_F(DiskOutput, MuteSilencesAndUnmuteRestoresTheSameVolume) {
    open("tone_1s_cbr_44100_stereo.mp3");
    ok(service_, "setaudio mp3 volume to 498");
    ok(service_, "set mp3 audio all off");
    const std::vector<float> muted = playToEnd("play mp3");
    EXPECT_EQ(number(service_, "status mp3 position"), 1000); // it did play
    EXPECT_GT(muted.size(), reference_.samples.size());
    EXPECT_EQ(sound(muted).frames(), 0u);
    EXPECT_EQ(ok(service_, "status mp3 volume"), "498");

    ok(service_, "set mp3 audio all on");
    const std::vector<float> back = playToEnd("play mp3 from 0");
    const std::size_t n = reference_.samples.size();
    EXPECT_EQ(sound(back).frames(), sound(reference_.samples).frames());
    EXPECT_NEAR(rms(back.data(), back.size()) / rms(reference_.samples.data(), n) *
                    std::sqrt(double(back.size()) / double(n)),
                0.1235, 0.0005);
}

// Zero crossings per second of one channel, over whole periods in the middle of the sound.
double toneFrequency(const std::vector<float>& s, int channels, long rate, std::size_t begin,
                     std::size_t frames) {
    const std::size_t first = begin + frames / 4;
    const std::size_t last = begin + frames * 3 / 4;
    std::size_t crossings = 0;
    std::size_t firstCross = 0;
    std::size_t lastCross = 0;
    for (std::size_t f = first + 1; f < last; ++f) {
        const float a = s[(f - 1) * static_cast<std::size_t>(channels)];
        const float b = s[f * static_cast<std::size_t>(channels)];
        if ((a < 0) != (b < 0)) {
            if (crossings == 0)
                firstCross = f;
            lastCross = f;
            ++crossings;
        }
    }
    if (crossings < 2)
        return 0;
    return (crossings - 1) / 2.0 * rate / static_cast<double>(lastCross - firstCross);
}

TEST_F(DiskOutput, SpeedChangesTheDurationAndKeepsThePitch) {
    open("tone_3s_cbr_44100_stereo.mp3");
    EXPECT_NEAR(toneFrequency(reference_.samples, channels(), rate(), 0, reference_.frames()),
                440.0, 4.0);
    // 3 s of track: 2 s of sound at 1500, 6 s at 500; the tone stays at 440 Hz.
    for (const auto& [speed, seconds] : {std::pair{1500, 2.0}, std::pair{500, 6.0}}) {
        ok(service_, "set mp3 speed " + std::to_string(speed));
        const std::vector<float> out = playToEnd("play mp3 from 0");
        const Extent got = sound(out);
        EXPECT_NEAR(static_cast<double>(got.frames()), seconds * rate(), 0.01 * rate()) << speed;
        EXPECT_NEAR(toneFrequency(out, channels(), rate(), got.first, got.frames()), 440.0, 4.0)
            << speed;
        EXPECT_EQ(number(service_, "status mp3 position"), 3000) << speed;
        EXPECT_EQ(number(service_, "status mp3 length"), 3000) << speed;
    }
}

TEST_F(DiskOutput, PlayFrom2000StartsAtItsSample) {
    open("tone_3s_cbr_44100_stereo.mp3");
    const std::vector<float> out = playToEnd("play mp3 from 2000");
    const std::size_t start = 88200; // 2000 x 44100 / 1000
    const std::size_t rest = reference_.frames() - start;
    const Extent got = sound(out);
    EXPECT_EQ(got.frames(), rest);
    ASSERT_GE(out.size() / 2, got.first + rest);
    double worst = 0;
    for (std::size_t i = 0; i < rest * 2; ++i)
        worst = std::max(
            worst, std::fabs(double(out[got.first * 2 + i]) - reference_.samples[start * 2 + i]));
    EXPECT_LT(worst, 1e-4);
    // One frame off would differ by about 2 pi 440 / 44100 x amplitude: far above the bound.
}

// Files whose header does not tell the whole (joined chapters, a zero frame count, twice the
// frames there are): every sample the decoder gives is heard, the first length reply (the one
// the window keeps) is that of the samples heard, and the end-of-track test (position >= length)
// fires at the real end with the position equal to it, without a jump.
TEST_F(DiskOutput, WholeTrackIsHeardWhateverTheHeaderSays) {
    for (const char* name : {"joined_3x5s.mp3", "vbr_zero_count.mp3", "tagged/cbr_overcount.mp3",
                             "tagged/vbr_overcount.mp3"}) {
        ok(service_, "close all");
        open(name);
        const long length = number(service_, "status mp3 length");
        EXPECT_EQ(length, long{frameToMs(static_cast<std::int64_t>(reference_.frames()), rate())})
            << name;
        const std::vector<float> out = playToEnd("play mp3");
        EXPECT_EQ(sound(out).frames(), sound(reference_.samples).frames()) << name;
        EXPECT_EQ(number(service_, "status mp3 position"), length) << name;
        EXPECT_EQ(number(service_, "status mp3 length"), length) << name;
    }
}

// 5 s at 44.1 kHz then 5 s at 22.05 kHz in one file: all 10 s play at the device's rate, and
// the tone keeps its pitch in both halves.
TEST_F(DiskOutput, RateChangeInsideTheFilePlaysThroughAtTheRightSpeedAndPitch) {
    // Whatever libmpg123 would say about the change goes to stderr: catch it there.
    const std::string errPath = (dir_.path() / "stderr.txt").string();
    std::fflush(stderr);
    const int savedErr = ::dup(2);
    const int errFile = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(errFile, 2);
    ok(service_, "open " + fixture("rate_change.mp3") + " type MPEGVideo alias mp3");
    const std::vector<float> out = playToEnd("play mp3");
    std::fflush(stderr);
    ::dup2(savedErr, 2);
    ::close(savedErr);
    ::close(errFile);
    std::ifstream errIn(errPath);
    const std::string errText((std::istreambuf_iterator<char>(errIn)), {});
    EXPECT_EQ(errText.find("mpg123"), std::string::npos) << errText;
    EXPECT_EQ(errText.find("format"), std::string::npos) << errText;
    constexpr long kRate = 44100;
    constexpr int kChannels = 2;
    reference_.channels = kChannels; // sound() takes the channel count from the reference
    const Extent got = sound(out);
    EXPECT_NEAR(static_cast<double>(got.frames()) / kRate, 10.0, 0.15);
    const std::size_t half = 5 * kRate;
    EXPECT_NEAR(toneFrequency(out, kChannels, kRate, got.first, half), 440.0, 4.0);
    EXPECT_NEAR(toneFrequency(out, kChannels, kRate, got.first + half, half), 440.0, 4.0);
    const long length = number(service_, "status mp3 length");
    EXPECT_EQ(number(service_, "status mp3 position"), length);
    EXPECT_NEAR(length, 10000, 150);
}

} // namespace
} // namespace zr::media
