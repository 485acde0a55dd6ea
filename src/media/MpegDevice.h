#pragma once
// One open "MPEGVideo" device, in two parts whose types say which thread may touch what:
// - CommandState: what the transport commands read and write, always under the device's mutex
//   (mode, positions, volume, speed, which start to play, the track's clock, the length scan);
// - Playback: what the device's worker thread and its output's callback own (the producer,
//   the ring between them, the output, and the atomics by which they and the commands signal
//   one another).
// MpegDevice holds both, the mutex, and the worker's loop. Under the mutex the worker reads what
// the commands asked for; without it, it opens the file, decodes, reads and opens or closes the
// output. Commands may come from any thread; they change state under the mutex and wake the
// worker, and never decode, read the file, or open or close the output, so they return at
// once. The one exception is "status length" while the file is still opening (see below).
//
// Opening: the device exists from "open"; its worker opens and probes the file first (the
// first frame decoded), which may take seconds on a disk that has spun down. Meanwhile every
// command is answered as if the file were open (CommandState keeps what was asked), and a play
// starts as soon as the first frame is there. A file without a first frame firstFrameWaitMs
// (DeviceOptions) after "open", or one that cannot be played, fails: from then on the device
// answers the open's error, except that a length already replied stays the length and the position
// equals it (a player waiting for position >= length moves on, as after a damaged file).
//
// "status length" while opening: a player reads the length once, right after "play", shows it
// for the whole track and ends the track when the position reaches it. So the query waits for
// the open up to lengthWaitMs after "open" (the player shows its hourglass meanwhile) and then
// answers the real length; a file that takes longer gets kUnknownLengthMs, the longest length
// there is: wrong on screen, but the track is neither cut short nor skipped, and its position
// still reaches that length exactly when its audio ends (TrackClock).
//
// The output (AudioOutput: a PulseAudio stream of our own, else an SDL device) is open while
// playing. A seek or a speed change while playing keeps it open: the worker swaps the ring's
// contents under the callback lock and drops what the sound server still holds. Pause and
// stop are heard at once, whatever the worker is doing: from the command on, the callback gives
// nothing, and the command drops what a sound server holds; the worker then closes the output
// (so nothing runs while paused or stopped). When the output is lost (its server or sink went
// away, or a silent stand-in finds a sink again), what it held was never heard: the worker closes
// it and starts again from what was heard, on whatever output opens next.
//
// Reads that stall: the decoder gives up a read or seek that has run stallLimitMs (a share that
// stopped answering, a seek through gigabytes of zeros), and the track ends as a damaged file's
// does. A read stuck in the kernel cannot give up by itself: a command that finds the worker in
// one that long ends the track instead. Closing a device cancels its reads.
//
// Volume and mute: through a sound server they are the stream's own volume there (the server
// re-mixes what it holds, so they are heard at once); through SDL the callback applies them.
//
// The position heard: through SDL, the callback publishes it (the first frame of what it just
// handed over, one device buffer ahead). Through a sound server holding a long queue, a command
// asks the output (withServerClock) how much it holds and counts back from the last frame
// pulled, at the tempo it was pulled at. At the end of a start the server plays out what it
// holds first (drain); only then does the worker close the output and end the track, so the
// position reaches the length only once the audio has.
//
// Lock order, wherever locks nest: the device's mutex_, the output's streamMutex_, the
// AudioSystem's mutex, the PulseAudio connection's mutex, the PulseAudio mainloop lock (a server
// stream's callback lock). The callback takes none of them. The worker takes a callback lock
// (restarting) and opens and closes the output holding none of ours. Commands take streamMutex_
// and the mainloop lock under mutex_ (volume, the position heard, dropping what the server
// holds). Closing a device waits up to kCloseWait for its worker, which may be closing the
// output (joining SDL's thread), so the service closes a device only after releasing its own
// mutex: other aliases stay usable meanwhile.

#include "CommandState.h"
#include "DeviceOptions.h"
#include "MciErrors.h"
#include "Mpg123Decoder.h"
#include "Playback.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace zr::media {

// A file opened and probed, ready to become a device's playback.
struct OpenedTrack {
    std::unique_ptr<Mpg123Decoder> decoder; // the decoder to open (given), then open
    std::int64_t estimateFrames = 0;        // the best quick guess at the length
    std::int64_t exactFrames = -1; // the length, when known at open (trusted header, or counted)
    int scanFd = -1;  // a second descriptor of the file for the length scan; -1: not needed
    std::string name; // the file name, shown by the sound server as the stream's name
    OpenedTrack() = default;
    OpenedTrack(OpenedTrack&& other) noexcept;
    OpenedTrack& operator=(OpenedTrack&&) = delete;
    ~OpenedTrack();
};

