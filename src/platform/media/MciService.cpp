#include "MciErrors.h"
#include "mWinAPI.h"

int mWinAPI::mciSendStringA(const char*, char*, unsigned, void*) {
    return zr::media::kMciUnknownCommand;
}
