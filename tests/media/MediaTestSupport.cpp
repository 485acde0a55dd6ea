#include "MediaTestSupport.h"

#include "Fixtures.h"
#include "MpegDevice.h"
#include "Mpg123Decoder.h"

#include <gtest/gtest.h>
#include <mpg123.h>

#include <condition_variable>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <random>
#include <thread>
#include <unistd.h>

namespace zr::media::test {

std::string fixture(const std::string& name) {
    return zr::test::fixturePath(name);
}

bool waitUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::string ok(MediaService& service, const std::string& command) {
    std::string reply;
    const int code = service.send(command, &reply);
    EXPECT_EQ(code, kMciOk) << command;
    return reply;
}

bool waitStopped(MediaService& service) {
    return waitUntil([&] { return ok(service, "status mp3 mode") == "stopped"; },
                     std::chrono::seconds(20));
}

long number(MediaService& service, const std::string& command) {
    std::string text = "0"; // an empty reply reads as 0
    text += ok(service, command);
    return std::stol(text);
}

Pcm decodeReference(const std::string& path) {
    Pcm pcm;
    int err = 0;
    mpg123_handle* h = mpg123_new(nullptr, &err);
    mpg123_param(h, MPG123_FLAGS, MPG123_GAPLESS | MPG123_FORCE_FLOAT | MPG123_QUIET, 0.0);
    mpg123_param(h, MPG123_RESYNC_LIMIT, 65536, 0.0);
    if (mpg123_open(h, path.c_str()) == MPG123_OK) {
        int enc = 0;
        mpg123_getformat(h, &pcm.rate, &pcm.channels, &enc);
        std::vector<unsigned char> buf(65536);
        for (;;) {
            std::size_t done = 0;
            const int rc = mpg123_read(h, buf.data(), buf.size(), &done);
            const auto* f = reinterpret_cast<const float*>(buf.data());
            pcm.samples.insert(pcm.samples.end(), f, f + done / sizeof(float));
            if (rc != MPG123_OK && rc != MPG123_NEW_FORMAT)
                break;
        }
    }
    mpg123_delete(h);
    return pcm;
}

StalledReads::StalledReads(Then then) {
    int fds[2];
    if (::pipe(fds) == 0) {
        readEnd_ = fds[0];
        writeEnd_ = fds[1];
    }
    EXPECT_GE(readEnd_, 0) << "no pipe";
    // The writer must not block on a full pipe: release() stops it whatever the reader does.
    if (then == Then::Zeros && writeEnd_ >= 0 && ::fcntl(writeEnd_, F_SETFL, O_NONBLOCK) == 0) {
        zeros_ = std::thread([this] {
            static const char nothing[65536] = {};
            while (!stop_.load()) {
                const ssize_t wrote = ::write(writeEnd_, nothing, sizeof nothing);
                if (wrote > 0)
                    given_ += static_cast<std::uint64_t>(wrote);
                else
                    std::this_thread::sleep_for(std::chrono::milliseconds(1)); // full
            }
        });
    }
}

StalledReads::~StalledReads() {
    release();
    if (readEnd_ >= 0)
        ::close(readEnd_);
}

MediaService::TrackPreparer StalledReads::preparer() const {
    return [stall = readEnd_](const std::string& path, OpenedTrack& track) {
        const int result = MpegDevice::prepare(path, track);
        if (result == kMciOk)
            ::dup2(stall, track.decoder->fd());
        return result;
    };
}

void StalledReads::release() {
    stop_ = true;
    if (zeros_.joinable())
        zeros_.join();
    if (writeEnd_ >= 0)
        ::close(writeEnd_);
    writeEnd_ = -1;
}

struct StalledOpens::State {
    std::mutex mutex;
    std::condition_variable changed;
    bool released = false;
    int running = 0;
};

StalledOpens::StalledOpens() : state_(std::make_shared<State>()) {}

StalledOpens::~StalledOpens() {
    release();
    std::unique_lock lock(state_->mutex);
    state_->changed.wait(lock, [&] { return state_->running == 0; });
}

MediaService::TrackPreparer StalledOpens::preparer() const {
    return [state = state_](const std::string& path, OpenedTrack& track) {
        std::unique_lock lock(state->mutex);
        ++state->running;
        state->changed.wait(lock, [&] { return state->released; });
        lock.unlock();
        const int result = MpegDevice::prepare(path, track);
        lock.lock();
        --state->running;
        state->changed.notify_all();
        return result;
    };
}

void StalledOpens::release() {
    const std::lock_guard lock(state_->mutex);
    state_->released = true;
    state_->changed.notify_all();
}

DeviceOptions patient() {
    DeviceOptions options;
    options.openWaitMs = 600000;
    return options;
}

} // namespace zr::media::test
