#pragma once
// Result codes of mWinAPI::mciSendStringA. 0 is success; every failure has its own nonzero code.

namespace zr::media {

enum MciError : int {
    kMciOk = 0,
    kMciAliasInUse = 257,      // open with an alias that is already open
    kMciUnknownAlias = 258,    // no device is open under that alias
    kMciUnknownCommand = 259,  // unknown verb or keyword, or a malformed command
    kMciFileNotFound = 260,    // the file named by open does not exist or cannot be read
    kMciCannotDecode = 261,    // the file holds no decodable MPEG audio
    kMciBadNumber = 262,       // missing, non-numeric or out-of-range number
    kMciReplyTooLong = 263,    // the reply does not fit the buffer given
    kMciNoDevice = 264,        // the audio output could not be started at all
};

} // namespace zr::media
