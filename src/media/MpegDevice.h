#pragma once
// One open "MPEGVideo" device: the state machine behind the transport commands, its worker
// thread, and the output callback (AudioSource::pull). The worker runs a TrackProducer
// (libmpg123 + SoundTouch) that fills a lock-free ring of blocks; the callback empties it, never
// blocks, allocates or touches the file, and publishes the track frame being heard.
//
// Positions and lengths are in track time. Commands come from one thread at a time (the service
// serialises them) and only change state under mutex_ and wake the worker: they never decode,
// read the file, or open or close the output, so they return at once. The worker does all of
// that without holding mutex_. The output (AudioOutput: a PulseAudio stream of our own, else an
// SDL device) is open while playing; a seek or a speed change while playing keeps it open, swaps
// the ring's contents under the callback lock and drops what the sound server still holds; pause
// and stop close it (so nothing runs while paused or stopped).
//
// Volume and mute: through a sound server they are the stream's own volume there (the server
// re-mixes what it holds, so they are heard at once); through SDL the callback applies gain_.
//
// The position heard: through SDL, the callback publishes it (heard_: the first frame of what
// it just handed over, one device buffer ahead). Through a sound server holding a long queue,
// a command asks the output (withServerClock) how much it holds and counts back from the last
// frame pulled, at the tempo it was pulled at. At the end of a start the server plays out what
// it holds first (drain); only then is the track ended (ended_), so the position reaches the
// length only once the audio has.
//
// Wake-ups: the worker sleeps on one futex word (wake_, C++20 atomic wait) with no timeout. A
// command bumps it; the callback bumps it only when the worker asked for room and the ring is
// down to its last refillBelowMs, when the last block has been heard, or when the output was
// lost (its server or sink went away: the worker closes it and starts again from what was
// heard, on another stream or in silence), so a playing device wakes its worker every few
// seconds and an idle one never. Long bursts are the point: a decoder woken cold (its tables
// out of the caches) costs a sixth more per frame in half-second bursts than in four-second
// ones.
//
// The length: exact at once from a header that agrees with the file, else the estimate until a
// LengthScanner (own thread, own decoder) has counted every frame; TrackClock keeps the
// promises about length and position meanwhile. Playback always runs to the decoder's real end.
//
// Lock order, wherever locks nest: the service's mutex, a device's mutex_, the output's
// streamMutex_, the AudioSystem's mutex, the PulseAudio connection's mutex, the PulseAudio
// mainloop lock (a server stream's callback lock). The callback takes none of them. The worker
// takes a callback lock (withCallbackHeld) and closes the output holding no other lock.
// Commands take streamMutex_ and the mainloop lock under mutex_ (volume, the position heard).
// Closing a device waits for its worker, which may be closing the output (joining SDL's thread),
// so the service closes a device only after releasing its own mutex: other aliases stay usable
// meanwhile.

#include "AudioSystem.h"
#include "LengthScanner.h"
#include "MciParser.h"
#include "Mpg123Decoder.h"
#include "PlaybackClock.h"
#include "SpscRing.h"
#include "TrackProducer.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace zr::media {

struct DeviceOptions {
    std::uint32_t ringMs = 4000;       // decoded audio held ahead of the device
    std::uint32_t startBufferMs = 50;  // decoded before the device starts; at least one block
    std::uint16_t bufferFrames = 2048; // SDL device buffer: one callback's worth of frames
    std::uint32_t refillBelowMs = 500; // the worker refills the ring when it holds less
};

// A file opened and probed, ready to become a device. Made off the caller's thread (opening and
// probing may block on a stalled file).
struct OpenedTrack {
    std::unique_ptr<Mpg123Decoder> decoder;
    std::int64_t exactFrames = -1; // the length, when known at open (trusted header, or counted)
    int scanFd = -1;  // a second descriptor of the file for the length scan; -1: not needed
    std::string name; // the file name, shown by the sound server as the stream's name
    OpenedTrack() = default;
    OpenedTrack(OpenedTrack&& other) noexcept;
    OpenedTrack& operator=(OpenedTrack&&) = delete;
    ~OpenedTrack();
};

