#include "MpegDevice.h"

#include "VolumeCurve.h"

#include <SoundTouch.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

namespace zr::media {
namespace {

constexpr std::uint32_t kBlockFrames = 1024;
constexpr std::int64_t kNoEnd = std::numeric_limits<std::int64_t>::max();
// A freshly opened device is usually configured right after "play" (volume, speed, sound off).
// Its first start waits this long so that the first samples heard already have those settings
// instead of one device period at the defaults.
constexpr std::chrono::milliseconds kFirstStartSettle{10};

std::size_t blocksFor(std::uint32_t ms, long rate) {
    const std::int64_t frames = static_cast<std::int64_t>(ms) * rate / 1000;
    return static_cast<std::size_t>((frames + kBlockFrames - 1) / kBlockFrames);
}

} // namespace

int MpegDevice::open(const std::string& path, const DeviceOptions& options,
                     std::unique_ptr<MpegDevice>& device) {
    auto decoder = std::make_unique<Mpg123Decoder>();
    if (int err = decoder->open(path))
        return err;
    // A header alone proves little: random bytes can look like one. Demand real audio.
    std::vector<float> probe(static_cast<std::size_t>(kBlockFrames) * decoder->channels());
    if (decoder->read(probe.data(), kBlockFrames) == 0 || !decoder->seek(0))
        return kMciCannotDecode;
    device.reset(new MpegDevice(std::move(decoder), options));
    return kMciOk;
}

MpegDevice::MpegDevice(std::unique_ptr<Mpg123Decoder> decoder, const DeviceOptions& options)
    : options_(options), decoder_(std::move(decoder)), rate_(decoder_->rate()),
      channels_(decoder_->channels()),
      ring_(std::max<std::size_t>(4, blocksFor(options.ringMs, decoder_->rate()))),
      idleWait_(std::clamp<std::uint32_t>(options.ringMs / 4, 10, 100)) {
    for (Block& b : ring_.storage())
        b.samples.resize(static_cast<std::size_t>(kBlockFrames) * channels_);
    scratch_.resize(static_cast<std::size_t>(kBlockFrames) * channels_);
    tempo_ = std::make_unique<soundtouch::SoundTouch>();
    tempo_->setSampleRate(static_cast<unsigned>(rate_));
    tempo_->setChannels(static_cast<unsigned>(channels_));
    worker_ = std::thread([this] { workerLoop(); });
}

MpegDevice::~MpegDevice() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        output_.close();
    }
    wake_.notify_all();
    worker_.join();
}

void MpegDevice::workerLoop() {
    std::unique_lock lock(mutex_);
    while (!quit_) {
        if (startAt_ && std::chrono::steady_clock::now() >= *startAt_) {
            startNowLocked();
            continue;
        }
        if (mode_ == DeviceMode::Playing && finished_.load(std::memory_order_acquire)) {
            finishIfEndedLocked();
            continue;
        }
        if (mode_ == DeviceMode::Playing && !eos_.load(std::memory_order_relaxed) &&
            ring_.writeSlot()) {
            produceBlockLocked();
            // Let a waiting command in between blocks.
            lock.unlock();
            std::this_thread::yield();
            lock.lock();
            continue;
        }
        // The callback cannot signal without risking a block, so the worker polls: often near
        // the end, otherwise about four times per ring's worth of sound, which keeps it well
        // filled while the thread stays asleep most of the time.
        const auto wait = mode_ == DeviceMode::Playing && eos_.load(std::memory_order_relaxed)
                              ? std::chrono::milliseconds(1)
                              : idleWait_;
        if (startAt_)
            wake_.wait_until(lock, std::min(*startAt_, std::chrono::steady_clock::now() + wait));
        else
            wake_.wait_for(lock, wait);
    }
}

void MpegDevice::startNowLocked() {
    startAt_.reset();
    started_ = true;
    output_.start();
}

