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

// One of the helpers run as a child of this test (python3 <script> <arguments>), talking over
// its standard input and output, one line at a time. It runs in its own process group, stopped
// whole, and dies with this process; the end of its input tells it to stop what it started.
class PythonHelper {
public:
    PythonHelper(const char* script, const std::vector<std::string>& arguments);
    ~PythonHelper();
    PythonHelper(const PythonHelper&) = delete;
    PythonHelper& operator=(const PythonHelper&) = delete;

    // The next line it writes; empty once it has ended (or after 30 s of silence).
    [[nodiscard]] std::string readLine() const;
    // Sends one command; the lines of its answer before "ok", or false on "failed: ...".
    bool command(const std::string& line, std::vector<std::string>* answer = nullptr) const;

private:
    int pid_ = -1;
    int socket_ = -1; // its standard input and output
};

// A private PulseAudio (pulseserver.py --serve) for this process: while it lives, this process's
// clients (SDL and our own stream included) are pointed at it and no other.
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
    // The streams playing into the server: each one's properties ("application.name" ...) and
    // its index ("Sink Input").
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
    TempDir folder_; // for recordings
    PythonHelper helper_{"pulseserver.py", {"--serve"}};
    std::vector<std::pair<std::string, std::string>> savedEnv_; // restored by the destructor
    bool ready_ = false;
    std::string error_;
};

// A private D-Bus session bus (pulseserver.py --bus), for as long as the object lives.
class SessionBus {
public:
    SessionBus();
    // Empty when no bus started.
    [[nodiscard]] const std::string& address() const { return address_; }

private:
    PythonHelper helper_{"pulseserver.py", {"--bus"}};
    std::string address_;
};

// A steady tone in a recording (toneanalysis.py): its first and one-past-last loud frame, the runs
// of silence (every channel at or below the threshold) inside it that last at least
// minGapFrames, and its pitch in the middle half.
struct ToneExtent {
    long start = -1;
    long end = -1;
    std::vector<std::pair<long, long>> gaps; // (first frame, frames)
    double hz = 0;
    [[nodiscard]] long frames() const { return start < 0 ? 0 : end - start; }
    [[nodiscard]] double seconds(long rate) const {
        return static_cast<double>(frames()) / static_cast<double>(rate);
    }
};
// s16 at PulseServer::kRate, with the threshold in s16 steps.
[[nodiscard]] ToneExtent analyseTone(const std::vector<std::int16_t>& samples, int channels,
                                     int threshold, long minGapFrames);
// Floats, with the threshold on the same scale.
[[nodiscard]] ToneExtent analyseTone(const std::vector<float>& samples, int channels, long rate,
                                     float threshold, long minGapFrames);

} // namespace zr::test
