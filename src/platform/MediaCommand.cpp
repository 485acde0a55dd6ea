#include "mWinAPI.h"

#include "MediaService.h"

int mWinAPI::mciSendStringA(const char* command, char* returnString, unsigned returnLength,
                            void* /*hwndCallback*/) {
    return zr::media::processMediaService().send(command, returnString, returnLength);
}