void MpegDevice::produceBlockLocked() {
    Block* block = ring_.writeSlot();
    if (!block || eos_.load(std::memory_order_relaxed))
        return;
    const std::int64_t left = endFrame_ - fedEnd_;
    if (speed_ == 1000) {
        const auto want = static_cast<std::size_t>(std::clamp<std::int64_t>(left, 0, kBlockFrames));
        const std::size_t n = want > 0 ? decoder_->read(block->samples.data(), want) : 0;
        if (n == 0) {
            eos_.store(true, std::memory_order_release);
            return;
        }
        block->trackStart = fedEnd_;
        fedEnd_ += static_cast<std::int64_t>(n);
        block->trackEnd = fedEnd_;
        block->frames = static_cast<std::uint32_t>(n);
        ring_.publish();
        return;
    }
    const double tempo = speed_ / 1000.0;
    while (tempo_->numSamples() < kBlockFrames && !inputDone_) {
        const auto want = static_cast<std::size_t>(
            std::clamp<std::int64_t>(endFrame_ - fedEnd_, 0, kBlockFrames));
        const std::size_t n = want > 0 ? decoder_->read(scratch_.data(), want) : 0;
        if (n == 0) {
            inputDone_ = true;
            tempo_->flush();
            break;
        }
        tempo_->putSamples(scratch_.data(), static_cast<unsigned>(n));
        fedEnd_ += static_cast<std::int64_t>(n);
    }
    std::uint32_t room = kBlockFrames;
    if (inputDone_) {
        // flush() pads with silence; output no more than the input's length at this tempo.
        const auto total = static_cast<std::int64_t>(std::llround((fedEnd_ - startFrame_) / tempo));
        room = static_cast<std::uint32_t>(std::clamp<std::int64_t>(total - outProduced_, 0, room));
    }
    const unsigned n = room > 0 ? tempo_->receiveSamples(block->samples.data(), room) : 0;
    if (n == 0) {
        if (inputDone_)
            eos_.store(true, std::memory_order_release);
        return;
    }
    block->trackStart = std::min(
        fedEnd_, startFrame_ + static_cast<std::int64_t>(std::llround(outProduced_ * tempo)));
    outProduced_ += n;
    block->trackEnd = std::min(
        fedEnd_, startFrame_ + static_cast<std::int64_t>(std::llround(outProduced_ * tempo)));
    block->frames = n;
    ring_.publish();
}

void MpegDevice::startOutputLocked(std::int64_t from, std::int64_t end) {
    output_.close();
    ring_.reset();
    current_ = nullptr;
    offset_ = 0;
    consumedEnd_ = from;
    eos_.store(false);
    finished_.store(false);
    (void)decoder_->seek(from);
    tempo_->clear();
    tempo_->setTempo(speed_ / 1000.0);
    startFrame_ = from;
    fedEnd_ = from;
    outProduced_ = 0;
    inputDone_ = false;
    endFrame_ = end;
    sounding_.store(from);
    atEnd_ = false;
    // Decode the start now so the first callback already has sound.
    const std::size_t prefill =
        std::clamp<std::size_t>(blocksFor(options_.startBufferMs, rate_), 1, ring_.capacity());
    for (std::size_t i = 0;
         i < 4 * prefill && ring_.size() < prefill && !eos_.load(std::memory_order_relaxed); ++i)
        produceBlockLocked();
    output_.open(rate_, channels_, &MpegDevice::audioCallback, this);
    mode_ = DeviceMode::Playing;
    if (started_)
        output_.start();
    else
        startAt_ = std::chrono::steady_clock::now() + kFirstStartSettle;
    wake_.notify_all();
}

void MpegDevice::stopOutputLocked() {
    if (mode_ != DeviceMode::Playing)
        return;
    startAt_.reset();
    output_.close();
    heldFrame_ = sounding_.load();
    mode_ = DeviceMode::Stopped;
}

