// Measurements of the media service that need to be inside the process:
//   media_probe first-samples FILE CAPTURE RUNS  -> ms from "open" until the device's output holds
//                                                   sound (SDL disk driver, paced), per run
//   media_probe length FILE                      -> ms for open + "status length", and for a bare
//                                                   libmpg123 open + scan + length
//   media_probe length-answer FILE               -> ms for one "status length" right after open
//                                                   (worst of five), and for a full mpg123_scan
//   media_probe seek FILE CAPTURE MS...          -> per position: offset in frames between what the
//                                                   device plays after "play from MS" and the
//                                                   sample MS x rate / 1000 of a full decode
#include "MediaService.h"

#include <mpg123.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using zr::media::MediaService;

double msSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

bool captureHasSound(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    float block[1024];
    while (in.read(reinterpret_cast<char*>(block), sizeof block) || in.gcount() > 0) {
        const auto n = static_cast<std::size_t>(in.gcount()) / sizeof(float);
        for (std::size_t i = 0; i < n; ++i)
            if (block[i] != 0.0f)
                return true;
    }
    return false;
}

int firstSamples(const std::string& file, const std::string& capture, int runs) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
    MediaService service;
    for (int i = 0; i < runs; ++i) {
        std::remove(capture.c_str());
        const auto t0 = Clock::now();
        if (service.send("open \"" + file + "\" alias b") != 0)
            return 1;
        if (service.send("play b") != 0)
            return 1;
        double ms = -1;
        while (msSince(t0) < 1000) {
            if (captureHasSound(capture)) {
                ms = msSince(t0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        std::printf("%.2f\n", ms);
        (void)service.send("close b");
    }
    return 0;
}

// Best of five alternating rounds, so that neither side pays for a cold file cache alone.
int length(const std::string& file) {
    double serviceMs = 1e30;
    double bareMs = 1e30;
    std::string reply;
    long long frames = 0;
    for (int round = 0; round < 5; ++round) {
        {
            MediaService service;
            const auto t0 = Clock::now();
            if (service.send("open \"" + file + "\" alias l") != 0)
                return 1;
            if (service.send("status l length", &reply) != 0)
                return 1;
            serviceMs = std::min(serviceMs, msSince(t0));
        }
        const auto t0 = Clock::now();
        int err = 0;
        mpg123_handle* h = mpg123_new(nullptr, &err);
        mpg123_open(h, file.c_str());
        long rate = 0;
        int channels = 0;
        int enc = 0;
        mpg123_getformat(h, &rate, &channels, &enc);
        mpg123_scan(h);
        frames = static_cast<long long>(mpg123_length(h));
        bareMs = std::min(bareMs, msSince(t0));
        mpg123_delete(h);
    }
    std::printf("service_ms %.1f reply %s\nbare_scan_ms %.1f frames %lld\n", serviceMs,
                reply.c_str(), bareMs, frames);
    return 0;
}

// What the caller waits for "status length" on a long file that has no header, against what a
// full count of its frames takes.
int lengthAnswer(const std::string& file) {
    double worstMs = 0;
    std::string reply;
    for (int round = 0; round < 5; ++round) {
        MediaService service;
        if (service.send("open \"" + file + "\" alias l") != 0)
            return 1;
        const auto t0 = Clock::now();
        if (service.send("status l length", &reply) != 0)
            return 1;
        worstMs = std::max(worstMs, msSince(t0));
    }
    const auto t0 = Clock::now();
    int err = 0;
    mpg123_handle* h = mpg123_new(nullptr, &err);
    mpg123_open(h, file.c_str());
    mpg123_scan(h);
    const long long frames = static_cast<long long>(mpg123_length(h));
    const double scanMs = msSince(t0);
    mpg123_delete(h);
    std::printf("length_answer_ms %.3f reply %s\nfull_scan_ms %.1f frames %lld\n", worstMs,
                reply.c_str(), scanMs, frames);
    return 0;
}

std::vector<float> decodeAll(const std::string& file, long& rate, int& channels) {
    int err = 0;
    mpg123_handle* h = mpg123_new(nullptr, &err);
    mpg123_param(h, MPG123_FLAGS, MPG123_GAPLESS | MPG123_FORCE_FLOAT | MPG123_QUIET, 0.0);
    std::vector<float> out;
    if (mpg123_open(h, file.c_str()) == MPG123_OK) {
        int enc = 0;
        mpg123_getformat(h, &rate, &channels, &enc);
        std::vector<unsigned char> buf(1 << 16);
        for (;;) {
            std::size_t done = 0;
            const int rc = mpg123_read(h, buf.data(), buf.size(), &done);
            const auto* f = reinterpret_cast<const float*>(buf.data());
            out.insert(out.end(), f, f + done / sizeof(float));
            if (rc != MPG123_OK)
                break;
        }
    }
    mpg123_delete(h);
    return out;
}

int seek(const std::string& file, const std::string& capture, int argc, char** argv) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);
    setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
    long rate = 0;
    int channels = 0;
    const std::vector<float> ref = decodeAll(file, rate, channels);
    MediaService service(zr::media::DeviceOptions{2000, 2000});
    if (service.send("open \"" + file + "\" alias s") != 0)
        return 1;
    constexpr long kWindow = 4096;
    constexpr long kSearch = 200;
    for (int i = 0; i < argc; ++i) {
        const long ms = std::atol(argv[i]);
        if (service.send("play s from " + std::to_string(ms)) != 0)
            return 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        (void)service.send("stop s"); // closes the device: the capture is complete
        // Skip the silence the device may give while it starts.
        std::ifstream in(capture, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
        std::vector<float> all(bytes.size() / sizeof(float));
        std::memcpy(all.data(), bytes.data(), all.size() * sizeof(float));
        std::size_t first = 0;
        while (first < all.size() && all[first] == 0.0f)
            ++first;
        first -= first % static_cast<std::size_t>(channels);
        std::vector<float> out(static_cast<std::size_t>(kWindow * channels), 0.0f);
        std::copy_n(all.begin() + static_cast<long>(first),
                    std::min(out.size(), all.size() - first), out.begin());
        const long expected = ms * rate / 1000;
        long best = 0;
        double bestErr = 1e30;
        for (long d = -kSearch; d <= kSearch; ++d) {
            const long start = expected + d;
            if (start < 0 || (start + kWindow) * channels > static_cast<long>(ref.size()))
                continue;
            double e = 0;
            for (long k = 0; k < kWindow * channels; ++k)
                e += std::fabs(out[k] - ref[start * channels + k]);
            if (e < bestErr) {
                bestErr = e;
                best = d;
            }
        }
        std::printf("%ld %ld %.3g\n", ms, best, bestErr / (kWindow * channels));
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 5 && std::strcmp(argv[1], "first-samples") == 0)
        return firstSamples(argv[2], argv[3], std::atoi(argv[4]));
    if (argc == 3 && std::strcmp(argv[1], "length") == 0)
        return length(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "length-answer") == 0)
        return lengthAnswer(argv[2]);
    if (argc >= 5 && std::strcmp(argv[1], "seek") == 0)
        return seek(argv[2], argv[3], argc - 4, argv + 4);
    std::fprintf(stderr, "usage: see the head of media_probe.cpp\n");
    return 2;
}
