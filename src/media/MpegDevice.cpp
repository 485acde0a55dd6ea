#include "MpegDevice.h"

#include "MciErrors.h"
#include "Utf8.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <thread>
#include <utility>
#include <vector>

namespace zr::media {
namespace {

// A freshly opened device is usually configured right after "play" (volume, speed, sound off).
// Its first start waits until no such command has come for kFirstStartSettle (but no longer than
// kFirstStartSettleMax), so that the first samples heard already have those settings instead of
// one device period at the defaults, also when the caller is slow to send them.
constexpr std::chrono::milliseconds kFirstStartSettle{10};
constexpr std::chrono::milliseconds kFirstStartSettleMax{200};

// Audio this small is counted while it opens (a few ms), so its length is exact at once.
constexpr std::int64_t kCountAtOpenBytes = 2 * 1024 * 1024;

const char* modeText(DeviceMode mode) {
    switch (mode) {
    case DeviceMode::Playing:
        return "playing";
    case DeviceMode::Paused:
        return "paused";
    case DeviceMode::Stopped:
        break;
    }
    return "stopped";
}

std::string baseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

OpenedTrack::OpenedTrack(OpenedTrack&& other) noexcept
    : decoder(std::move(other.decoder)), estimateFrames(other.estimateFrames),
      exactFrames(other.exactFrames), scanFd(std::exchange(other.scanFd, -1)),
      name(std::move(other.name)) {}

OpenedTrack::~OpenedTrack() {
    if (scanFd >= 0)
        ::close(scanFd);
}

int MpegDevice::prepare(const std::string& path, OpenedTrack& track) {
    if (!track.decoder)
        track.decoder = std::make_unique<Mpg123Decoder>();
    Mpg123Decoder& decoder = *track.decoder;
    if (int err = decoder.open(path))
        return err;
    // A header alone proves little: random bytes can look like one. Demand real audio.
    std::vector<std::int16_t> probe(static_cast<std::size_t>(kBlockFrames) * decoder.channels());
    if (decoder.read(probe.data(), kBlockFrames) == 0 || !decoder.seek(0))
        return kMciCannotDecode;
    track.estimateFrames = decoder.estimatedLengthFrames();
    track.exactFrames = decoder.headerLengthFrames();
    // A count reads the same file through a descriptor of its own (its own offset), which reaches
    // it whatever its path, even once renamed or deleted, and a decoder of its own (a scan
    // changes how a handle trims the ends of a file whose header over-counts).
    const auto ownDescriptor = [&] {
        return openRegularFile("/proc/self/fd/" + std::to_string(decoder.fd()));
    };
    if (track.exactFrames < 0 && decoder.audioBytes() <= kCountAtOpenBytes) {
        Mpg123Decoder counter;
        const int fd = ownDescriptor();
        if (fd >= 0 && counter.openFd(fd) == kMciOk)
            track.exactFrames = counter.scanLengthFrames();
    }
    if (track.exactFrames < 0)
        track.scanFd = ownDescriptor();
    track.name = fs::validUtf8(baseName(path));
    return kMciOk;
}

MpegDevice::MpegDevice(const std::string& path, const DeviceOptions& options, Preparer preparer)
    : path_(path), options_(options), preparer_(std::move(preparer)), openSent_(Clock::now()) {}

std::shared_ptr<MpegDevice> MpegDevice::open(const std::string& path, const DeviceOptions& options,
                                             Preparer preparer) {
    auto device = std::make_shared<MpegDevice>(path, options, std::move(preparer));
    // Detached and co-owning: a read stuck in the kernel must not hold up close or exit.
    std::thread([device] {
        pthread_setname_np(pthread_self(), "zr-media");
        device->workerLoop();
    }).detach();
    return device;
}

MpegDevice::~MpegDevice() = default;

int MpegDevice::waitForOpen(std::chrono::milliseconds wait) {
    Lock lock(mutex_);
    changed_.wait_for(lock, wait, [this] { return !openingLocked(); });
    return failure_;
}

void MpegDevice::close() {
    Lock lock(mutex_);
    quit_ = true;
    if (opening_)
        opening_->cancel();
    state_.close();
    if (playback_)
        playback_->wake();
    changed_.wait_for(lock, kCloseWait, [this] { return workerDone_; });
}

void MpegDevice::workerLoop() {
    if (openTrack()) {
        Lock lock(mutex_);
        while (!quit_) {
            if (!step(lock))
                sleep(lock);
        }
        lock.unlock();
        playback_->closeOutput();
    }
    const Lock lock(mutex_);
    workerDone_ = true;
    changed_.notify_all();
}

bool MpegDevice::openTrack() {
    OpenedTrack track;
    track.decoder = std::make_unique<Mpg123Decoder>();
    {
        const Lock lock(mutex_);
        if (quit_)
            return false;
        opening_ = track.decoder.get();
    }
    const int result = preparer_(path_, track);
    std::unique_ptr<Playback> playback;
    std::unique_ptr<LengthScanner> scanner;
    if (result == kMciOk) {
        playback = std::make_unique<Playback>(std::move(track.decoder), options_, track.name);
        if (track.scanFd >= 0)
            scanner = std::make_unique<LengthScanner>(std::exchange(track.scanFd, -1));
    }
    const Lock lock(mutex_);
    opening_ = nullptr;
    if (quit_ || failure_ != kMciOk)
        return false;
    if (result != kMciOk) {
        failLocked(result);
        return false;
    }
    if (Clock::now() - openSent_ >= std::chrono::milliseconds(options_.firstFrameWaitMs)) {
        failLocked(kMciCannotDecode); // too late: as if a command had seen it past its time
        return false;
    }
    playback_ = std::move(playback);
    state_.trackOpened(*playback_, playback_->rate(), track.estimateFrames, track.exactFrames,
                       std::move(scanner));
    changed_.notify_all();
    return true;
}

void MpegDevice::failLocked(int error) {
    failure_ = error;
    state_.fail();
    if (opening_)
        opening_->cancel();
    changed_.notify_all();
}

void MpegDevice::settleLocked() {
    if (openingLocked() &&
        Clock::now() - openSent_ >= std::chrono::milliseconds(options_.firstFrameWaitMs))
        failLocked(kMciCannotDecode);
    // The worker may be stuck in a read in the kernel; only a command can see it.
    if (playback_ && state_.mode() == DeviceMode::Playing && playback_->stalled())
        state_.endStalled();
}

bool MpegDevice::step(Lock& lock) {
    return reopenLostOutput(lock) || finishEnded(lock) || closeWhileHeld(lock) || restart(lock) ||
           openOncePrefilled(lock) || fill(lock);
}

bool MpegDevice::reopenLostOutput(Lock& lock) {
    // The output's sink or server went away (or, for a silent stand-in, came back). What it held
    // was never heard: the track goes on from what was, on whatever output opens next
    // (AudioOutput: another stream, or silence in real time).
    if (!playback_->takeOutputLost() || !playback_->outputOpen())
        return false;
    const std::uint32_t generation = state_.generation();
    const bool goOn = state_.mode() == DeviceMode::Playing && !state_.ended();
    const std::int64_t heard = goOn ? state_.heardFrame() : 0;
    lock.unlock();
    playback_->closeOutput();
    lock.lock();
    if (goOn && generation == state_.generation() && state_.mode() == DeviceMode::Playing)
        state_.goOnFrom(heard);
    return true;
}

bool MpegDevice::finishEnded(Lock& lock) {
    if (!state_.ended())
        return false;
    // The device first lets go of the output (its last samples are out, a capture file is
    // complete), then the commands see the track stopped at its end.
    const std::uint32_t generation = state_.generation();
    if (playback_->outputOpen()) {
        lock.unlock();
        playback_->closeOutput();
        lock.lock();
    }
    if (generation == state_.generation() && state_.ended())
        state_.finish();
    return true;
}

bool MpegDevice::closeWhileHeld(Lock& lock) {
    if (state_.mode() == DeviceMode::Playing || !playback_->outputOpen())
        return false;
    lock.unlock();
    playback_->closeOutput();
    lock.lock();
    return true;
}

bool MpegDevice::restart(Lock& lock) {
    if (state_.mode() != DeviceMode::Playing ||
        playback_->producedGeneration() == state_.generation())
        return false;
    const PlayStart start = state_.start();
    lock.unlock();
    playback_->restart(start);
    lock.lock();
    return true;
}

bool MpegDevice::openOncePrefilled(Lock& lock) {
    if (state_.mode() != DeviceMode::Playing || !playback_->readyToOpen())
        return false;
    const auto now = Clock::now();
    if (firstReady_ == Clock::time_point{})
        firstReady_ = now;
    const auto quiet = now - lastChange_;
    const bool settling = !playback_->everStarted() && quiet < kFirstStartSettle &&
                          now - firstReady_ < kFirstStartSettleMax;
    lock.unlock();
    if (settling)
        std::this_thread::sleep_for(kFirstStartSettle - quiet); // then look again
    else
        playback_->openOutput();
    lock.lock();
    return true;
}

bool MpegDevice::fill(Lock& lock) {
    if (state_.mode() != DeviceMode::Playing || !playback_->canFill())
        return false;
    // A command or the callback bumps the wake count: the fill stops early for it.
    const std::uint32_t seen = playback_->wakeCount();
    lock.unlock();
    playback_->fill(seen);
    lock.lock();
    return true;
}

void MpegDevice::sleep(Lock& lock) {
    // Asking for room first and looking again after closes the gap where the callback could
    // miss the request.
    const std::uint32_t seen = playback_->wakeCount();
    if (!playback_->askForRoom(state_.mode() == DeviceMode::Playing))
        return;
    lock.unlock();
    playback_->waitForWake(seen);
    lock.lock();
}

int MpegDevice::play(std::optional<std::uint32_t> from, std::optional<std::uint32_t> to) {
    const Lock lock(mutex_);
    settleLocked();
    lastChange_ = Clock::now();
    return failure_ != kMciOk ? failure_ : state_.play(from, to);
}

int MpegDevice::pause() {
    const Lock lock(mutex_);
    settleLocked();
    lastChange_ = Clock::now();
    return failure_ != kMciOk ? failure_ : state_.pause();
}

int MpegDevice::resume() {
    const Lock lock(mutex_);
    settleLocked();
    lastChange_ = Clock::now();
    return failure_ != kMciOk ? failure_ : state_.resume();
}

int MpegDevice::stop() {
    const Lock lock(mutex_);
    settleLocked();
    lastChange_ = Clock::now();
    return failure_ != kMciOk ? failure_ : state_.stop();
}

int MpegDevice::seek(SeekTarget target, std::uint32_t ms) {
    const Lock lock(mutex_);
    settleLocked();
    lastChange_ = Clock::now();
    return failure_ != kMciOk ? failure_ : state_.seek(target, ms);
}

int MpegDevice::setSpeed(std::uint32_t speed) {
    const Lock lock(mutex_);
    settleLocked();
    lastChange_ = Clock::now();
    return failure_ != kMciOk ? failure_ : state_.setSpeed(speed);
}

int MpegDevice::setVolume(std::uint32_t volume) {
    const Lock lock(mutex_);
    settleLocked();
    lastChange_ = Clock::now();
    if (failure_ == kMciOk)
        state_.setVolume(volume);
    return failure_;
}

int MpegDevice::setMuted(bool muted) {
    const Lock lock(mutex_);
    settleLocked();
    lastChange_ = Clock::now();
    if (failure_ == kMciOk)
        state_.setMuted(muted);
    return failure_;
}

int MpegDevice::status(StatusItem item, std::string& reply) {
    Lock lock(mutex_);
    settleLocked();
    if (item == StatusItem::Length && openingLocked()) {
        const auto until = openSent_ + std::chrono::milliseconds(options_.lengthWaitMs);
        changed_.wait_until(lock, until, [this] { return !openingLocked(); });
        settleLocked();
    }
    return statusLocked(item, reply);
}

int MpegDevice::statusLocked(StatusItem item, std::string& reply) {
    const bool promised =
        state_.lengthReplied() && (item == StatusItem::Length || item == StatusItem::Position);
    if (failure_ != kMciOk && !promised)
        return failure_;
    switch (item) {
    case StatusItem::Length:
        reply = std::to_string(state_.lengthMs());
        break;
    case StatusItem::Position:
        reply = std::to_string(state_.positionMs());
        break;
    case StatusItem::Mode:
        reply = modeText(state_.mode());
        break;
    case StatusItem::Volume:
        reply = std::to_string(state_.volume());
        break;
    case StatusItem::Speed:
        reply = std::to_string(state_.speed());
        break;
    case StatusItem::TimeFormat:
        reply = "milliseconds";
        break;
    }
    return kMciOk;
}

} // namespace zr::media
