#pragma once
// The process's SDL audio subsystem, and the devices opened on it. SDL is loaded (SdlLibrary.h)
// and started on the first device open, with only its audio subsystem and without its signal
// handlers (so SIGINT/SIGTERM still reach the program). When no real device can be opened, the
// subsystem switches once to SDL's dummy driver, which consumes samples silently at real-time pace,
// and says so on stderr. Its users also keep the process's PulseAudio connection (PulseOutput.h)
// from being dropped between tracks. Thread-safe.
//
// SDL 2.26's PulseAudio driver crashes (a null default sink name) when it starts against a
// server without a sink, or sees a device change while the server has none. So it is started
// only when the server offers a sink, and stopped again as soon as its last device closes.

#include "AudioSource.h"
#include "MediaAssert.h"
#include "PulseOutput.h"

#include <SDL.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace zr::media {

class AudioSystem {
public:
    static AudioSystem& instance();

    // Call once from main() before any thread starts: sets what the environment must carry for
    // SDL's PulseAudio driver (the stream's role, which that driver reads only from there).
    static void prepareProcess();

    // Each media service holds one reference while it lives; SDL is shut down when the last one
    // goes and no device is open, so a later start reads the SDL_* environment afresh.
    void retain();
    void release();

    // Opens a paused device with exactly the wanted format (SDL converts if the hardware
    // differs). 0 when no device, not even the silent one, can be opened, or SDL cannot be
    // loaded (said once on stderr). The sound server
    // shows the stream as this program's, with role "music" and the given stream name.
    [[nodiscard]] SDL_AudioDeviceID openDevice(const SDL_AudioSpec& want, SDL_AudioSpec& have,
                                               const std::string& streamName);
    void closeDevice(SDL_AudioDeviceID id);
    // Says once on stderr that a track plays without a device, and why.
    void noteSilentTrack(const char* why);

private:
    AudioSystem() = default;
    bool startLocked();
    void stopIfIdleLocked();
    void switchToDummyLocked(const char* reason);
    void warnOnceLocked(const char* what, const char* reason);

    std::mutex mutex_;
    int users_ = 0;
    int openDevices_ = 0;
    bool started_ = false;
    bool dummy_ = false;
    bool pulseDriver_ = false; // SDL runs its PulseAudio driver
    bool warned_ = false;
};

// A playback stream for one device: straight into a PulseAudio server when one answers and
// the environment leaves the choice to us (PulseStream::wanted), else an SDL audio device opened
// through the AudioSystem. Closing stops the stream's callbacks: after close() the source is not
// pulled and never is again. When SDL gives no device (its dummy and disk drivers offer only one
// at a time), a clock thread of our own pulls at real-time pace and drops what it gets: the track
// still plays, silently.
//
// The same silent clock stands in for a server that answers without a sink, and for one whose
// stream was lost (the source heard outputLost; the owner closes and reopens): a server's machine
// never falls back to SDL, which would meet the same server through its own driver. Reopened
// right after a loss, the output tries the server again only if it offers a working sink. While
// standing in, the clock asks the server every kStandInRetry (and at once after a new start)
// whether it offers one again, and if so reports outputLost itself, so that the owner reopens
// onto it.
//
// Owned by one thread (the device's worker); setVolume(), dropQueued() and withServerClock() may
// be called from any thread (they take streamMutex_, which guards which stream is open).
class AudioOutput {
public:
    AudioOutput() = default;
    ~AudioOutput() { close(); }
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    static constexpr std::chrono::milliseconds kStandInRetry{2000};

    // Opens a paused stream for interleaved 32-bit float frames at the given rate. SDL's device
    // buffer is bufferFrames frames (pulled about that many at a time).
    void open(long rate, int channels, std::uint16_t bufferFrames, const std::string& streamName,
              AudioSource& source);
    void start();
    void close();
    [[nodiscard]] bool isOpen() const { return id_ != 0 || silent_ || pulse_; }
    // The most frames the output may take from its source at once, for a device buffer of
    // bufferFrames: a sound server asks for many blocks in one request.
    [[nodiscard]] static std::size_t largestPull(long rate, int channels,
                                                 std::uint16_t bufferFrames);
    // The volume goes to the sound server as the stream's own, not into the samples.
    [[nodiscard]] bool serverVolume() const { return pulse_ != nullptr; }

    // Runs f while the source is certain not to be pulled (SDL's device lock, the mainloop lock,
    // or the silent clock's own lock); f must be quick. Lets the owner reset callback-only state
    // without closing. With drop, what the sound server still holds is dropped too, so that
    // what comes next is heard at once.
    template <typename F> void withCallbackHeld(F&& f, bool drop = false) {
        ZR_ASSERT(isOpen() && !held_);
        holdCallback(true);
        held_ = true;
        f();
        if (drop)
            dropQueuedHeld();
        held_ = false;
        holdCallback(false);
    }
    // True while the callback cannot run: closed, or inside withCallbackHeld (owner's thread).
    [[nodiscard]] bool callbackExcluded() const { return !isOpen() || held_; }

    // The server asked for more than the source had: pull again now (after the source got more).
    // Whether it did.
    bool feedIfHungry();

    // Any thread. The stream's volume on the sound server, now and for streams opened later.
    void setVolume(float gain, bool muted);
    // Any thread. Drops what the sound server still holds, so that a stop or a pause is heard at
    // once (SDL holds only one device buffer).
    void dropQueued();
    // Any thread. When a server stream is open: runs f(queued), queued = frames pulled but not
    // heard yet, with the source held (f may read callback-only state) and returns true.
    template <typename F> bool withServerClock(F&& f) const {
        std::lock_guard lock(streamMutex_);
        if (!pulse_)
            return false;
        pulse_->lock();
        const auto queued = pulse_->queuedFramesLocked();
        f(queued);
        pulse_->unlock();
        return true;
    }

private:
    static void sdlCallback(void* user, Uint8* stream, int len);
    void openSilent(std::uint16_t bufferFrames, bool standIn, const char* why);
    void runSilentClock();
    void holdCallback(bool hold);
    void dropQueuedHeld();

    SDL_AudioDeviceID id_ = 0;
    bool silent_ = false;
    bool standIn_ = false;         // the silent clock stands in for the sound server
    bool serverGone_ = false;      // a server stream was lost, or a server gave none: no SDL
    bool reopenAfterLoss_ = false; // the last stream was lost: the next open checks first
    bool held_ = false;
    long rate_ = 0;
    int channels_ = 1;
    AudioSource* source_ = nullptr;
    std::vector<float> scratch_;
    std::atomic<bool> running_{false};
    std::atomic<bool> askNow_{false}; // the stand-in asks the server now, not at its next turn
    std::mutex clockMutex_;           // the silent clock holds it while it pulls
    std::thread clock_;

    // Changed by the owner under streamMutex_; read by other threads under it.
    mutable std::mutex streamMutex_;
    std::unique_ptr<PulseStream> pulse_;
    float gain_ = 1.0f; // under streamMutex_
    bool muted_ = false;
};

} // namespace zr::media
