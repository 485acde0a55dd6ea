#pragma once
// The playback half of a device: what its worker thread and its output's callback own. The worker
// decodes (TrackProducer: libmpg123 + SoundTouch) into a lock-free ring and opens, starts and
// closes the output; the callback (AudioSource::pull) empties the ring, never blocking,
// allocating or touching the file, and publishes the track frame being heard.
//
// Each member says which thread may call it. "Worker" members run on the device's worker
// without the device's mutex (they may block on the file or the output). "Any thread" members
// are what the commands use: they touch only atomics or the output's own locks, and never
// block on the file.
//
// Wake-ups: the worker sleeps on one futex word (wake_, C++20 atomic wait) with no timeout.
// A command bumps it; the callback bumps it only when the worker asked for room and the ring is
// down to its last refillBelowMs plus what the output takes at once, when the last block has
// been heard, or when the output was lost (its server or sink went away: the worker closes it
// and starts again from what was heard, on another stream or in silence), so a playing device
// wakes its worker every few seconds and an idle one never. Long bursts are the point: a decoder
// woken cold (its tables out of the caches) costs a sixth more per frame in half-second bursts
// than in four-second ones.

#include "AudioSystem.h"
#include "DeviceOptions.h"
#include "SpscRing.h"
#include "TrackProducer.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace zr::media {

// A start of playback: from a frame to an end frame (or past any track) at a speed. Starts are
// numbered (generation) so that the worker and the callback can tell which one they hold.
struct PlayStart {
    std::uint32_t generation = 0;
    std::int64_t from = 0;
    std::int64_t end = 0;
    std::uint32_t speed = 1000;
};

class Playback : private AudioSource {
public:
    Playback(std::unique_ptr<Mpg123Decoder> decoder, const DeviceOptions& options,
             std::string streamName);
    ~Playback();
    Playback(const Playback&) = delete;
    Playback& operator=(const Playback&) = delete;

    // --- Worker ---
    // Brings the producer and the ring to a new start. What the ring (and a sound server) holds
    // belongs to the previous one and is dropped; an open output stays open.
    void restart(const PlayStart& start);
    // The generation of the last restart (0 before the first).
    [[nodiscard]] std::uint32_t producedGeneration() const { return producedGeneration_; }
    [[nodiscard]] bool outputOpen() const { return output_.isOpen(); }
    // Whether the output may start: the start buffer is decoded, or all there is to decode.
    [[nodiscard]] bool readyToOpen() const;
    // Opens the output and starts it.
    void openOutput();
    // Whether the output has been opened before (a device's first start waits for its settings).
    [[nodiscard]] bool everStarted() const { return everStarted_; }
    void closeOutput();
    // Whether the output said it was lost since the last call.
    [[nodiscard]] bool takeOutputLost();
    // Whether the ring has room and the producer has more to give.
    [[nodiscard]] bool canFill();
    // Fills the ring to the top in one go, and stops early when wakeCount() moves on from seen
    // or, with the output closed, as soon as the start buffer is there.
    void fill(std::uint32_t seen);
    // Before the worker sleeps: asks the callback for a wake-up once the ring runs low (when
    // playing and the producer has more). False when the ring ran low meanwhile: fill instead.
    [[nodiscard]] bool askForRoom(bool playing);
    // Sleeps until wakeCount() is no longer seen.
    void waitForWake(std::uint32_t seen);

    // --- Any thread ---
    void wake();
    [[nodiscard]] std::uint32_t wakeCount() const { return wake_.load(std::memory_order_acquire); }
    // The generation whose blocks the ring and the callback hold now.
    [[nodiscard]] std::uint32_t startedGeneration() const {
        return startedGeneration_.load(std::memory_order_acquire);
    }
    // The callback has heard the last block of the start it holds.
    [[nodiscard]] bool ended() const { return ended_.load(std::memory_order_acquire); }
    // Where the decodable audio of that start ended (valid once ended()).
    [[nodiscard]] std::int64_t endedFrame() const {
        return endedFrame_.load(std::memory_order_relaxed);
    }
    // The track frame being heard now, for the start the callback holds. Through a sound
    // server that holds a long queue, asks the output how much it holds.
    [[nodiscard]] std::int64_t heardFrame() const;
    // Volume (linear gain) and mute: the stream's own on a sound server, else in the samples.
    void setVolume(float gain, bool muted);
    // The start that may be heard: the callback plays the ring only while it holds that one.
    void play(std::uint32_t generation) { audible_.store(generation, std::memory_order_release); }
    // Nothing may be heard from now on (a stop or a pause): the callback gives nothing and what
    // a sound server still holds is dropped, even while the worker is stuck in a read.
    void silence();
    // A read() or seek() of the file has given nothing for the stall limit.
    [[nodiscard]] bool stalled() const;
    // Every later read of the file fails (the device is closing).
    void cancelReads() { decoder_->cancel(); }

    [[nodiscard]] long rate() const { return rate_; }
    [[nodiscard]] int channels() const { return channels_; }

private:
    void resetCallbackState(std::int64_t from);

    // AudioSource: the output's callback.
    std::size_t pull(float* out, std::size_t frames, bool applyGain) override;
    std::size_t pullInto(const FrameWriter& writer, std::size_t frames) override;
    // Both pulls: put(from, at, n) takes n frames from the ring to output frame at.
    template <typename Put> std::size_t pullWith(std::size_t frames, Put&& put);
    // The block being handed over (the ring's front), or nullptr when the ring is dry.
    const AudioBlock* currentBlock();
    // Hands over what it can of that block (put(from, n)), and lets go of the block once it is
    // all handed over.
    template <typename Put> std::size_t takeFromBlock(std::size_t frames, Put&& put);
    // Wakes the worker to refill the ring, if it asked and the ring runs low.
    void wakeForRoom();
    [[nodiscard]] bool exhausted() const override;
    void playedOut() override;
    void outputLost() override;

    // --- Fixed at construction (any thread) ---
    const DeviceOptions options_;
    Mpg123Decoder* const decoder_; // the producer's; any thread only for busyFor() and cancel()
    const long rate_;
    const int channels_;
    const std::string streamName_;
    const std::size_t prefillBlocks_;
    const std::size_t pullBlocks_;
    const std::size_t refillBelowBlocks_;
    // Its producer half belongs to the worker, its consumer half to the callback.
    SpscRing<AudioBlock> ring_;

    // --- Worker only ---
    TrackProducer producer_;
    SpscRing<AudioBlock>::Producer ringIn_;
    std::uint32_t producedGeneration_ = 0;
    bool everStarted_ = false;

    // The worker opens, starts and closes it; setVolume and withServerClock take its own lock
    // and serve any thread.
    AudioOutput output_;

    // --- Shared by the worker, the commands and the callback: atomics ---
    std::atomic<std::uint32_t> wake_{0};              // the worker's futex word
    std::atomic<std::uint32_t> startedGeneration_{0}; // the start the ring and callback hold
    std::atomic<std::uint32_t> audible_{0};           // the start that may be heard; 0: none
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
