// The plain functions of the service: file URIs, the volume curve, track-time arithmetic.
#include "FileUri.h"
#include "PlaybackClock.h"
#include "ValidUtf8.h"
#include "VolumeCurve.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zr::media {
namespace {

TEST(FileUri, DecodesTheShortPathForm) {
    EXPECT_EQ(pathFromFileUri("file:///home/u/My%20Music/a%25b.mp3"), "/home/u/My Music/a%b.mp3");
    EXPECT_EQ(pathFromFileUri("file://localhost/x/y.mp3"), "/x/y.mp3");
    EXPECT_EQ(pathFromFileUri("FILE:/x/y.mp3"), "/x/y.mp3");
    EXPECT_EQ(pathFromFileUri("file:///a/%C3%A9t%C3%A9.mp3"), "/a/\xC3\xA9t\xC3\xA9.mp3");
    EXPECT_EQ(pathFromFileUri("file:///a/b%3Fc%23d.mp3"), "/a/b?c#d.mp3");
}

TEST(FileUri, RefusesWhatIsNotALocalAbsolutePath) {
    EXPECT_FALSE(pathFromFileUri("file://server/share/a.mp3"));
    EXPECT_FALSE(pathFromFileUri("file://localhostx/a.mp3"));
    EXPECT_FALSE(pathFromFileUri("file:relative.mp3"));
    EXPECT_FALSE(pathFromFileUri("http:///a.mp3"));
    EXPECT_FALSE(pathFromFileUri("file:///a%2"));
    EXPECT_FALSE(pathFromFileUri("file:///a%zz.mp3"));
    EXPECT_FALSE(pathFromFileUri("file:///a%00.mp3"));
    EXPECT_FALSE(pathFromFileUri("file://"));
}

// What the sound server is given as a stream's name, from the file name's bytes: the text the
// player's windows show, one U+FFFD for each byte that does not begin a valid sequence.
TEST(ValidUtf8, KeepsValidSequencesAndNamesEachOtherByteReplacement) {
    const std::string r = "\xEF\xBF\xBD"; // U+FFFD
    const struct {
        std::string bytes;
        std::string text;
    } cases[] = {
        {"tone.mp3", "tone.mp3"},
        {"caf\xC3\xA9.mp3", "caf\xC3\xA9.mp3"},           // UTF-8 é
        {"\xF0\x9F\x8E\xB5.mp3", "\xF0\x9F\x8E\xB5.mp3"}, // U+1F3B5
        {"caf\xE9.mp3", "caf" + r + ".mp3"},              // Latin-1 é
        {"a\xE2\x82", "a" + r + r},                       // cut short
        {"\xC0\xAF", r + r},                              // overlong "/"
        {"\xED\xA0\x80", r + r + r},                      // a surrogate
        {"\xF4\x90\x80\x80", r + r + r + r},              // above U+10FFFF
        {"\x80x", r + "x"},                               // a lone continuation byte
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(validUtf8(c.bytes), c.text) << c.bytes;
}

TEST(VolumeCurve, CubeLawFromSilenceToUnity) {
    EXPECT_EQ(gainForVolume(0), 0.0f);
    EXPECT_EQ(gainForVolume(1000), 1.0f);
    EXPECT_EQ(gainForVolume(5000), 1.0f);
    // The documented points, in dB.
    EXPECT_NEAR(20 * std::log10(gainForVolume(498)), -18.17, 0.01);
    EXPECT_NEAR(20 * std::log10(gainForVolume(794)), -6.01, 0.01);
    EXPECT_NEAR(20 * std::log10(gainForVolume(166)), -46.80, 0.01);
    // Every step of the player's six volume steps is audible and in order.
    float previous = 0.0f;
    for (unsigned v = 166; v <= 996; v += 166) {
        EXPECT_GT(gainForVolume(v), previous) << v;
        previous = gainForVolume(v);
    }
}

TEST(PlaybackClock, FramesRoundDownAndMillisecondsRoundUp) {
    EXPECT_EQ(msToFrame(2000, 44100), 88200);
    EXPECT_EQ(msToFrame(1, 44100), 44);
    EXPECT_EQ(msToFrame(1, 22050), 22);
    EXPECT_EQ(frameToMs(44100, 44100), 1000u);
    EXPECT_EQ(frameToMs(46080, 44100), 1045u);
    EXPECT_EQ(frameToMs(44099, 44100), 1000u);
    EXPECT_EQ(frameToMs(44055, 44100), 999u);
    EXPECT_EQ(frameToMs(-5, 44100), 0u);
    // An hour-long track's frames do not overflow.
    EXPECT_EQ(frameToMs(3600LL * 48000, 48000), 3600000u);
    // A position round-trips to the frame it names and back.
    for (unsigned ms : {0u, 1u, 999u, 2000u, 123457u})
        EXPECT_EQ(frameToMs(msToFrame(ms, 44100), 44100), ms);
}

TEST(PlaybackClock, SoundingFrameIsConsumedMinusQueued) {
    EXPECT_EQ(soundingFrame(10000, 512, 0), 9488);
    EXPECT_EQ(soundingFrame(88200 + 300, 512, 88200), 88200); // just after play from 2000
    EXPECT_EQ(soundingFrame(5000, 0, 0), 5000);               // nothing queued: all heard
}

TEST(PlaybackClock, PositionFollowsTheModeAndNeverPassesTheLength) {
    ClockState s;
    s.rate = 44100;
    s.lengthFrames = 132300;
    s.mode = DeviceMode::Playing;
    s.soundingFrame = 44100;
    s.heldFrame = 999;
    EXPECT_EQ(positionMs(s), 1000u);
    s.soundingFrame = 140000;
    EXPECT_EQ(positionMs(s), 3000u);
    s.mode = DeviceMode::Paused;
    s.heldFrame = 66150;
    EXPECT_EQ(positionMs(s), 1500u);
    s.mode = DeviceMode::Stopped;
    s.heldFrame = 132300;
    EXPECT_EQ(positionMs(s), 3000u);
    s.lengthFrames = -1; // not known yet: no clamp
    s.heldFrame = 200000;
    EXPECT_EQ(positionMs(s), 4536u);
}

} // namespace
} // namespace zr::media
