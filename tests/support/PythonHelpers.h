#pragma once
// The C++ tests' handles on the Python helpers beside this file, so that a private sound server,
// its recording and the tone analysis are written once for every test, end-to-end run, tool
// test and benchmark: pulseserver.py runs the server and records it, toneanalysis.py finds a
// tone's start, end and gaps.

#include "TempDir.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace zr::test {

// A private PulseAudio (pulseserver.py --serve) for this process: while it lives, this process's
// clients (SDL and our own stream included) are pointed at it and no other. The helper and its
// server die with this process, whatever happens.
class PulseServer {
public:
    static constexpr int kRate = 44100;
    static constexpr int kChannels = 2;
    static constexpr const char* kSink = "zr_sink";

    [[nodiscard]] static bool installed();

    // Starts the server and waits until it answers; error() says why when it did not.
    PulseServer();
    ~PulseServer();
    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;

    [[nodiscard]] bool ready() const { return ready_; }
    [[nodiscard]] const std::string& error() const { return error_; }
    // Stops the server now, as if it had crashed or been shut down under its clients.
    void kill();

    // pactl's output, or an empty string when it fails.
    [[nodiscard]] std::string pactl(const std::string& args) const;
    // The streams playing into the server: each one's properties ("application.name" ...).
    [[nodiscard]] std::vector<std::map<std::string, std::string>> sinkInputs() const;

    // What the null sink plays, as interleaved s16 at kRate, from construction to now. A stream
    // of zeros keeps the sink running, so the recording is a real-time timeline. One at a time.
    class Recording {
    public:
        explicit Recording(const PulseServer& server);
        ~Recording();
        Recording(const Recording&) = delete;
        Recording& operator=(const Recording&) = delete;
        [[nodiscard]] bool started() const { return started_; }
        [[nodiscard]] std::size_t frames() const; // a mark on the timeline
        [[nodiscard]] std::vector<std::int16_t> samples() const;

    private:
        const PulseServer& server_;
        std::string path_;
        bool started_ = false;
    };

private:
    // Sends one command; the lines of its answer before "ok", or nothing and false.
    bool command(const std::string& line, std::vector<std::string>* answer = nullptr) const;
    [[nodiscard]] std::string readLine() const;

    int pid_ = -1;
    int helper_ = -1; // a socket to its standard input and output
    TempDir folder_;  // for recordings
    std::vector<std::pair<std::string, std::string>> savedEnv_; // restored by the destructor
    bool ready_ = false;
    std::string error_;
};

// A steady tone in a recording: its first and one-past-last loud frame, and the runs of silence
// (every channel at or below the threshold) inside it that last at least minGapFrames.
struct ToneExtent {
    long start = -1;
    long end = -1;
    std::vector<std::pair<long, long>> gaps; // (first frame, frames)
    [[nodiscard]] double seconds(int rate) const {
        return start < 0 ? 0.0 : static_cast<double>(end - start) / rate;
    }
};
[[nodiscard]] ToneExtent analyseTone(const std::vector<std::int16_t>& samples, int channels,
                                     int threshold, long minGapFrames);

} // namespace zr::test