void MpegDevice::finishIfEndedLocked() {
    if (mode_ != DeviceMode::Playing || !finished_.load(std::memory_order_acquire))
        return;
    output_.close();
    mode_ = DeviceMode::Stopped;
    // Where the decodable audio ended early (a truncated file), the end still reads as the
    // length, so a caller waiting for position >= length sees the track end.
    if (endIsTo_) {
        heldFrame_ = endFrame_;
    } else {
        const std::int64_t length = lengthFramesLocked();
        heldFrame_ = length >= 0 ? length : fedEnd_;
        atEnd_ = true;
    }
}

std::int64_t MpegDevice::lengthFramesLocked() {
    return decoder_->lengthFrames();
}

std::int64_t MpegDevice::currentFrameLocked() const {
    return mode_ == DeviceMode::Playing ? sounding_.load() : heldFrame_;
}

int MpegDevice::play(std::optional<std::uint32_t> from, std::optional<std::uint32_t> to) {
    std::lock_guard lock(mutex_);
    finishIfEndedLocked();
    if (!from && !to && mode_ == DeviceMode::Playing)
        return kMciOk;
    std::int64_t start = 0;
    if (from) {
        const std::int64_t length = lengthFramesLocked();
        if (length < 0 || *from > frameToMs(length, rate_))
            return kMciBadNumber;
        start = std::min(msToFrame(*from, rate_), length);
    } else {
        start = atEnd_ ? 0 : currentFrameLocked();
    }
    std::int64_t end = kNoEnd;
    bool endIsTo = false;
    if (to) {
        const std::int64_t length = lengthFramesLocked();
        if (length < 0 || *to > frameToMs(length, rate_))
            return kMciBadNumber;
        end = std::min(msToFrame(*to, rate_), length);
        if (end < start)
            return kMciBadNumber;
        endIsTo = true;
    } else if (decoder_->lengthKnown()) {
        end = lengthFramesLocked();
    }
    stopOutputLocked();
    endIsTo_ = endIsTo;
    startOutputLocked(start, end);
    return kMciOk;
}

int MpegDevice::pause() {
    std::lock_guard lock(mutex_);
    finishIfEndedLocked();
    if (mode_ != DeviceMode::Playing)
        return kMciOk;
    stopOutputLocked();
    mode_ = DeviceMode::Paused;
    return kMciOk;
}

int MpegDevice::resume() {
    std::lock_guard lock(mutex_);
    finishIfEndedLocked();
    if (mode_ != DeviceMode::Paused)
        return kMciOk;
    startOutputLocked(heldFrame_, endFrame_);
    return kMciOk;
}

int MpegDevice::stop() {
    std::lock_guard lock(mutex_);
    finishIfEndedLocked();
    stopOutputLocked();
    mode_ = DeviceMode::Stopped;
    return kMciOk;
}

int MpegDevice::seek(SeekTarget target, std::uint32_t ms) {
    std::lock_guard lock(mutex_);
    finishIfEndedLocked();
    const std::int64_t length = lengthFramesLocked();
    std::int64_t frame = 0;
    if (target == SeekTarget::End) {
        if (length < 0)
            return kMciBadNumber;
        frame = length;
    } else if (target == SeekTarget::Position) {
        if (length < 0 || ms > frameToMs(length, rate_))
            return kMciBadNumber;
        frame = std::min(msToFrame(ms, rate_), length);
    }
    stopOutputLocked();
    mode_ = DeviceMode::Stopped;
    heldFrame_ = frame;
    atEnd_ = frame == length;
    return kMciOk;
}

int MpegDevice::setSpeed(std::uint32_t speed) {
    std::lock_guard lock(mutex_);
    finishIfEndedLocked();
    if (speed == speed_)
        return kMciOk;
    speed_ = speed;
    if (mode_ != DeviceMode::Playing)
        return kMciOk;
    // Decoded audio ahead of the device is at the old tempo: restart from what is heard now.
    stopOutputLocked();
    startOutputLocked(heldFrame_, endFrame_);
    return kMciOk;
}

