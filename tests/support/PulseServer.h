#pragma once
// A private PulseAudio for a test, and a recording of what it plays (the C++ side of
// pulseserver.py, which the Python tests and the benchmark use).
//
// The server gets its own runtime folder, home and cookie under a temporary folder, plays into a
// null sink, and this process's clients (SDL included) are pointed at it through PULSE_SERVER.
// Every process started here has its own process group, dies with this process
// (PR_SET_PDEATHSIG) and is stopped with its group by its owner's destructor.

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace zr::test {

// A child process in its own group; the destructor stops the group (TERM, then KILL).
class ChildProcess {
public:
    // stdoutPath empty: standard output and error go to /dev/null.
    ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                 const std::string& stdoutPath = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    [[nodiscard]] bool running();
    void stop();

private:
    int pid_ = -1;
};

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
    // Stops the server now, as if it had crashed or been shut down under its clients.
    void kill();
    [[nodiscard]] const std::string& error() const { return error_; }

    // pactl's output, or an empty string when it fails.
    [[nodiscard]] std::string pactl(const std::string& args) const;
    // The streams playing into the server: each one's properties ("application.name" ...) and
    // its index ("Sink Input").
    [[nodiscard]] std::vector<std::map<std::string, std::string>> sinkInputs() const;

    // What the null sink plays, as interleaved s16 at kRate, from construction to now. A stream
    // of zeros keeps the sink running, so the recording is a real-time timeline.
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
        std::filesystem::path path_;
        std::unique_ptr<ChildProcess> keepalive_;
        std::unique_ptr<ChildProcess> parec_;
        bool started_ = false;
    };

private:
    [[nodiscard]] std::vector<std::string> clientEnv() const;

    std::filesystem::path root_;
    std::string socket_;
    std::unique_ptr<ChildProcess> server_;
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
