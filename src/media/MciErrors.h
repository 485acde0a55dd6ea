#pragma once
// Result codes of mWinAPI::mciSendStringA and zr::media::MediaService::send. 0 is success; every
// kind of failure has its own nonzero code so callers and tests can tell them apart.

namespace zr::media {

enum MciError : int {
    kMciOk = 0,
    kMciAliasInUse = 257,     // open with an alias that is already open (or reserved: "all")
    kMciUnknownAlias = 258,   // no device is open under that alias
    kMciUnknownCommand = 259, // unknown verb or keyword, or a command with missing parts
    kMciFileNotFound = 260,   // open names no readable regular file (or no file at all)
    kMciCannotDecode = 261,   // the file holds no decodable MPEG audio
    kMciBadNumber = 262,      // missing, non-numeric or out-of-range number
    kMciReplyTooLong = 263,   // the reply does not fit the buffer given; nothing was written
    kMciUnsupported = 264,    // a known setting this service refuses (time format tmsf, type)
};

// A short English name for a code, for tools and logs ("alias in use", ...).
[[nodiscard]] const char* mciErrorName(int code);

} // namespace zr::media
