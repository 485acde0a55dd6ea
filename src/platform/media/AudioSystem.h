#pragma once
// The process's SDL audio subsystem, and the devices opened on it. SDL is started on the first
// device open with only its audio subsystem and without its signal handlers (so SIGINT/SIGTERM
// still reach the program). When no real device can be opened, the subsystem switches once to
// SDL's dummy driver, which consumes samples silently at real-time pace, and says so on stderr.
// Thread-safe.

#include <SDL.h>

#include <atomic>
#include <mutex>
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
    // differs). 0 when no device, not even the silent one, can be opened.
    [[nodiscard]] SDL_AudioDeviceID openDevice(const SDL_AudioSpec& want, SDL_AudioSpec& have);
    void closeDevice(SDL_AudioDeviceID id);
    // Says once on stderr that a track plays without a device.
    void noteSilentTrack();

private:
    AudioSystem() = default;
    bool startLocked();
    void switchToDummyLocked(const char* reason);

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

    // Opens a paused device for interleaved 32-bit float frames at the given rate.
    void open(long rate, int channels, SDL_AudioCallback callback, void* user);
    void start();
    void close();
    [[nodiscard]] bool isOpen() const { return id_ != 0 || silent_; }

private:
    void runSilentClock();

    SDL_AudioDeviceID id_ = 0;
    bool silent_ = false;
    long rate_ = 0;
    SDL_AudioCallback callback_ = nullptr;
    void* user_ = nullptr;
    std::vector<float> scratch_;
    std::atomic<bool> running_{false};
    std::thread clock_;
};

} // namespace zr::media
