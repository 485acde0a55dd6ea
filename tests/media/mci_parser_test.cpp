#include "MciParser.h"

#include <gtest/gtest.h>

namespace zr::media {
namespace {

TEST(MciParser, PlayerCommandsParseToTheirEffects) {
    auto open = parseMciCommand("open file:///music/a%20b.mp3 type MPEGVideo alias mp3");
    ASSERT_EQ(open.error, kMciOk);
    EXPECT_EQ(open.command.verb, MciVerb::Open);
    EXPECT_EQ(open.command.file, "file:///music/a%20b.mp3");
    EXPECT_TRUE(open.command.fileIsUri);
    EXPECT_EQ(open.command.device, "mp3");

    auto from = parseMciCommand("play mp3 from 123456");
    ASSERT_EQ(from.error, kMciOk);
    EXPECT_EQ(from.command.from, 123456u);
    EXPECT_FALSE(from.command.to.has_value());

    auto volume = parseMciCommand("setaudio mp3 volume to 498");
    ASSERT_EQ(volume.error, kMciOk);
    EXPECT_EQ(volume.command.verb, MciVerb::SetAudio);
    EXPECT_EQ(volume.command.volume, 498u);

    auto speed = parseMciCommand("set mp3 speed 1500");
    ASSERT_EQ(speed.error, kMciOk);
    EXPECT_EQ(speed.command.setItem, SetItem::Speed);
    EXPECT_EQ(speed.command.speed, 1500u);

    EXPECT_EQ(parseMciCommand("set mp3 audio all off").command.setItem, SetItem::AudioOff);
    EXPECT_EQ(parseMciCommand("set mp3 audio all on").command.setItem, SetItem::AudioOn);
    EXPECT_EQ(parseMciCommand("status mp3 position").command.statusItem, StatusItem::Position);
    EXPECT_EQ(parseMciCommand("status mp3 length").command.statusItem, StatusItem::Length);
    auto closeAll = parseMciCommand("close all");
    ASSERT_EQ(closeAll.error, kMciOk);
    EXPECT_TRUE(closeAll.command.allDevices);
}

TEST(MciParser, KeywordsAndAliasesIgnoreCaseAndExtraBlanks) {
    auto r = parseMciCommand("  STATUS\tMp3   Time   FORMAT ");
    ASSERT_EQ(r.error, kMciOk);
    EXPECT_EQ(r.command.device, "mp3");
    EXPECT_EQ(r.command.statusItem, StatusItem::TimeFormat);
    auto seek = parseMciCommand("Seek A to END");
    ASSERT_EQ(seek.error, kMciOk);
    EXPECT_EQ(seek.command.seekTarget, SeekTarget::End);
}

TEST(MciParser, OpenTakesQuotedPathsAndPlainWords) {
    auto quoted = parseMciCommand(R"(open "/tmp/my song.mp3" alias x)");
    ASSERT_EQ(quoted.error, kMciOk);
    EXPECT_EQ(quoted.command.file, "/tmp/my song.mp3");
    EXPECT_FALSE(quoted.command.fileIsUri);

    auto plain = parseMciCommand("open song.mp3");
    ASSERT_EQ(plain.error, kMciOk);
    EXPECT_EQ(plain.command.file, "song.mp3");
    EXPECT_EQ(plain.command.device, "song.mp3"); // without alias the element names the device

    // An empty short path leaves no file in the command.
    EXPECT_EQ(parseMciCommand("open  type MPEGVideo alias mp3").error, kMciFileNotFound);
    EXPECT_EQ(parseMciCommand("open").error, kMciFileNotFound);
    EXPECT_EQ(parseMciCommand(R"(open "")").error, kMciFileNotFound);
    EXPECT_EQ(parseMciCommand(R"(open "" alias a)").error, kMciFileNotFound);
    EXPECT_EQ(parseMciCommand(R"(open a.mp3 alias "")").error, kMciUnknownCommand);
    EXPECT_EQ(parseMciCommand("open a.mp3 type waveaudio alias w").error, kMciUnsupported);
    EXPECT_EQ(parseMciCommand("open a.mp3 alias all").error, kMciAliasInUse);
    EXPECT_EQ(parseMciCommand("open a.mp3 alias").error, kMciUnknownCommand);
    EXPECT_EQ(parseMciCommand(R"(open "a.mp3 alias x)").error, kMciUnknownCommand);
}

struct Refused {
    const char* text;
    int error;
};

class MciParserRefuses : public ::testing::TestWithParam<Refused> {};

TEST_P(MciParserRefuses, WithItsOwnCode) {
    EXPECT_EQ(parseMciCommand(GetParam().text).error, GetParam().error) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    BadCommands, MciParserRefuses,
    ::testing::Values(
        Refused{"", kMciUnknownCommand}, Refused{"   ", kMciUnknownCommand},
        Refused{"jump mp3", kMciUnknownCommand}, Refused{"play", kMciUnknownCommand},
        Refused{"play mp3 fast", kMciUnknownCommand}, Refused{"status mp3", kMciUnknownCommand},
        Refused{"status mp3 colour", kMciUnknownCommand},
        Refused{"status mp3 length now", kMciUnknownCommand},
        Refused{"status all length", kMciUnknownAlias},
        Refused{"set mp3 time format tmsf", kMciUnsupported},
        Refused{"set mp3 time format fortnights", kMciUnknownCommand},
        Refused{"set mp3 audio left off", kMciUnknownCommand},
        Refused{"play mp3 from", kMciBadNumber}, Refused{"play mp3 from abc", kMciBadNumber},
        Refused{"play mp3 from -5", kMciBadNumber}, Refused{"play mp3 from 1.5", kMciBadNumber},
        Refused{"play mp3 from 2147483648", kMciBadNumber},
        Refused{"play mp3 from 99999999999999999999", kMciBadNumber},
        Refused{"play mp3 from 500 to 100", kMciBadNumber},
        Refused{"play mp3 from 1 from 2", kMciUnknownCommand},
        Refused{"setaudio mp3 volume to 1001", kMciBadNumber},
        Refused{"setaudio mp3 volume to", kMciBadNumber},
        Refused{"setaudio mp3 volume 5", kMciUnknownCommand},
        Refused{"set mp3 speed 0", kMciBadNumber}, Refused{"set mp3 speed 4001", kMciBadNumber},
        Refused{"seek mp3 to", kMciBadNumber}, Refused{"seek mp3 2000", kMciUnknownCommand},
        Refused{"pause mp3 now", kMciUnknownCommand}));

TEST(MciParser, NumbersAreDigitsWithinSignedRange) {
    EXPECT_EQ(parseMciNumber("0"), 0u);
    EXPECT_EQ(parseMciNumber("2147483647"), 2147483647u);
    EXPECT_FALSE(parseMciNumber("2147483648"));
    EXPECT_FALSE(parseMciNumber("+1"));
    EXPECT_FALSE(parseMciNumber(""));
    EXPECT_FALSE(parseMciNumber("12a"));
}

TEST(MciParser, NulEndsTheCommand) {
    const std::string text("status mp3 length\0 extra words", 30);
    EXPECT_EQ(parseMciCommand(text).error, kMciOk);
}

} // namespace
} // namespace zr::media
