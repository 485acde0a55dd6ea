#pragma once
// Playback straight into a PulseAudio server (or PipeWire's PulseAudio layer) with libpulse.
//
// Why not SDL's driver: it keeps about one device buffer on the server and wakes several times
// per buffer. Here the server holds a generous buffer and asks for more in large steps
// (kRefillBlocks x kBlockMs), so the process wakes about three times a second in all; commands stay
// prompt because the volume is the stream's own (the server re-mixes what it holds) and a new start
// drops what the server holds (flush) instead of waiting for it to play out.
//
// One connection (context and mainloop thread) serves every stream of the process; it lives
// while the AudioSystem has users or a stream is open, and is made afresh when the server went
// away. The mainloop lock is the stream's callback lock: while it is held, the source is not
// pulled. Lock order: PulseClient's own mutex, then the mainloop lock; the mainloop thread takes
// no lock of ours.
//
// Devices come and go under a stream: when its sink goes away and the server has another, the
// server moves the stream there (we never forbid it); when the server or its last sink goes
// away, or the sink stays suspended for kSuspendedGiveUpMs after the start, the stream says
// so once (AudioSource::outputLost) and keeps its last position: what had been heard by then.

#include "AudioSource.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct pa_stream;
struct pa_operation;
struct pa_time_event;

namespace zr::media {

class PulseClient;

class PulseStream {
public:
    // The server asks for more when kRefillBlocks blocks of kBlockMs have played, and gets them
    // as that many shared-memory blocks (at most kBlockBytes each). Every wake-up counts: each
    // request is one, and so is each block the server lets go of (it is one message per
    // block), so blocks are as large as libpulse's pool gives (64 KiB less its header) and a
    // request is for several. The server holds two refills plus 2 x kSinkMs, of which it gives
    // kSinkMs to the sink's own buffer: a sink latency left at zero would make the server wake
    // every half millisecond.
    static constexpr int kBlockMs = 400;
    static constexpr std::size_t kRefillBlocks = 6;
    static constexpr int kSinkMs = 40;
    static constexpr std::size_t kBlockBytes = 65000;
    // A sink suspended this long after the start (or suspended while playing) is taken as gone
    // for this stream: long enough for a Bluetooth or USB sink to wake up, short enough that a
    // track does not stand still for long.
    static constexpr int kSuspendedGiveUpMs = 3000;

    // What the server offers right now. Answered (with a round trip) on the process's
    // connection, made if there is none.
    enum class Offer {
        NoServer,  // none answers
        NoOutput,  // no default sink or no default source (a server with no device at all)
        Suspended, // the default sink is suspended
        Ready,
    };
    [[nodiscard]] static Offer offer();

    // True when the environment leaves the choice to us: ZR_AUDIO_OUTPUT is not "sdl", and
    // SDL_AUDIODRIVER is unset or names the PulseAudio driver. Any other SDL driver asked for
    // explicitly (dummy, disk, alsa ...) goes through SDL.
    [[nodiscard]] static bool wanted();
    // The frames one request of the server takes at once from a stream of this rate.
    [[nodiscard]] static std::size_t requestFrames(long rate, int channels);
    // Drops the process's idle connection (the AudioSystem's last user went away).
    static void releaseConnection();

    // A corked stream, or nullptr when no server answers (answered false) or the server
    // answered but gave no stream (answered true: it has no sink). The source may be pulled from
    // the moment this returns. The server gets the source's 16-bit frames as they are (a float
    // stream would take twice the bytes: each shared-memory block would hold half the audio and
    // requests would come twice as often).
    [[nodiscard]] static std::unique_ptr<PulseStream> open(long rate, int channels,
                                                           const std::string& streamName,
                                                           float gain, bool muted,
                                                           AudioSource& source, bool& answered);
    ~PulseStream(); // disconnects; the source is not called any more once this returns
    PulseStream(const PulseStream&) = delete;
    PulseStream& operator=(const PulseStream&) = delete;

    void start(); // uncork

    // The callback lock. Between lock() and unlock() the source is not pulled.
    void lock();
    void unlock();
    // Under the lock: drop what the server still holds, so what comes next is heard at once.
    void flushLocked();
    // Under the lock: frames written but not heard yet (server queue and sink), if known. Once
    // the stream is lost, what it held when it was lost (none of that will be heard).
    [[nodiscard]] std::optional<std::int64_t> queuedFramesLocked();
    // Under the lock: the stream stopped working (its server or sink went away, or its sink
    // stayed suspended) and has said so to its source.
    [[nodiscard]] bool lostLocked() const { return lost_; }

    // The server asked for more than the source had: a later pull may fill it (kick()).
    [[nodiscard]] bool hungry() const { return hungry_.load(std::memory_order_relaxed); }
    void kick();
    // The stream's volume on the server (linear gain) and its mute flag. Any thread.
    void setVolume(float gain, bool muted);

    PulseStream(std::shared_ptr<PulseClient> client, AudioSource& source, long rate, int channels);

private:
    static void onWrite(pa_stream* s, std::size_t bytes, void* self);
    static void onState(pa_stream* s, void* self);
    static void onDrained(pa_stream* s, int success, void* self);
    static void onPlayChanged(pa_stream* s, void* self);
    static void onTiming(pa_stream* s, int success, void* self);
    static void onSuspendedOrMoved(pa_stream* s, void* self);
    // Where the server is, asked for when that changes in a way the clock cannot tell (start,
    // flush, underrun, playback starting) and, while the position is read, every few seconds.
    // Not on libpulse's timer: its question and answer were a third of the connection
    // thread's CPU, spent while nobody read the position.
    void askTimingLocked();
    void forgetTimingLocked(); // cancels the question asked last, if unanswered
    // Keeps the server's latest report (it is gone once the stream has failed).
    void keepTimingLocked();
    // What has been heard by now (or by the loss), in stream frames, from the last report.
    [[nodiscard]] std::int64_t heardLocked();
    void watchSuspensionLocked();
    void loseLocked();
    void writeLocked();
    void sendVolumeLocked(float gain, bool muted);

    std::shared_ptr<PulseClient> client_;
    AudioSource& source_;
    const long rate_;
    const int channels_;
    const std::size_t frameBytes_;
    std::size_t refillBytes_ = 0;
    std::size_t blockBytes_ = 0;
    std::size_t targetBytes_ = 0; // what the server keeps queued (its tlength)
    pa_stream* stream_ = nullptr;
    // Under the mainloop lock.
    pa_operation* drain_ = nullptr;
    pa_operation* timing_ = nullptr; // the last question for timing; its answer calls back this
    std::uint64_t timingAsked_ = 0;  // pa_rtclock_now() of the last question
    // The server's last report, valid unless a flush made it stale; kept because libpulse gives
    // none once the stream has failed.
    struct Report {
        std::int64_t readFrames = 0; // the server's read index
        std::int64_t sinkFrames = 0; // held by the sink past the read index
        std::uint64_t madeUsec = 0;  // wall clock of the report
        bool playing = false;
    };
    Report report_;
    bool reportValid_ = false;
    std::int64_t written_ = 0;   // stream frames written: the server's write index
    std::int64_t heardLast_ = 0; // in stream frames: what has been heard only grows
    std::int64_t lostQueued_ = 0;
    pa_time_event* suspendedTimer_ = nullptr;
    bool ready_ = false;
    bool started_ = false;
    bool suspended_ = false;
    bool lost_ = false;
    std::atomic<bool> hungry_{false};
};

} // namespace zr::media