class MpegDevice : private AudioSource {
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
    void workerLoop();
    void restartLocked(std::int64_t from, std::int64_t end, bool endIsTo);
    void holdLocked(DeviceMode mode);
    // The callback has heard the last block of the current start (worker only: it closes the
    // output first, then finishes).
    [[nodiscard]] bool endedLocked() const;
    void finishLocked();
    void takeScanResultLocked();
    [[nodiscard]] std::int64_t heardFrameLocked() const;
    void updateGainLocked();
    void wakeWorker();
    // Worker thread, without mutex_: bring the producer and the ring to a new start.
    void restartProducer(std::int64_t from, std::int64_t end, std::uint32_t speed);
    void resetCallbackState(std::int64_t from);

    // AudioSource: the output's callback.
    std::size_t pull(float* out, std::size_t frames, bool applyGain) override;
    [[nodiscard]] bool exhausted() const override;
    void playedOut() override;
    void outputLost() override;

    // --- Fixed after open (any thread) ---
    const DeviceOptions options_;
    const long rate_;
    const int channels_;
    const std::string streamName_;
    const std::size_t prefillBlocks_;
    const std::size_t refillBelowBlocks_;
    // Its producer half belongs to the worker, its consumer half to the callback.
    SpscRing<AudioBlock> ring_;

    // --- Under mutex_ (commands and the worker) ---
    std::mutex mutex_;
    bool quit_ = false;
    DeviceMode mode_ = DeviceMode::Stopped;
    std::int64_t heldFrame_ = 0;  // position while stopped or paused
    std::int64_t startFrame_ = 0; // where the current play started
    std::int64_t endFrame_ = 0;   // where it ends: its "to", else past any track
    bool endIsTo_ = false;
    std::uint32_t volume_ = 1000;
    bool muted_ = false;
    std::uint32_t speed_ = 1000;
    std::uint32_t generation_ = 0; // counts starts; the worker follows it
    TrackClock clock_;
    std::unique_ptr<LengthScanner> scanner_;
    bool workerDone_ = false; // the worker has closed the output and stopped
    std::condition_variable workerStopped_;

    // --- Worker thread only ---
    TrackProducer producer_;
    AudioOutput output_;
    SpscRing<AudioBlock>::Producer ringIn_;
    std::uint32_t producedGeneration_ = 0;
    bool everStarted_ = false;
    std::thread::id workerId_; // set by the worker itself, for the precondition checks

    // --- Shared by the worker, the commands and the callback: atomics ---
    std::atomic<std::uint32_t> wake_{0};              // the worker's futex word
    std::atomic<std::uint32_t> startedGeneration_{0}; // the start the ring and callback hold
    std::atomic<bool> wantRoom_{false};               // worker asleep on a full ring
    std::atomic<std::int64_t> heard_{0};              // frame heard now (callback)
    std::atomic<bool> ended_{false};                  // callback heard the last block
    std::atomic<bool> outputLost_{false};             // the output's server or sink went away
    std::atomic<std::int64_t> endedFrame_{0};         // where the decodable audio ended
    std::atomic<float> gain_{1.0f};

    // --- Output-callback only. Written elsewhere only while the output is closed or held
    //     (resetCallbackState asserts it), never while the callback may run; read by commands
    //     inside withServerClock, which holds the callback off. ---
    SpscRing<AudioBlock>::Consumer ringOut_;
    AudioBlock* current_ = nullptr;
    std::uint32_t offset_ = 0;
    std::int64_t consumedEnd_ = 0;
    std::int64_t callbackStart_ = 0;
    bool lastPopped_ = false;  // the block marked last has been handed to the device
    double pulledTempo_ = 1.0; // track frames per output frame in what was pulled last
};

} // namespace zr::media