void MpegDevice::updateGainLocked() {
    gain_.store(muted_ ? 0.0f : gainForVolume(volume_), std::memory_order_relaxed);
}

void MpegDevice::setVolume(std::uint32_t volume) {
    std::lock_guard lock(mutex_);
    volume_ = std::min(volume, kMaxVolume);
    updateGainLocked();
}

void MpegDevice::setMuted(bool muted) {
    std::lock_guard lock(mutex_);
    muted_ = muted;
    updateGainLocked();
}

std::uint32_t MpegDevice::lengthMs() {
    std::lock_guard lock(mutex_);
    return frameToMs(std::max<std::int64_t>(0, lengthFramesLocked()), rate_);
}

std::uint32_t MpegDevice::positionMs() {
    std::lock_guard lock(mutex_);
    finishIfEndedLocked();
    ClockState state;
    state.mode = mode_;
    state.heldFrame = heldFrame_;
    state.soundingFrame = sounding_.load();
    state.lengthFrames = decoder_->lengthKnown() ? lengthFramesLocked() : -1;
    state.rate = rate_;
    return zr::media::positionMs(state);
}

DeviceMode MpegDevice::mode() {
    std::lock_guard lock(mutex_);
    finishIfEndedLocked();
    return mode_;
}

std::uint32_t MpegDevice::volume() {
    std::lock_guard lock(mutex_);
    return volume_;
}

std::uint32_t MpegDevice::speed() {
    std::lock_guard lock(mutex_);
    return speed_;
}

void MpegDevice::audioCallback(void* user, Uint8* stream, int len) {
    auto* self = static_cast<MpegDevice*>(user);
    const std::size_t frames =
        static_cast<std::size_t>(len) / (sizeof(float) * static_cast<std::size_t>(self->channels_));
    self->fill(reinterpret_cast<float*>(stream), frames);
}

void MpegDevice::fill(float* out, std::size_t frames) {
    const float gain = gain_.load(std::memory_order_relaxed);
    const auto ch = static_cast<std::size_t>(channels_);
    std::size_t done = 0;
    std::int64_t firstFrame = -1;
    std::int64_t lastEnd = -1;
    while (done < frames) {
        if (!current_) {
            current_ = ring_.front();
            offset_ = 0;
            if (!current_)
                break;
        }
        const Block& b = *current_;
        const std::size_t n = std::min<std::size_t>(b.frames - offset_, frames - done);
        const float* src = b.samples.data() + static_cast<std::size_t>(offset_) * ch;
        for (std::size_t i = 0; i < n * ch; ++i)
            out[done * ch + i] = src[i] * gain;
        const std::int64_t span = b.trackEnd - b.trackStart;
        if (firstFrame < 0)
            firstFrame = b.trackStart + span * offset_ / b.frames;
        offset_ += static_cast<std::uint32_t>(n);
        done += n;
        lastEnd = b.trackStart + span * offset_ / b.frames;
        consumedEnd_ = lastEnd;
        if (offset_ == b.frames) {
            current_ = nullptr;
            ring_.pop();
        }
    }
    std::fill(out + done * ch, out + frames * ch, 0.0f);
    if (done > 0) {
        // The device queues what we just gave it: that is heard next, starting at firstFrame.
        sounding_.store(soundingFrame(lastEnd, lastEnd - firstFrame, startFrame_),
                        std::memory_order_relaxed);
        return;
    }
    sounding_.store(soundingFrame(consumedEnd_, 0, startFrame_), std::memory_order_relaxed);
    // Nothing left to give: once the producer has said so, the last buffer has been heard.
    if (eos_.load(std::memory_order_acquire) && !ring_.front()) {
        finished_.store(true, std::memory_order_release);
    }
}

} // namespace zr::media
