#include "MpegDevice.h"

#include "MciErrors.h"

#include <fcntl.h>
#include <unistd.h>

#include <thread>
#include <utility>
#include <vector>

namespace zr::media {
namespace {

// A file this small is counted while it opens (a few ms), so its length is exact at once.
constexpr std::int64_t kCountAtOpenBytes = 2 * 1024 * 1024;

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
    auto decoder = std::make_unique<Mpg123Decoder>();
    if (int err = decoder->open(path))
        return err;
    // A header alone proves little: random bytes can look like one. Demand real audio.
    std::vector<float> probe(static_cast<std::size_t>(kBlockFrames) * decoder->channels());
    if (decoder->read(probe.data(), kBlockFrames) == 0 || !decoder->seek(0))
        return kMciCannotDecode;
    track.estimateFrames = decoder->estimatedLengthFrames();
    track.exactFrames = decoder->headerLengthFrames();
    if (track.exactFrames < 0 && decoder->fileBytes() <= kCountAtOpenBytes) {
        track.exactFrames = decoder->scanLengthFrames();
        if (!decoder->seek(0))
            return kMciCannotDecode;
    }
    if (track.exactFrames < 0) {
        // The scan reads the same file through a descriptor of its own (its own offset), which
        // reaches it whatever its path, even once renamed or deleted.
        track.scanFd = openRegularFile("/proc/self/fd/" + std::to_string(decoder->fd()));
    }
    track.name = baseName(path);
    track.decoder = std::move(decoder);
    return kMciOk;
}

MpegDevice::MpegDevice(OpenedTrack track, const DeviceOptions& options)
    : playback_(std::move(track.decoder), options, track.name),
      state_(playback_.rate(), track.estimateFrames, track.exactFrames,
             track.scanFd >= 0 ? std::make_unique<LengthScanner>(std::exchange(track.scanFd, -1))
                               : nullptr,
             playback_) {}

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
    Lock lock(mutex_);
    quit_ = true;
    playback_.wake();
    workerStopped_.wait_for(lock, kCloseWait, [this] { return workerDone_; });
}

void MpegDevice::workerLoop() {
    Lock lock(mutex_);
    while (!quit_) {
        if (!step(lock))
            sleep(lock);
    }
    lock.unlock();
    playback_.closeOutput();
    lock.lock();
    workerDone_ = true;
    workerStopped_.notify_all();
}

bool MpegDevice::step(Lock& lock) {
    return reopenLostOutput(lock) || finishEnded(lock) || closeWhileHeld(lock) || restart(lock) ||
           openOncePrefilled(lock) || fill(lock);
}

bool MpegDevice::reopenLostOutput(Lock& lock) {
    // The sound server went away: close; the next open falls back to SDL (or to silence).
    if (!playback_.takeOutputLost() || !playback_.outputOpen())
        return false;
    lock.unlock();
    playback_.closeOutput();
    lock.lock();
    return true;
}

bool MpegDevice::finishEnded(Lock& lock) {
    if (!state_.ended())
        return false;
    // The device first lets go of the output (its last samples are out, a capture file is
    // complete), then the commands see the track stopped at its end.
    const std::uint32_t generation = state_.generation();
    if (playback_.outputOpen()) {
        lock.unlock();
        playback_.closeOutput();
        lock.lock();
    }
    if (generation == state_.generation() && state_.ended())
        state_.finish();
    return true;
}

bool MpegDevice::closeWhileHeld(Lock& lock) {
    if (state_.mode() == DeviceMode::Playing || !playback_.outputOpen())
        return false;
    lock.unlock();
    playback_.closeOutput();
    lock.lock();
    return true;
}

bool MpegDevice::restart(Lock& lock) {
    if (state_.mode() != DeviceMode::Playing ||
        playback_.producedGeneration() == state_.generation())
        return false;
    const PlayStart start = state_.start();
    lock.unlock();
    playback_.restart(start);
    lock.lock();
    return true;
}

bool MpegDevice::openOncePrefilled(Lock& lock) {
    if (state_.mode() != DeviceMode::Playing || !playback_.readyToOpen())
        return false;
    lock.unlock();
    playback_.openOutput();
    lock.lock();
    return true;
}

bool MpegDevice::fill(Lock& lock) {
    if (state_.mode() != DeviceMode::Playing || !playback_.canFill())
        return false;
    // A command or the callback bumps the wake count: the fill stops early for it.
    const std::uint32_t seen = playback_.wakeCount();
    lock.unlock();
    playback_.fill(seen);
    lock.lock();
    return true;
}

void MpegDevice::sleep(Lock& lock) {
    // Asking for room first and looking again after closes the gap where the callback could
    // miss the request.
    const std::uint32_t seen = playback_.wakeCount();
    if (!playback_.askForRoom(state_.mode() == DeviceMode::Playing))
        return;
    lock.unlock();
    playback_.waitForWake(seen);
    lock.lock();
}

int MpegDevice::play(std::optional<std::uint32_t> from, std::optional<std::uint32_t> to) {
    std::lock_guard lock(mutex_);
    return state_.play(from, to);
}

int MpegDevice::pause() {
    std::lock_guard lock(mutex_);
    return state_.pause();
}

int MpegDevice::resume() {
    std::lock_guard lock(mutex_);
    return state_.resume();
}

int MpegDevice::stop() {
    std::lock_guard lock(mutex_);
    return state_.stop();
}

int MpegDevice::seek(SeekTarget target, std::uint32_t ms) {
    std::lock_guard lock(mutex_);
    return state_.seek(target, ms);
}

int MpegDevice::setSpeed(std::uint32_t speed) {
    std::lock_guard lock(mutex_);
    return state_.setSpeed(speed);
}

void MpegDevice::setVolume(std::uint32_t volume) {
    std::lock_guard lock(mutex_);
    state_.setVolume(volume);
}

void MpegDevice::setMuted(bool muted) {
    std::lock_guard lock(mutex_);
    state_.setMuted(muted);
}

std::uint32_t MpegDevice::lengthMs() {
    std::lock_guard lock(mutex_);
    return state_.lengthMs();
}

std::uint32_t MpegDevice::positionMs() {
    std::lock_guard lock(mutex_);
    return state_.positionMs();
}

DeviceMode MpegDevice::mode() {
    std::lock_guard lock(mutex_);
    return state_.mode();
}

std::uint32_t MpegDevice::volume() {
    std::lock_guard lock(mutex_);
    return state_.volume();
}

std::uint32_t MpegDevice::speed() {
    std::lock_guard lock(mutex_);
    return state_.speed();
}

} // namespace zr::media