class MpegDevice {
public:
    // Opens track.decoder on the file and probes it (first frame decoded). kMciOk,
    // kMciFileNotFound or kMciCannotDecode. May block as long as the file's reads do.
    [[nodiscard]] static int prepare(const std::string& path, OpenedTrack& track);
    // How the worker opens a file: prepare, unless a test stands in for a file whose reads
    // block. Runs on the worker; a close cancels the reads of track.decoder.
    using Preparer = std::function<int(const std::string& path, OpenedTrack& track)>;

    // Makes the device for a file and starts its worker, which opens the file and then shares
    // ownership of the device until it has stopped.
    [[nodiscard]] static std::shared_ptr<MpegDevice>
    open(const std::string& path, const DeviceOptions& options, Preparer preparer);
    MpegDevice(const std::string& path, const DeviceOptions& options,
               Preparer preparer); // use open()
    ~MpegDevice();
    MpegDevice(const MpegDevice&) = delete;
    MpegDevice& operator=(const MpegDevice&) = delete;

    // Waits at most `wait` for the file to open: kMciOk when it has or is still opening, else
    // the open's error.
    [[nodiscard]] int waitForOpen(std::chrono::milliseconds wait);

    // Stops the worker and waits at most kCloseWait for it to close the output and end. The
    // worker's reads of the file fail from now on, so it ends once a read it is in returns; one
    // stuck in the kernel (a share that stopped answering) is left behind, owning the device
    // until then. Call once, before letting go of the device.
    void close();
    static constexpr std::chrono::milliseconds kCloseWait{500};

    // Milliseconds of track time. from/to must lie within the track (kMciBadNumber otherwise).
    [[nodiscard]] int play(std::optional<std::uint32_t> from, std::optional<std::uint32_t> to);
    [[nodiscard]] int pause();
    [[nodiscard]] int resume();
    [[nodiscard]] int stop();
    [[nodiscard]] int seek(SeekTarget target, std::uint32_t ms);
    [[nodiscard]] int setSpeed(std::uint32_t speed);
    [[nodiscard]] int setVolume(std::uint32_t volume);
    [[nodiscard]] int setMuted(bool muted);
    // The reply text of a status query.
    [[nodiscard]] int status(StatusItem item, std::string& reply);

private:
    using Lock = std::unique_lock<std::mutex>;
    using Clock = std::chrono::steady_clock;
    void workerLoop();
    // Opens the file and hands the track to both halves; false when the device failed or closed.
    bool openTrack();
    // The first of the worker's steps that has something to do; false when none has (sleep).
    bool step(Lock& lock);
    // The worker's steps, each under the lock on entry and exit: true when it acted (the loop
    // then looks at everything again), false when it had nothing to do.
    bool reopenLostOutput(Lock& lock);
    bool finishEnded(Lock& lock);
    bool closeWhileHeld(Lock& lock);
    bool restart(Lock& lock);
    bool openOncePrefilled(Lock& lock);
    bool fill(Lock& lock);
    void sleep(Lock& lock);

    // Every command first: an open past its time fails; a playing track whose reads have
    // stalled for the limit ends.
    void settleLocked();
    void failLocked(int error);
    [[nodiscard]] bool openingLocked() const { return !playback_ && failure_ == 0; }
    [[nodiscard]] int statusLocked(StatusItem item, std::string& reply);

    // Fixed at construction.
    const std::string path_;
    const DeviceOptions options_;
    const Preparer preparer_;
    const Clock::time_point openSent_;

    std::mutex mutex_;
    std::condition_variable changed_; // the file opened or failed, or the worker ended
    // Under mutex_.
    bool quit_ = false;
    bool workerDone_ = false;      // the worker has closed the output and ended
    int failure_ = kMciOk;         // the open's error, once it failed
    Clock::time_point lastChange_; // when the last command other than a status query came
    // Worker only: when the first start could have begun (it waits a little for settings).
    Clock::time_point firstReady_;
    // The decoder the worker is opening, while it does (so that its reads can be cancelled).
    Mpg123Decoder* opening_ = nullptr;
    // Made by the worker once the file is open, then never changed until the device goes.
    std::unique_ptr<Playback> playback_;
    CommandState state_;
};

} // namespace zr::media
