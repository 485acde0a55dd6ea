// Measurements of the media service that need to be inside the process:
//   media_probe first-samples FILE CAPTURE RUNS  -> ms from "open" until the device's output holds
//                                                   sound (SDL disk driver, unpaced: it takes
//                                                   what it is given at once), per run
//   media_probe length FILE                      -> ms for open + "status length", and for a bare
//                                                   libmpg123 open + scan + length
//   media_probe length-answer FILE               -> ms for one "status length" right after open
//                                                   (worst of five), and for a full mpg123_scan
//   media_probe seek FILE CAPTURE MS...          -> per position, from stopped and while playing:
//                                                   offset in frames between what the device
//                                                   played after "play from MS" and the frame
//                                                   MS x rate / 1000 of a full decode
//   media_probe seek-wrong-by W FILE CAPTURE MS... -> the same, asking for MS + W: must report
//                                                   W x rate / 1000 frames (the probe's self-check)
#include "MediaService.h"

#include <mpg123.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
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
    setenv("SDL_DISKAUDIODELAY", "0", 1);
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

std::vector<float> readFloats(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<float> out(bytes.size() / sizeof(float));
    std::memcpy(out.data(), bytes.data(), out.size() * sizeof(float));
    return out;
}

// Frames compared, and how far from the expected frame the played sound is looked for.
constexpr long kWindow = 4096;
constexpr long kSearch = 44100;
// Samples closer than this are the same sample (what the device plays is the decoder's output
// unchanged at volume 1000 and speed 1000; this only forgives rounding).
constexpr float kSame = 1e-4f;

struct Match {
    bool found = false;
    long offset = 0; // frames: what was played starts at reference frame expected + offset
    long at = 0;     // frame of the capture where it starts
    float maxDiff = 0;
};

// The first place in the capture where kWindow frames equal the reference from a frame within
// kSearch of `expected`. Whatever the device played before (silence while it started, or
// another part of the track before a seek) matches nothing there, so it is passed over.
Match findInCapture(const std::vector<float>& cap, const std::vector<float>& ref, int channels,
                    long expected) {
    const long refFrames = static_cast<long>(ref.size()) / channels;
    const long capFrames = static_cast<long>(cap.size()) / channels;
    // Candidate reference frames, sorted by their first sample, for a lookup per capture frame.
    std::vector<std::pair<float, long>> starts;
    for (long i = std::max(0L, expected - kSearch);
         i <= std::min(refFrames - kWindow, expected + kSearch); ++i)
        starts.emplace_back(ref[static_cast<std::size_t>(i * channels)], i);
    std::sort(starts.begin(), starts.end());
    for (long c = 0; c + kWindow <= capFrames; ++c) {
        const float v = cap[static_cast<std::size_t>(c * channels)];
        auto it = std::lower_bound(starts.begin(), starts.end(), std::make_pair(v - kSame, -1L));
        for (; it != starts.end() && it->first <= v + kSame; ++it) {
            const float* a = cap.data() + c * channels;
            const float* b = ref.data() + it->second * channels;
            float worst = 0;
            long k = 0;
            for (; k < kWindow * channels; ++k) {
                worst = std::max(worst, std::fabs(a[k] - b[k]));
                if (worst > kSame)
                    break;
            }
            if (k == kWindow * channels)
                return {true, it->second - expected, c, worst};
        }
    }
    return {};
}

// Polls the position until it is past `ms` + played (and not still at an earlier start far
// away), so that the device has played out what is compared. False after 10 s.
bool waitPlayedPast(MediaService& service, long ms, long played) {
    const auto t0 = Clock::now();
    std::string reply;
    while (msSince(t0) < 10000) {
        if (service.send("status s position", &reply) != 0)
            return false;
        const long pos = std::atol(reply.c_str());
        if (pos >= ms + played && pos < ms + 5000)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// For each position N: "play from N" on a stopped device, and "play from N" while the device
// plays another part of the track (20 s away). The device is the SDL disk driver at its own
// pace; the capture is read only after "close", which returns once the output is closed and
// the file complete. `wrongMs` is added to what is asked for, not to what is expected: a
// deliberately wrong seek, which the probe must see as wrongMs x rate / 1000 frames.
int seek(const std::string& file, const std::string& capture, long wrongMs, int argc, char** argv) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    unsetenv("SDL_DISKAUDIODELAY"); // paced like a sound card: the decoder keeps ahead
    setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
    long rate = 0;
    int channels = 0;
    const std::vector<float> ref = decodeAll(file, rate, channels);
    if (ref.empty() || channels <= 0) {
        std::fprintf(stderr, "cannot decode %s\n", file.c_str());
        return 1;
    }
    std::printf("rate %ld channels %d wrong_ms %ld\n", rate, channels, wrongMs);
    const long trackMs = static_cast<long>(ref.size()) / channels * 1000 / rate;
    MediaService service;
    for (int i = 0; i < argc; ++i) {
        const long ms = std::atol(argv[i]);
        for (const bool whilePlaying : {false, true}) {
            std::remove(capture.c_str());
            if (service.send("open \"" + file + "\" alias s") != 0)
                return 1;
            bool ok = true;
            if (whilePlaying) {
                const long other = ms + 20000 < trackMs ? ms + 20000 : ms - 20000;
                ok = service.send("play s from " + std::to_string(other)) == 0 &&
                     waitPlayedPast(service, other, 300);
            }
            ok = ok && service.send("play s from " + std::to_string(ms + wrongMs)) == 0 &&
                 waitPlayedPast(service, ms + wrongMs, 250);
            (void)service.send("close s");
            const char* mode = whilePlaying ? "while_playing" : "from_stopped";
            if (!ok) {
                std::printf("%s %ld offset none (did not play past it)\n", mode, ms);
                continue;
            }
            const Match m = findInCapture(readFloats(capture), ref, channels, ms * rate / 1000);
            if (m.found)
                std::printf("%s %ld offset %ld at %ld max_diff %.3g\n", mode, ms, m.offset, m.at,
                            static_cast<double>(m.maxDiff));
            else
                std::printf("%s %ld offset none (no match within %ld frames)\n", mode, ms, kSearch);
            std::fflush(stdout);
        }
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
        return seek(argv[2], argv[3], 0, argc - 4, argv + 4);
    if (argc >= 6 && std::strcmp(argv[1], "seek-wrong-by") == 0)
        return seek(argv[3], argv[4], std::atol(argv[2]), argc - 5, argv + 5);
    std::fprintf(stderr, "usage: see the head of media_probe.cpp\n");
    return 2;
}
