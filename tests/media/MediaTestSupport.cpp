#include "MediaTestSupport.h"

#include "MpegDevice.h"
#include "Mpg123Decoder.h"

#include <gtest/gtest.h>
#include <mpg123.h>

#include <cstdlib>
#include <thread>
#include <unistd.h>

namespace zr::media::test {

std::string fixture(const std::string& name) {
    const char* dir = std::getenv("ZR_TEST_FIXTURES");
    return std::string(dir ? dir : "fixtures") + "/" + name;
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

long number(MediaService& service, const std::string& command) {
    return std::stol("0" + ok(service, command));
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

StalledReads::StalledReads() {
    int fds[2];
    if (::pipe(fds) == 0) {
        readEnd_ = fds[0];
        writeEnd_ = fds[1];
    }
    EXPECT_GE(readEnd_, 0) << "no pipe";
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
    if (writeEnd_ >= 0)
        ::close(writeEnd_);
    writeEnd_ = -1;
}

} // namespace zr::media::test
