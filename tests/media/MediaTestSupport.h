#pragma once
// Helpers for the media service tests: fixture paths, bounded waits, a reference decode.

#include "MediaService.h"
#include "TempDir.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
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
// Whether "mp3" comes to a stop within 20 s (a track plays to its end, or ends on a fault).
bool waitStopped(MediaService& service);

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

// Tracks whose reads stall, as on a vanished share: the real file is opened, then a pipe takes
// the place of its descriptor, so once the decoder has used what it buffered, its next read
// waits until release(). With Then::Zeros the pipe gives zeros instead, for ever (until
// release()), as the gigabytes past the audio of a huge sparse file do.
class StalledReads {
public:
    enum class Then { Nothing, Zeros };
    explicit StalledReads(Then then = Then::Nothing);
    ~StalledReads(); // releases, then closes the pipe
    StalledReads(const StalledReads&) = delete;
    StalledReads& operator=(const StalledReads&) = delete;
    // For MediaService(options, preparer()).
    [[nodiscard]] MediaService::TrackPreparer preparer() const;
    void release(); // the stalled reads end (end of file)
    // Bytes of zeros the pipe has taken so far (Then::Zeros).
    [[nodiscard]] std::uint64_t zerosGiven() const { return given_.load(); }

private:
    int readEnd_ = -1;
    int writeEnd_ = -1;
    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> given_{0};
    std::thread zeros_;
};

// Opens whose first read blocks in the kernel, as on a disk that has spun down: the open does
// not go on until release(), then opens the real file.
class StalledOpens {
public:
    StalledOpens();
    ~StalledOpens(); // releases, and waits until every stalled open has finished
    StalledOpens(const StalledOpens&) = delete;
    StalledOpens& operator=(const StalledOpens&) = delete;
    // For MediaService(options, preparer()).
    [[nodiscard]] MediaService::TrackPreparer preparer() const;
    void release();

private:
    struct State;
    std::shared_ptr<State> state_;
};

// Options under which "open" answers only once the file has opened or failed, however slow the
// machine (sanitizers): for tests of what a file's open answers.
[[nodiscard]] DeviceOptions patient();

using zr::test::TempDir;

} // namespace zr::media::test
