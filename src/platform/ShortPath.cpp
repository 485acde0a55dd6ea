#include "DriveTable.h"
#include "LongPath.h"
#include "mWinAPI.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

namespace mWinAPI {

namespace {

// Percent-encodes every byte but the unreserved ones and "/", so the result is one word that
// no command parser can split or read as a keyword, and any byte sequence survives.
[[nodiscard]] std::string PercentEncode(const char* path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char* p = path; *p != '\0'; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~' ||
                          c == '/';
        if (keep) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0x0F]);
        }
    }
    return out;
}

// The absolute path of an existing file: symlink-free where realpath can resolve it; for a
// path too long for that (realpath stops at PATH_MAX), the path as named, made absolute, once
// the file is known to exist. Nothing when the file does not exist.
[[nodiscard]] std::optional<std::string> AbsolutePath(const std::string& path) {
    const std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr),
                                                               &std::free);
    if (resolved) {
        return std::string(resolved.get());
    }
    if (errno != ENAMETOOLONG || !OpenAtAnyLength(path, O_PATH).valid()) {
        return std::nullopt;
    }
    if (path.front() == '/') {
        return path;
    }
    const std::unique_ptr<char, decltype(&std::free)> cwd(getcwd(nullptr, 0), &std::free);
    if (!cwd) {
        return std::nullopt;
    }
    std::string folder = cwd.get();
    if (folder.back() != '/') {
        folder.push_back('/');
    }
    return folder + path;
}

void WriteEmpty(char* buffer, unsigned length) {
    if (buffer != nullptr && length > 0) {
        buffer[0] = '\0';
    }
}

} // namespace

unsigned GetShortPathNameA(const char* longPath, char* shortPath, unsigned length) {
    if (longPath == nullptr || *longPath == '\0') {
        WriteEmpty(shortPath, length);
        return 0;
    }
    const auto local = ToLocalPath(longPath);
    if (!local || local->empty()) {
        WriteEmpty(shortPath, length);
        return 0;
    }
    const auto absolute = AbsolutePath(*local);
    if (!absolute) {
        WriteEmpty(shortPath, length);
        return 0;
    }
    const std::string uri = "file://" + PercentEncode(absolute->c_str());
    if (shortPath == nullptr || uri.size() >= length) {
        WriteEmpty(shortPath, length);
        return static_cast<unsigned>(uri.size() + 1);
    }
    std::memcpy(shortPath, uri.c_str(), uri.size() + 1);
    return static_cast<unsigned>(uri.size());
}

} // namespace mWinAPI
