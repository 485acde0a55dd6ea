#pragma once
// Helpers for the media service tests: fixture paths, bounded waits, a reference decode.

#include "MediaService.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace zr::media::test {

// <ZR_TEST_FIXTURES>/<name>
std::string fixture(const std::string& name);

// Polls until pred() holds or the timeout passes; returns whether it held.
bool waitUntil(const std::function<bool()>& pred,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Sends a command that must succeed and returns its reply.
std::string ok(MediaService& service, const std::string& command);
// The numeric reply of a status command that must succeed.
long number(MediaService& service, const std::string& command);

struct Pcm {
    long rate = 0;
    int channels = 0;
    std::vector<float> samples; // interleaved
    [[nodiscard]] std::size_t frames() const {
        return channels ? samples.size() / static_cast<std::size_t>(channels) : 0;
    }
};

// The whole file decoded by libmpg123 directly (gapless), as a reference.
Pcm decodeReference(const std::string& path);

// A fresh empty folder under the system's temporary folder, removed by the destructor.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    [[nodiscard]] const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

} // namespace zr::media::test
