#include "mWinAPI.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

namespace mWinAPI {

bool GetComputerNameA(char* buffer, std::uint32_t* size) {
    if (buffer == nullptr || size == nullptr || *size == 0) {
        return false;
    }
    char host[HOST_NAME_MAX + 1] = {};
    std::string name;
    if (gethostname(host, sizeof host - 1) == 0) {
        name = host; // the array's last byte stays NUL even if the name was cut
    }
    if (name.empty()) {
        name = "localhost";
    }
    std::size_t n = std::min<std::size_t>(name.size(), *size - 1);
    // Never cut inside a UTF-8 sequence: back up over continuation bytes.
    while (n > 0 && n < name.size() && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) {
        --n;
    }
    std::memcpy(buffer, name.data(), n);
    buffer[n] = '\0';
    *size = static_cast<std::uint32_t>(n);
    return true;
}

} // namespace mWinAPI
