#pragma once
// Helpers for the media service tests: fixture paths, bounded waits, a reference decode.

#include "MediaService.h"
#include "TempDir.h"

#include <chrono>
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

// Tracks whose reads stall, as on a vanished share: the real file is opened, then a pipe that
// nobody writes takes the place of its descriptor, so once the decoder has used what it
// buffered, its next read waits until release().
class StalledReads {
public:
    StalledReads();
    ~StalledReads(); // releases, then closes the pipe
    StalledReads(const StalledReads&) = delete;
    StalledReads& operator=(const StalledReads&) = delete;
    // For MediaService(options, preparer()).
    [[nodiscard]] MediaService::TrackPreparer preparer() const;
    void release(); // the stalled reads end (end of file)

private:
    int readEnd_ = -1;
    int writeEnd_ = -1;
};

using zr::test::TempDir;

} // namespace zr::media::test
