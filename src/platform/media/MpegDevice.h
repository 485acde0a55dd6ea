#pragma once
// One open "MPEGVideo" device, in two parts whose types say which thread may touch what:
// - CommandState: what the transport commands read and write, always under the device's mutex
//   (mode, positions, volume, speed, which start to play, the track's clock, the length scan);
// - Playback: what the device's worker thread and its output's callback own (the producer,
//   the ring between them, the output, and the atomics by which they and the commands signal
//   one another).
// MpegDevice holds both, the mutex, and the worker's loop. Under the mutex the worker reads what
// the commands asked for; without it, it decodes, reads the file and opens or closes the output.
// Commands may come from any thread; they change state under the mutex and wake the worker, and
// never decode, read the file, or open or close the output, so they return at once.
//
// The output (AudioOutput: a PulseAudio stream of our own, else an SDL device) is open while
// playing. A seek or a speed change while playing keeps it open: the worker swaps the ring's
// contents under the callback lock and drops what the sound server still holds. Pause and
// stop: the worker closes it (so nothing runs while paused or stopped).
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
// and the mainloop lock under mutex_ (volume, the position heard). Closing a device waits a
// while for its worker, which may be closing the output (joining SDL's thread), so the service
// closes a device only after releasing its own mutex: other aliases stay usable meanwhile.

#include "CommandState.h"
#include "DeviceOptions.h"
#include "Mpg123Decoder.h"
#include "Playback.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace zr::media {

// A file opened and probed, ready to become a device. Made off the caller's thread (opening and
// probing may block on a stalled file).
struct OpenedTrack {
    std::unique_ptr<Mpg123Decoder> decoder;
    std::int64_t estimateFrames = 0; // the best quick guess at the length
    std::int64_t exactFrames = -1;   // the length, when known at open (trusted header, or counted)
    int scanFd = -1;  // a second descriptor of the file for the length scan; -1: not needed
    std::string name; // the file name, shown by the sound server as the stream's name
    OpenedTrack() = default;
    OpenedTrack(OpenedTrack&& other) noexcept;
    OpenedTrack& operator=(OpenedTrack&&) = delete;
    ~OpenedTrack();
};

class MpegDevice {
public:
    // Opens and probes a file (first frame decoded). kMciOk, kMciFileNotFound or
    // kMciCannotDecode. May block as long as the file's reads do.
    [[nodiscard]] static int prepare(const std::string& path, OpenedTrack& track);

    // Starts the device's worker, which shares ownership of the device until it has stopped.
    [[nodiscard]] static std::shared_ptr<MpegDevice> start(OpenedTrack track,
                                                           const DeviceOptions& options);
    MpegDevice(OpenedTrack track, const DeviceOptions& options); // use start()
    ~MpegDevice();

    // Stops the worker (which closes the output) and waits for it at most kCloseWait. A worker
    // stuck in a read of a file that stopped answering is left behind: it still owns the device
    // and lets go of it when the read returns. Call once, before letting go of the device.
    void close();
    static constexpr std::chrono::milliseconds kCloseWait{500};
    MpegDevice(const MpegDevice&) = delete;
    MpegDevice& operator=(const MpegDevice&) = delete;

    // Milliseconds of track time. from/to must lie within the track (kMciBadNumber otherwise).
    [[nodiscard]] int play(std::optional<std::uint32_t> from, std::optional<std::uint32_t> to);
    [[nodiscard]] int pause();
    [[nodiscard]] int resume();
    [[nodiscard]] int stop();
    [[nodiscard]] int seek(SeekTarget target, std::uint32_t ms);
    [[nodiscard]] int setSpeed(std::uint32_t speed);
    void setVolume(std::uint32_t volume);
    void setMuted(bool muted);

    [[nodiscard]] std::uint32_t lengthMs();
    [[nodiscard]] std::uint32_t positionMs();
    [[nodiscard]] DeviceMode mode();
    [[nodiscard]] std::uint32_t volume();
    [[nodiscard]] std::uint32_t speed();

private:
    using Lock = std::unique_lock<std::mutex>;
    void workerLoop();
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

    std::mutex mutex_;
    // Under mutex_.
    bool quit_ = false;
    bool workerDone_ = false; // the worker has closed the output and stopped
    std::condition_variable workerStopped_;

    Playback playback_;
    CommandState state_; // under mutex_
};

} // namespace zr::media
