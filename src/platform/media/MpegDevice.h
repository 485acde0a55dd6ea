#pragma once
// One open "MPEGVideo" device: a file decoded by libmpg123 on the device's own worker thread,
// sped up or slowed down by SoundTouch (pitch kept) when the speed is not 1000, and handed to the
// SDL audio callback through a lock-free ring of blocks. The callback applies volume and mute,
// never blocks, allocates or touches the file, and publishes the track frame being heard.
//
// Positions and lengths are in track time. Commands come from any thread, one at a time per
// device (the service serialises them); they and the worker share mutex_, the callback shares
// only atomics and the ring. The SDL device is open only while playing: pause, stop, seek and a
// speed change close it (joining SDL's thread) and playing again reopens it at the held position.

#include "AudioSystem.h"
#include "MciParser.h"
#include "Mpg123Decoder.h"
#include "PlaybackClock.h"
#include "SpscRing.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace soundtouch {
class SoundTouch;
}

namespace zr::media {

struct DeviceOptions {
    std::uint32_t ringMs = 500;       // decoded audio held ahead of the device
    std::uint32_t startBufferMs = 50; // decoded before the device starts; at least one block
};

class MpegDevice {
public:
    // Opens the file; on failure returns the error and no device.
    [[nodiscard]] static int open(const std::string& path, const DeviceOptions& options,
                                  std::unique_ptr<MpegDevice>& device);
    ~MpegDevice();
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
    struct Block {
        std::int64_t trackStart = 0; // track frames covered by this block's samples
        std::int64_t trackEnd = 0;
        std::uint32_t frames = 0;
        std::vector<float> samples;
    };

    MpegDevice(std::unique_ptr<Mpg123Decoder> decoder, const DeviceOptions& options);

    void workerLoop();
    void produceBlockLocked();
    void startOutputLocked(std::int64_t from, std::int64_t end);
    void stopOutputLocked();
    void finishIfEndedLocked();
    [[nodiscard]] std::int64_t lengthFramesLocked();
    [[nodiscard]] std::int64_t currentFrameLocked() const;
    void updateGainLocked();
    void startNowLocked();

    static void audioCallback(void* user, Uint8* stream, int len);
    void fill(float* out, std::size_t frames);

    const DeviceOptions options_;
    std::unique_ptr<Mpg123Decoder> decoder_;
    const long rate_;
    const int channels_;

    std::mutex mutex_;
    std::condition_variable wake_;
    bool quit_ = false;
    DeviceMode mode_ = DeviceMode::Stopped;
    std::int64_t heldFrame_ = 0;
    bool atEnd_ = false;
    std::int64_t endFrame_ = 0; // where the current play ends (its "to", else the length)
    bool endIsTo_ = false;
    std::uint32_t volume_ = 1000;
    bool muted_ = false;
    std::uint32_t speed_ = 1000;
    bool started_ = false; // the output has been started at least once
    std::optional<std::chrono::steady_clock::time_point> startAt_; // pending first start

    // Producer state, under mutex_.
    std::unique_ptr<soundtouch::SoundTouch> tempo_;
    std::vector<float> scratch_;
    std::int64_t startFrame_ = 0; // also read by the callback; set while the output is closed
    std::int64_t fedEnd_ = 0;     // next track frame to decode
    std::int64_t outProduced_ = 0;
    bool inputDone_ = false;

    SpscRing<Block> ring_;
    const std::chrono::milliseconds idleWait_;
    AudioOutput output_;

    // Shared with the callback.
    std::atomic<bool> eos_{false};
    std::atomic<bool> finished_{false};
    std::atomic<std::int64_t> sounding_{0};
    std::atomic<float> gain_{1.0f};
    // Callback only (reset while the output is closed).
    Block* current_ = nullptr;
    std::uint32_t offset_ = 0;
    std::int64_t consumedEnd_ = 0;

    std::thread worker_;
};

} // namespace zr::media
