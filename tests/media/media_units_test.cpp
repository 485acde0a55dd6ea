// The plain functions of the service: file URIs, the volume curve, track-time arithmetic.
#include "FileUri.h"
#include "PlaybackClock.h"
#include "Utf8.h"
#include "VolumeCurve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

namespace zr::media {
namespace {

// The short path form decoded to a local absolute path; anything else is refused.
TEST(FileUri, DecodesLocalAbsolutePathsAndRefusesTheRest) {
    const std::pair<const char*, std::optional<std::string>> table[] = {
        {"file:///home/u/My%20Music/a%25b.mp3", "/home/u/My Music/a%b.mp3"},
        {"file://localhost/x/y.mp3", "/x/y.mp3"},
        {"FILE:/x/y.mp3", "/x/y.mp3"},
        {"file:///a/%C3%A9t%C3%A9.mp3", "/a/\xC3\xA9t\xC3\xA9.mp3"},
        {"file:///a/b%3Fc%23d.mp3", "/a/b?c#d.mp3"},
        {"file://server/share/a.mp3", std::nullopt},
        {"file://localhostx/a.mp3", std::nullopt},
        {"file:relative.mp3", std::nullopt},
        {"http:///a.mp3", std::nullopt},
        {"file:///a%2", std::nullopt},
        {"file:///a%zz.mp3", std::nullopt},
        {"file:///a%00.mp3", std::nullopt},
        {"file://", std::nullopt},
    };
    for (const auto& [uri, path] : table) {
        EXPECT_EQ(pathFromFileUri(uri), path) << uri;
    }
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
        EXPECT_EQ(fs::validUtf8(c.bytes), c.text) << c.bytes;
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

// Frames round down, milliseconds up (so a position comes back as the frame it names), an hour
// does not overflow, and the sound heard is what the device took minus what it still queues.
TEST(PlaybackClock, FramesMillisecondsAndTheSoundingFrame) {
    const struct {
        std::uint32_t ms;
        long rate;
        std::int64_t frame;
    } toFrame[] = {{2000, 44100, 88200}, {1, 44100, 44},      {1, 22050, 22},
                   {0, 44100, 0},        {999, 44100, 44055}, {123457, 44100, 5444453}};
    for (const auto& row : toFrame) {
        EXPECT_EQ(msToFrame(row.ms, row.rate), row.frame) << row.ms;
        EXPECT_EQ(frameToMs(row.frame, row.rate), row.ms) << row.ms; // the round trip
    }
    const struct {
        std::int64_t frame;
        long rate;
        std::uint32_t ms;
    } toMs[] = {{44100, 44100, 1000}, {46080, 44100, 1045}, {44099, 44100, 1000},
                {44055, 44100, 999},  {-5, 44100, 0},       {3600LL * 48000, 48000, 3600000}};
    for (const auto& row : toMs) {
        EXPECT_EQ(frameToMs(row.frame, row.rate), row.ms) << row.frame;
    }
    const struct {
        std::int64_t consumed, queued, start, sounding;
    } heard[] = {
        {10000, 512, 0, 9488},
        {88200 + 300, 512, 88200, 88200}, // just after play from 2000
        {5000, 0, 0, 5000},               // nothing queued: all heard
    };
    for (const auto& row : heard) {
        EXPECT_EQ(soundingFrame(row.consumed, row.queued, row.start), row.sounding) << row.consumed;
    }
}

} // namespace
} // namespace zr::media
