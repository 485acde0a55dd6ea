#include "MpegDevice.h"

#include "MciErrors.h"
#include "MediaAssert.h"
#include "VolumeCurve.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <limits>
#include <utility>

namespace zr::media {
namespace {

constexpr std::int64_t kNoEnd = std::numeric_limits<std::int64_t>::max();
// A freshly opened device is usually configured right after "play" (volume, speed, sound off).
// Its first start waits this long so that the first samples heard already have those settings
// instead of one device period at the defaults.
constexpr std::chrono::milliseconds kFirstStartSettle{10};

// Audio this small is counted while it opens (a few ms), so its length is exact at once.
constexpr std::int64_t kCountAtOpenBytes = 2 * 1024 * 1024;

std::size_t blocksFor(std::uint32_t ms, long rate) {
    const std::int64_t frames = static_cast<std::int64_t>(ms) * rate / 1000;
    return static_cast<std::size_t>((frames + kBlockFrames - 1) / kBlockFrames);
}

std::string baseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

OpenedTrack::OpenedTrack(OpenedTrack&& other) noexcept
    : decoder(std::move(other.decoder)), exactFrames(other.exactFrames),
      scanFd(std::exchange(other.scanFd, -1)), name(std::move(other.name)) {}

OpenedTrack::~OpenedTrack() {
    if (scanFd >= 0)
        ::close(scanFd);
}

int MpegDevice::prepare(const std::string& path, OpenedTrack& track) {
    auto decoder = std::make_unique<Mpg123Decoder>();
    if (int err = decoder->open(path))
        return err;
    // A header alone proves little: random bytes can look like one. Demand real audio.
    std::vector<float> probe(static_cast<std::size_t>(kBlockFrames) * decoder->channels());
    if (decoder->read(probe.data(), kBlockFrames) == 0 || !decoder->seek(0))
        return kMciCannotDecode;
    track.exactFrames = decoder->headerLengthFrames();
    // A count reads the same file through a descriptor of its own (its own offset), which reaches
    // it whatever its path, even once renamed or deleted, and a decoder of its own (a scan
    // changes how a handle trims the ends of a file whose header over-counts).
    const auto ownDescriptor = [&] {
        return openRegularFile("/proc/self/fd/" + std::to_string(decoder->fd()));
    };
    if (track.exactFrames < 0 && decoder->audioBytes() <= kCountAtOpenBytes) {
        Mpg123Decoder counter;
        const int fd = ownDescriptor();
        if (fd >= 0 && counter.openFd(fd) == kMciOk)
            track.exactFrames = counter.scanLengthFrames();
    }
    if (track.exactFrames < 0)
        track.scanFd = ownDescriptor();
    track.name = baseName(path);
    track.decoder = std::move(decoder);
    return kMciOk;
}

MpegDevice::MpegDevice(OpenedTrack track, const DeviceOptions& options)
    : options_(options), rate_(track.decoder->rate()), channels_(track.decoder->channels()),
      streamName_(track.name),
      prefillBlocks_(std::max<std::size_t>(1, blocksFor(options.startBufferMs, rate_))),
      refillBelowBlocks_(std::max<std::size_t>(1, blocksFor(options.refillBelowMs, rate_))),
      ring_(std::max<std::size_t>(
          {4, blocksFor(options.ringMs, rate_), prefillBlocks_, 2 * refillBelowBlocks_})),
      clock_(rate_, track.decoder->estimatedLengthFrames(), track.exactFrames),
      producer_(std::move(track.decoder)), ringIn_(ring_.producer()), ringOut_(ring_.consumer()) {
    for (AudioBlock& b : ring_.storage())
        b.samples.resize(static_cast<std::size_t>(kBlockFrames) * channels_);
    if (track.scanFd >= 0)
        scanner_ = std::make_unique<LengthScanner>(std::exchange(track.scanFd, -1));
}

std::shared_ptr<MpegDevice> MpegDevice::start(OpenedTrack track, const DeviceOptions& options) {
    auto device = std::make_shared<MpegDevice>(std::move(track), options);
    // Detached and co-owning: a read stuck in the kernel must not hold up close or exit. An SDL
    // thread, because SDL frees the thread-local state its calls leave (its error text) only
    // when one of its own threads ends; the worker opens and closes the SDL device.
    auto owner = std::make_unique<std::shared_ptr<MpegDevice>>(device);
    SDL_Thread* thread = SDL_CreateThread(
        [](void* data) -> int {
            const std::unique_ptr<std::shared_ptr<MpegDevice>> self(
                static_cast<std::shared_ptr<MpegDevice>*>(data));
            (*self)->workerLoop();
            return 0;
        },
        "zr-media", owner.get());
    if (thread) {
        owner.release(); // the thread owns it now
        SDL_DetachThread(thread);
    } else {
        std::thread([device] { device->workerLoop(); }).detach();
    }
    return device;
}

MpegDevice::~MpegDevice() = default;

void MpegDevice::close() {
    std::unique_lock lock(mutex_);
    quit_ = true;
    wakeWorker();
    workerStopped_.wait_for(lock, kCloseWait, [this] { return workerDone_; });
}

void MpegDevice::wakeWorker() {
    wake_.fetch_add(1, std::memory_order_release);
    wake_.notify_one();
}

void MpegDevice::workerLoop() {
    workerId_ = std::this_thread::get_id();
    std::unique_lock lock(mutex_);
    while (!quit_) {
        if (outputLost_.exchange(false, std::memory_order_acquire) && output_.isOpen()) {
            // The output's sink or server went away (or, for a silent stand-in, came back).
            // What it held was never heard: the track goes on from what was, on whatever
            // output opens next (AudioOutput: another stream, or silence in real time).
            const std::uint32_t generation = generation_;
            const bool goOn = mode_ == DeviceMode::Playing && !endedLocked();
            const std::int64_t heard = goOn ? heardFrameLocked() : 0;
            lock.unlock();
            output_.close();
            lock.lock();
            if (goOn && generation == generation_ && mode_ == DeviceMode::Playing)
                restartLocked(heard, endFrame_, endIsTo_);
            continue;
        }
        if (endedLocked()) {
            // The device first lets go of the output (its last samples are out, a capture
            // file is complete), then the commands see the track stopped at its end.
            const std::uint32_t generation = generation_;
            if (output_.isOpen()) {
                lock.unlock();
                output_.close();
                lock.lock();
            }
            if (generation == generation_ && endedLocked())
                finishLocked();
            continue;
        }
        if (mode_ != DeviceMode::Playing) {
            if (output_.isOpen()) {
                lock.unlock();
                output_.close();
                lock.lock();
                continue;
            }
        } else if (producedGeneration_ != generation_) {
            const std::uint32_t generation = generation_;
            const std::int64_t from = startFrame_;
            const std::int64_t end = endFrame_;
            const std::uint32_t speed = speed_;
            lock.unlock();
            restartProducer(from, end, speed);
            producedGeneration_ = generation;
            startedGeneration_.store(generation, std::memory_order_release);
            lock.lock();
            continue;
        } else if (!output_.isOpen() &&
                   (ringIn_.size() >= prefillBlocks_ || producer_.finished())) {
            const bool first = !everStarted_;
            everStarted_ = true;
            lock.unlock();
            if (first)
                std::this_thread::sleep_for(kFirstStartSettle);
            output_.open(rate_, channels_, options_.bufferFrames, streamName_,
                         static_cast<AudioSource&>(*this));
            output_.start();
            lock.lock();
            continue;
        } else if (!producer_.finished() && ringIn_.slot()) {
            // Fill the ring to the top in one go: one wake-up per ring of sound. Stop early for
            // a command or the callback (they bump wake_), and to start the output as soon as
            // the start buffer is there rather than once the whole ring is.
            wantRoom_.store(false, std::memory_order_relaxed);
            const std::uint32_t seen = wake_.load(std::memory_order_acquire);
            lock.unlock();
            while (!producer_.finished() && wake_.load(std::memory_order_acquire) == seen) {
                AudioBlock* block = ringIn_.slot();
                if (!block)
                    break;
                producer_.fill(*block);
                ringIn_.publish();
                if (!output_.isOpen() && ringIn_.size() >= prefillBlocks_)
                    break;
                // After a start or a dry spell the server waits for audio: give it each block
                // as it comes rather than the whole ring at the end.
                if (output_.isOpen())
                    output_.feedIfHungry();
            }
            lock.lock();
            continue;
        }
        // Nothing to do until a command or the callback says so. Asking for room first and
        // looking again after closes the gap where the callback could miss the request.
        const bool waitForRoom = mode_ == DeviceMode::Playing && !producer_.finished();
        wantRoom_.store(waitForRoom, std::memory_order_relaxed);
        const std::uint32_t seen = wake_.load(std::memory_order_acquire);
        if (waitForRoom && ringIn_.slot() && ringIn_.size() <= refillBelowBlocks_)
            continue;
        lock.unlock();
        wake_.wait(seen, std::memory_order_acquire);
        lock.lock();
    }
    lock.unlock();
    output_.close();
    lock.lock();
    workerDone_ = true;
    workerStopped_.notify_all();
}

void MpegDevice::restartProducer(std::int64_t from, std::int64_t end, std::uint32_t speed) {
    ZR_ASSERT(workerId_ == std::this_thread::get_id());
    // What is in the ring belongs to the previous start: drop it while the callback is held
    // (or not running at all), so the device stays open across a seek or a speed change.
    if (output_.isOpen())
        output_.withCallbackHeld([&] { resetCallbackState(from); }, true);
    else
        resetCallbackState(from);
    producer_.restart(from, end, speed);
}

void MpegDevice::resetCallbackState(std::int64_t from) {
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

void MpegDevice::restartLocked(std::int64_t from, std::int64_t end, bool endIsTo) {
    startFrame_ = from;
    endFrame_ = end;
    endIsTo_ = endIsTo;
    ++generation_;
    mode_ = DeviceMode::Playing;
    clock_.clearEnded();
    wakeWorker();
}

void MpegDevice::holdLocked(DeviceMode mode) {
    if (mode_ == DeviceMode::Playing)
        heldFrame_ = heardFrameLocked();
    mode_ = mode;
    wakeWorker(); // to close the output
}

std::int64_t MpegDevice::heardFrameLocked() const {
    // Until the worker has taken up the latest start, what is heard is where it starts.
    if (startedGeneration_.load(std::memory_order_acquire) != generation_)
        return startFrame_;
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

bool MpegDevice::endedLocked() const {
    return mode_ == DeviceMode::Playing &&
           startedGeneration_.load(std::memory_order_acquire) == generation_ &&
           ended_.load(std::memory_order_acquire);
}

void MpegDevice::finishLocked() {
    mode_ = DeviceMode::Stopped;
    if (endIsTo_) {
        heldFrame_ = endFrame_;
        if (endFrame_ >= clock_.bestFrames())
            clock_.markEnded();
        return;
    }
    // The decoder's real end is the length, unless a scan counted more (a damaged file may end
    // its decodable audio early; the end then still reads as the length). A scan counts less
    // than was played where the sample rate changes inside the file: what was played wins.
    heldFrame_ = endedFrame_.load(std::memory_order_relaxed);
    takeScanResultLocked();
    if (heldFrame_ > clock_.exactFrames())
        clock_.setExactFrames(heldFrame_);
    clock_.markEnded();
}

void MpegDevice::takeScanResultLocked() {
    if (scanner_ && scanner_->done()) {
        if (clock_.exactFrames() < 0)
            clock_.setExactFrames(scanner_->frames());
        scanner_.reset();
    }
}

int MpegDevice::play(std::optional<std::uint32_t> from, std::optional<std::uint32_t> to) {
    std::lock_guard lock(mutex_);
    takeScanResultLocked();
    if (!from && !to && mode_ == DeviceMode::Playing)
        return kMciOk;
    const std::int64_t length = clock_.bestFrames();
    std::int64_t start = 0;
    if (from) {
        if (*from > frameToMs(length, rate_))
            return kMciBadNumber;
        start = std::min(msToFrame(*from, rate_), length);
    } else {
        start =
            clock_.ended() ? 0 : (mode_ == DeviceMode::Playing ? heardFrameLocked() : heldFrame_);
    }
    std::int64_t end = kNoEnd;
    if (to) {
        if (*to > frameToMs(length, rate_))
            return kMciBadNumber;
        end = std::min(msToFrame(*to, rate_), length);
        if (end < start)
            return kMciBadNumber;
    }
    restartLocked(start, end, to.has_value());
    return kMciOk;
}

int MpegDevice::pause() {
    std::lock_guard lock(mutex_);
    if (mode_ == DeviceMode::Playing)
        holdLocked(DeviceMode::Paused);
    return kMciOk;
}

int MpegDevice::resume() {
    std::lock_guard lock(mutex_);
    if (mode_ == DeviceMode::Paused)
        restartLocked(heldFrame_, endFrame_, endIsTo_);
    return kMciOk;
}

int MpegDevice::stop() {
    std::lock_guard lock(mutex_);
    holdLocked(DeviceMode::Stopped);
    return kMciOk;
}

int MpegDevice::seek(SeekTarget target, std::uint32_t ms) {
    std::lock_guard lock(mutex_);
    takeScanResultLocked();
    const std::int64_t length = clock_.bestFrames();
    std::int64_t frame = 0;
    if (target == SeekTarget::End) {
        frame = length;
    } else if (target == SeekTarget::Position) {
        if (ms > frameToMs(length, rate_))
            return kMciBadNumber;
        frame = std::min(msToFrame(ms, rate_), length);
    }
    holdLocked(DeviceMode::Stopped);
    heldFrame_ = frame;
    if (frame >= length)
        clock_.markEnded();
    else
        clock_.clearEnded();
    return kMciOk;
}

int MpegDevice::setSpeed(std::uint32_t speed) {
    std::lock_guard lock(mutex_);
    if (speed == speed_)
        return kMciOk;
    speed_ = speed;
    // Decoded audio ahead of the device is at the old tempo: go on from what is heard now.
    if (mode_ == DeviceMode::Playing)
        restartLocked(heardFrameLocked(), endFrame_, endIsTo_);
    return kMciOk;
}

void MpegDevice::updateGainLocked() {
    gain_.store(muted_ ? 0.0f : gainForVolume(volume_), std::memory_order_relaxed);
    output_.setVolume(gainForVolume(volume_), muted_);
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
    takeScanResultLocked();
    return clock_.lengthReply();
}

std::uint32_t MpegDevice::positionMs() {
    std::lock_guard lock(mutex_);
    return clock_.positionReply(mode_ == DeviceMode::Playing ? heardFrameLocked() : heldFrame_);
}

DeviceMode MpegDevice::mode() {
    std::lock_guard lock(mutex_);
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

std::size_t MpegDevice::pull(float* out, std::size_t frames, bool applyGain) {
    const float gain = applyGain ? gain_.load(std::memory_order_relaxed) : 1.0f;
    const auto ch = static_cast<std::size_t>(channels_);
    std::size_t done = 0;
    std::int64_t firstFrame = -1;
    std::int64_t lastEnd = -1;
    while (done < frames) {
        if (!current_) {
            current_ = ringOut_.front();
            offset_ = 0;
            if (!current_)
                break;
        }
        const AudioBlock& b = *current_;
        if (b.frames > 0) {
            const std::size_t n = std::min<std::size_t>(b.frames - offset_, frames - done);
            const float* src = b.samples.data() + static_cast<std::size_t>(offset_) * ch;
            if (gain == 1.0f)
                std::copy(src, src + n * ch, out + done * ch);
            else
                for (std::size_t i = 0; i < n * ch; ++i)
                    out[done * ch + i] = src[i] * gain;
            const std::int64_t span = b.trackEnd - b.trackStart;
            pulledTempo_ = static_cast<double>(span) / b.frames;
            if (firstFrame < 0)
                firstFrame = b.trackStart + span * offset_ / b.frames;
            offset_ += static_cast<std::uint32_t>(n);
            done += n;
            lastEnd = b.trackStart + span * offset_ / b.frames;
            consumedEnd_ = lastEnd;
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
    }
    // The output queues what we just gave it: that is heard next, starting at firstFrame.
    if (done > 0)
        heard_.store(soundingFrame(lastEnd, lastEnd - firstFrame, callbackStart_),
                     std::memory_order_relaxed);
    else
        heard_.store(soundingFrame(consumedEnd_, 0, callbackStart_), std::memory_order_relaxed);

    // Wake the worker in batches: only when it asked and the ring is nearly empty.
    if (wantRoom_.load(std::memory_order_relaxed) && ringOut_.size() <= refillBelowBlocks_ &&
        wantRoom_.exchange(false, std::memory_order_relaxed))
        wakeWorker();
    return done;
}

bool MpegDevice::exhausted() const {
    return lastPopped_;
}

void MpegDevice::playedOut() {
    if (!ended_.load(std::memory_order_relaxed)) {
        ended_.store(true, std::memory_order_release);
        wakeWorker();
    }
}

void MpegDevice::outputLost() {
    outputLost_.store(true, std::memory_order_release);
    wakeWorker();
}

} // namespace zr::media
