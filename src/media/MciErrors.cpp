#include "MciErrors.h"

namespace zr::media {

const char* mciErrorName(int code) {
    switch (code) {
    case kMciOk:
        return "ok";
    case kMciAliasInUse:
        return "alias in use";
    case kMciUnknownAlias:
        return "unknown alias";
    case kMciUnknownCommand:
        return "unknown command";
    case kMciFileNotFound:
        return "file not found";
    case kMciCannotDecode:
        return "cannot decode";
    case kMciBadNumber:
        return "bad number";
    case kMciReplyTooLong:
        return "reply does not fit";
    case kMciUnsupported:
        return "unsupported";
    default:
        return "unknown error";
    }
}

} // namespace zr::media
