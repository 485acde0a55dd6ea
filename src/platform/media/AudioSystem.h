#pragma once
// The process's SDL audio subsystem, and the devices opened on it. SDL is started on the first
// device open with only its audio subsystem and without its signal handlers (so SIGINT/SIGTERM
// still reach the program). When no real device can be opened, the subsystem switches once to
// SDL's dummy driver, which consumes samples silently at real-time pace, and says so on stderr.
// Thread-safe.

#include "MediaAssert.h"

#include <SDL.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zr::media {

class AudioSystem {
public:
    static AudioSystem& instance();

    // Each media service holds one reference while it lives; SDL is shut down when the last one
    // goes and no device is open, so a later start reads the SDL_* environment afresh.
    void retain();
    void release();

    // Opens a paused device with exactly the wanted format (SDL converts if the hardware
    // differs). 0 when no device, not even the silent one, can be opened. The sound server
    // shows the stream as this program's, with role "music" and the given stream name.
    [[nodiscard]] SDL_AudioDeviceID openDevice(const SDL_AudioSpec& want, SDL_AudioSpec& have,
                                               const std::string& streamName);
    void closeDevice(SDL_AudioDeviceID id);
    // Says once on stderr that a track plays without a device.
    void noteSilentTrack();

private:
    AudioSystem() = default;
    bool startLocked();
    void switchToDummyLocked(const char* reason);
    void warnOnceLocked(const char* what, const char* reason);

    std::mutex mutex_;
    int users_ = 0;
    int openDevices_ = 0;
    bool started_ = false;
    bool dummy_ = false;
    bool warned_ = false;
};

// An SDL audio device opened through the AudioSystem; closing joins SDL's audio thread, so after
// close() the callback is not running and never runs again. When SDL gives no device (its dummy
// and disk drivers offer only one at a time), a clock thread of our own calls the callback at
// real-time pace and drops what it returns: the track still plays, silently.
class AudioOutput {
public:
    AudioOutput() = default;
    ~AudioOutput() { close(); }
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    // Opens a paused device for interleaved 32-bit float frames at the given rate, asking for
    // a device buffer of bufferFrames frames (the callback is called for about that many).
    void open(long rate, int channels, std::uint16_t bufferFrames, const std::string& streamName,
              SDL_AudioCallback callback, void* user);
    void start();
    void close();
    [[nodiscard]] bool isOpen() const { return id_ != 0 || silent_; }

    // Runs f while the callback is certain not to run (SDL's device lock, or the silent clock's
    // own lock); f must be quick. Lets the owner reset callback-only state without closing.
    template <typename F> void withCallbackHeld(F&& f) {
        ZR_ASSERT(isOpen() && !held_);
        if (id_ != 0)
            SDL_LockAudioDevice(id_);
        std::unique_lock clock(clockMutex_, std::defer_lock);
        if (silent_)
            clock.lock();
        held_ = true;
        f();
        held_ = false;
        if (id_ != 0)
            SDL_UnlockAudioDevice(id_);
    }
    // True while the callback cannot run: closed, or inside withCallbackHeld (owner's thread).
    [[nodiscard]] bool callbackExcluded() const { return !isOpen() || held_; }

private:
    void runSilentClock();

    SDL_AudioDeviceID id_ = 0;
    bool silent_ = false;
    bool held_ = false;
    long rate_ = 0;
    int channels_ = 1;
    SDL_AudioCallback callback_ = nullptr;
    void* user_ = nullptr;
    std::vector<float> scratch_;
    std::atomic<bool> running_{false};
    std::mutex clockMutex_; // the silent clock holds it while it calls the callback
    std::thread clock_;
};

} // namespace zr::media
