#include "Playback.h"

#include "PlaybackClock.h"
#include "SampleFormat.h"

#include <algorithm>
#include <chrono>

namespace zr::media {
namespace {

// The largest batch handed to a hungry server at once (about 1.5 s).
constexpr std::size_t kMaxFeedBlocks = 64;

std::size_t blocksForFrames(std::int64_t frames) {
    return static_cast<std::size_t>((frames + kBlockFrames - 1) / kBlockFrames);
}

std::size_t blocksFor(std::uint32_t ms, long rate) {
    return blocksForFrames(static_cast<std::int64_t>(ms) * rate / 1000);
}

} // namespace

Playback::Playback(std::unique_ptr<Mpg123Decoder> decoder, const DeviceOptions& options,
                   std::string streamName)
    : options_(options), decoder_(decoder.get()), rate_(decoder->rate()),
      channels_(decoder->channels()), streamName_(std::move(streamName)),
      prefillBlocks_(std::max<std::size_t>(1, blocksFor(options.startBufferMs, rate_))),
      // The ring must hold what the output takes at once on top of the refill margin: a sound
      // server that finds it short gets its request in pieces, each a wake-up on both sides.
      pullBlocks_(blocksForFrames(static_cast<std::int64_t>(
          AudioOutput::largestPull(rate_, channels_, options.bufferFrames)))),
      refillBelowBlocks_(
          std::max<std::size_t>(1, blocksFor(options.refillBelowMs, rate_) + pullBlocks_)),
      // Above the refill mark, room for one more pull: then a pull in two wakes the worker.
      ring_(std::max<std::size_t>(
          {4, blocksFor(options.ringMs, rate_), prefillBlocks_,
           refillBelowBlocks_ + std::max(pullBlocks_ + 1, refillBelowBlocks_ - pullBlocks_)})),
      producer_(std::move(decoder)), ringIn_(ring_.producer()), ringOut_(ring_.consumer()) {
    for (AudioBlock& b : ring_.storage())
        b.samples.resize(static_cast<std::size_t>(kBlockFrames) * channels_);
    decoder_->setStallLimit(std::chrono::milliseconds(options.stallLimitMs));
}

Playback::~Playback() {
    output_.close();
}

void Playback::restart(const PlayStart& start) {
    // Reset while the callback is held (or not running at all), so the output stays open
    // across a seek or a speed change.
    if (output_.isOpen())
        output_.withCallbackHeld([&] { resetCallbackState(start.from); }, true);
    else
        resetCallbackState(start.from);
    producer_.restart(start.from, start.end, start.speed);
    producedGeneration_ = start.generation;
    startedGeneration_.store(start.generation, std::memory_order_release);
}

void Playback::resetCallbackState(std::int64_t from) {
    ZR_ASSERT(output_.callbackExcluded());
    while (ringOut_.front())
        ringOut_.pop();
    current_ = nullptr;
    offset_ = 0;
    consumedEnd_ = from;
    callbackStart_ = from;
    lastPopped_ = false;
    pulledTempo_ = 1.0;
    heard_.store(from, std::memory_order_relaxed);
    ended_.store(false, std::memory_order_relaxed);
}

bool Playback::readyToOpen() const {
    return !output_.isOpen() && (ringIn_.size() >= prefillBlocks_ || producer_.finished());
}

void Playback::openOutput() {
    everStarted_ = true;
    output_.open(rate_, channels_, options_.bufferFrames, streamName_,
                 static_cast<AudioSource&>(*this));
    output_.start();
}

void Playback::closeOutput() {
    output_.close();
}

bool Playback::takeOutputLost() {
    return outputLost_.exchange(false, std::memory_order_acquire);
}

bool Playback::canFill() {
    return !producer_.finished() && ringIn_.slot();
}

void Playback::fill(std::uint32_t seen) {
    wantRoom_.store(false, std::memory_order_relaxed);
    // After a start or a dry spell the server waits for audio: give it what comes rather than
    // the whole ring at the end, in batches that double (1, 2, 4 ... blocks). The server then
    // always holds more than the next batch takes to decode, and a start costs a handful of
    // writes (each a wake-up here and in the server) instead of one per block.
    std::size_t batch = 1;
    std::size_t pending = 0;
    while (!producer_.finished() && wake_.load(std::memory_order_acquire) == seen) {
        AudioBlock* block = ringIn_.slot();
        if (!block)
            break;
        producer_.fill(*block);
        ringIn_.publish();
        if (!output_.isOpen()) {
            if (ringIn_.size() >= prefillBlocks_)
                break;
            continue;
        }
        if (++pending >= batch) {
            if (output_.feedIfHungry())
                batch = std::min<std::size_t>(2 * batch, kMaxFeedBlocks);
            pending = 0;
        }
    }
    if (pending > 0)
        output_.feedIfHungry();
}

bool Playback::askForRoom(bool playing) {
    const bool waitForRoom = playing && !producer_.finished();
    // The hand-off with pull(): each side changes one thing (the worker the request, the callback
    // the ring) and then looks at the other. Both requests are read-modify-writes of wantRoom_,
    // so one of them comes second and sees the other's: the callback the request (it wakes the
    // worker), or the worker what the callback had popped before its own (it fills, not sleeps).
    wantRoom_.exchange(waitForRoom, std::memory_order_acq_rel);
    return !(waitForRoom && ringIn_.slot() && ringIn_.size() <= refillBelowBlocks_);
}

void Playback::waitForWake(std::uint32_t seen) {
    wake_.wait(seen, std::memory_order_acquire);
}

void Playback::wake() {
    wake_.fetch_add(1, std::memory_order_release);
    wake_.notify_one();
}

std::int64_t Playback::heardFrame() const {
    std::int64_t heard = heard_.load(std::memory_order_relaxed);
    // Through a sound server that holds a long queue, what is heard is behind what was pulled
    // by what it still holds (in track time: the tempo scales it).
    output_.withServerClock([&](std::optional<std::int64_t> queued) {
        const std::int64_t pulled = consumedEnd_;
        const std::int64_t behind =
            queued ? static_cast<std::int64_t>(static_cast<double>(*queued) * pulledTempo_)
                   : pulled - callbackStart_; // unknown yet: the start
        heard = soundingFrame(pulled, behind, callbackStart_);
    });
    return heard;
}

void Playback::setVolume(float gain, bool muted) {
    gain_.store(muted ? 0.0f : gain, std::memory_order_relaxed);
    output_.setVolume(gain, muted);
}

void Playback::silence() {
    audible_.store(0, std::memory_order_release);
    output_.dropQueued();
}

bool Playback::stalled() const {
    return options_.stallLimitMs > 0 &&
           decoder_->busyFor() >= std::chrono::milliseconds(options_.stallLimitMs);
}

const AudioBlock* Playback::currentBlock() {
    if (!current_) {
        current_ = ringOut_.front();
        offset_ = 0;
    }
    return current_;
}

template <typename Put> std::size_t Playback::takeFromBlock(std::size_t frames, Put&& put) {
    const AudioBlock& b = *current_;
    std::size_t n = 0;
    if (b.frames > 0) {
        const auto ch = static_cast<std::size_t>(channels_);
        n = std::min<std::size_t>(b.frames - offset_, frames);
        put(b.samples.data() + static_cast<std::size_t>(offset_) * ch, n);
        const std::int64_t span = b.trackEnd - b.trackStart;
        pulledTempo_ = static_cast<double>(span) / b.frames;
        offset_ += static_cast<std::uint32_t>(n);
        consumedEnd_ = b.trackStart + span * offset_ / b.frames;
    }
    if (offset_ == b.frames) {
        if (b.last) {
            lastPopped_ = true;
            consumedEnd_ = b.trackEnd;
            endedFrame_.store(b.trackEnd, std::memory_order_relaxed);
        }
        current_ = nullptr;
        ringOut_.pop();
    }
    return n;
}

template <typename Put> std::size_t Playback::pullWith(std::size_t frames, Put&& put) {
    // Only the start that may be heard, and only once the ring holds it.
    const std::uint32_t audible = audible_.load(std::memory_order_acquire);
    if (audible == 0 || audible != startedGeneration_.load(std::memory_order_acquire))
        return 0;
    std::size_t done = 0;
    std::int64_t firstFrame = -1;
    std::int64_t lastEnd = -1;
    while (done < frames && currentBlock()) {
        if (firstFrame < 0 && current_->frames > 0)
            firstFrame = current_->trackStart +
                         (current_->trackEnd - current_->trackStart) * offset_ / current_->frames;
        const std::size_t n =
            takeFromBlock(frames - done, [&](const std::int16_t* from, std::size_t count) {
                put(from, done, count);
            });
        if (n > 0)
            lastEnd = consumedEnd_;
        done += n;
    }
    // The output queues what we just gave it: that is heard next, starting at firstFrame.
    heard_.store(done > 0 ? soundingFrame(lastEnd, lastEnd - firstFrame, callbackStart_)
                          : soundingFrame(consumedEnd_, 0, callbackStart_),
                 std::memory_order_relaxed);
    wakeForRoom();
    return done;
}

std::size_t Playback::pull(float* out, std::size_t frames, bool applyGain) {
    const float gain = applyGain ? gain_.load(std::memory_order_relaxed) : 1.0f;
    const auto ch = static_cast<std::size_t>(channels_);
    return pullWith(frames, [&](const std::int16_t* from, std::size_t at, std::size_t n) {
        s16ToFloat(from, out + at * ch, n * ch, gain);
    });
}

std::size_t Playback::pullInto(const FrameWriter& writer, std::size_t frames) {
    return pullWith(frames, [&](const std::int16_t* from, std::size_t at, std::size_t n) {
        writer.put(writer.context, from, at, n);
    });
}

void Playback::wakeForRoom() {
    // In batches: only when the worker asked and the ring is nearly empty (askForRoom says why
    // this is an exchange, and not a load first).
    if (ringOut_.size() <= refillBelowBlocks_ &&
        wantRoom_.exchange(false, std::memory_order_acq_rel))
        wake();
}

bool Playback::exhausted() const {
    return lastPopped_;
}

void Playback::playedOut() {
    if (!ended_.load(std::memory_order_relaxed)) {
        ended_.store(true, std::memory_order_release);
        wake();
    }
}

void Playback::outputLost() {
    outputLost_.store(true, std::memory_order_release);
    wake();
}

} // namespace zr::media
