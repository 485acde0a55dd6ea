#pragma once
// The command language of the media control service, parsed into a plain value. Parsing checks
// everything that can be checked without a device: verbs, keywords, numbers and their fixed
// ranges. Whether an alias is open, or a position lies inside the track, is the service's affair.
//
// Grammar: a verb, a device (an alias; "all" only for close), then keywords and values. Verbs and
// keywords are case-insensitive; blanks and tabs separate words; a double-quoted word may hold
// blanks. Numbers are plain decimal digits.

#include "MciErrors.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zr::media {

enum class MciVerb { Open, Close, Play, Pause, Resume, Stop, Seek, Set, SetAudio, Status };

enum class StatusItem { Length, Position, Mode, Volume, Speed, TimeFormat };

enum class SeekTarget { Position, Start, End };

enum class SetItem { TimeFormatMs, Speed, AudioOn, AudioOff };

inline constexpr std::uint32_t kMaxVolume = 1000;
// Speeds in thousandths of normal speed; the tempo stage keeps the pitch over this range.
inline constexpr std::uint32_t kMinSpeed = 100;
inline constexpr std::uint32_t kMaxSpeed = 4000;

struct MciCommand {
    MciVerb verb = MciVerb::Status;
    std::string device;      // alias, lower case; empty with allDevices
    bool allDevices = false; // "close all"

    // open
    std::string file; // as written: a file:// URI, a quoted path (quotes removed) or a word
    bool fileIsUri = false;

    // play
    std::optional<std::uint32_t> from;
    std::optional<std::uint32_t> to;

    // seek
    SeekTarget seekTarget = SeekTarget::Start;
    std::uint32_t seekPosition = 0;

    // set / setaudio
    SetItem setItem = SetItem::TimeFormatMs;
    std::uint32_t speed = 1000;
    std::uint32_t volume = 0;

    // status
    StatusItem statusItem = StatusItem::Length;
};

struct MciParseResult {
    int error = kMciOk; // kMciOk when command is valid
    MciCommand command;
};

struct MciToken {
    std::string text;
    bool quoted = false;
};

// Splits a command into words. Empty result when a quote is left open.
[[nodiscard]] std::optional<std::vector<MciToken>> tokenizeMciCommand(std::string_view text);

// Reads a plain decimal number (digits only, at most 2^31 - 1).
[[nodiscard]] std::optional<std::uint32_t> parseMciNumber(std::string_view text);

[[nodiscard]] MciParseResult parseMciCommand(std::string_view text);

} // namespace zr::media
