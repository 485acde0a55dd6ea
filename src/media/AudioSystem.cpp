#include "AudioSystem.h"

#include "SdlLibrary.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>
#include <utility>

namespace zr::media {

AudioSystem& AudioSystem::instance() {
    static AudioSystem system;
    return system;
}

void AudioSystem::retain() {
    std::lock_guard lock(mutex_);
    ++users_;
}

void AudioSystem::prepareProcess() {
    // SDL 2.26's PulseAudio driver ignores SDL_HINT_AUDIO_DEVICE_STREAM_ROLE; libpulse reads
    // this for every stream. A user's own setting wins.
    setenv("PULSE_PROP", "media.role=music", 0);
}

void AudioSystem::release() {
    std::lock_guard lock(mutex_);
    if (users_ > 0)
        --users_;
    if (users_ == 0)
        PulseStream::releaseConnection();
    stopIfIdleLocked();
}

void AudioSystem::stopIfIdleLocked() {
    // SDL's PulseAudio driver watches the server's devices while it runs (see the top of
    // AudioSystem.h): it runs only while it plays.
    if (openDevices_ == 0 && started_ && (users_ == 0 || pulseDriver_)) {
        SdlLibrary::loaded()->QuitSubSystem(SDL_INIT_AUDIO);
        started_ = false;
        dummy_ = false;
        pulseDriver_ = false;
    }
}

namespace {

// Whether SDL, started now, may pick its PulseAudio driver: no driver asked for, or a list
// that names it.
bool sdlMayChoosePulse(const SdlLibrary& sdl) {
    const char* asked = sdl.GetHint(SDL_HINT_AUDIODRIVER);
    if (!asked || !*asked)
        return true;
    const std::string list = asked;
    return list.find("pulse") != std::string::npos;
}

// SDL frees what its calls leave in a thread (its error text) only when one of its own threads
// ends, and the device's worker is not one: calls that may leave some run on a short-lived SDL
// thread. Opening and closing a device is rare enough for a thread each time.
template <typename F> void onSdlThread(const SdlLibrary& sdl, F&& f) {
    using Call = std::remove_reference_t<F>;
    SDL_Thread* thread = sdl.CreateThread(
        [](void* call) -> int {
            (*static_cast<Call*>(call))();
            return 0;
        },
        "zr-sdl", &f);
    if (thread)
        sdl.WaitThread(thread, nullptr);
    else
        f();
}

} // namespace

bool AudioSystem::startLocked() {
    if (started_)
        return true;
    const SdlLibrary& sdl = *SdlLibrary::loaded();
    sdl.SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (sdlMayChoosePulse(sdl) && PulseStream::offer() == PulseStream::Offer::NoOutput) {
        // Nothing would be heard through any driver: ALSA's default leads to the same server.
        warnOnceLocked("the sound server has no output", nullptr);
        return false;
    }
    if (sdl.InitSubSystem(SDL_INIT_AUDIO) == 0) {
        started_ = true;
        const char* driver = sdl.GetCurrentAudioDriver();
        dummy_ = driver && std::strcmp(driver, "dummy") == 0;
        pulseDriver_ = driver && std::strcmp(driver, "pulseaudio") == 0;
        return true;
    }
    // No driver started at all: take the silent one, whatever the environment asked for.
    warnOnceLocked("no sound device", sdl.GetError());
    sdl.SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    const bool ok = sdl.InitSubSystem(SDL_INIT_AUDIO) == 0;
    sdl.ResetHint(SDL_HINT_AUDIODRIVER);
    started_ = ok;
    dummy_ = ok;
    pulseDriver_ = false;
    return ok;
}

void AudioSystem::warnOnceLocked(const char* what, const char* reason) {
    if (warned_)
        return;
    if (reason)
        std::fprintf(stderr, "zr-media: %s (%s); playing silently in real time\n", what, reason);
    else
        std::fprintf(stderr, "zr-media: %s; playing silently in real time\n", what);
    warned_ = true;
}

void AudioSystem::switchToDummyLocked(const char* reason) {
    warnOnceLocked("no sound device", reason);
    const SdlLibrary& sdl = *SdlLibrary::loaded();
    sdl.AudioQuit();
    dummy_ = sdl.AudioInit("dummy") == 0;
    pulseDriver_ = false;
}

SDL_AudioDeviceID AudioSystem::openDevice(const SDL_AudioSpec& want, SDL_AudioSpec& have,
                                          const std::string& streamName) {
    std::lock_guard lock(mutex_);
    const SdlLibrary* sdl = SdlLibrary::get();
    if (!sdl) {
        const std::string why = std::string("SDL could not be loaded: ") + SdlLibrary::loadError();
        warnOnceLocked("no sound device", why.c_str());
        return 0;
    }
    SDL_AudioDeviceID id = 0;
    onSdlThread(*sdl, [&] {
        // Read by the sound server's driver when the device opens (and by SDL's start-up for the
        // application name), so they are set for each device, under this lock.
        sdl->SetHint(SDL_HINT_APP_NAME, "ZR - Mp3 Player");
        sdl->SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "ZR - Mp3 Player");
        sdl->SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, streamName.c_str());
        sdl->SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_ROLE, "music");
        if (!startLocked())
            return;
        id = sdl->OpenAudioDevice(nullptr, 0, &want, &have, 0);
        // Switching drivers would cut off devices already open; only the first one may do it.
        if (id == 0 && !dummy_ && openDevices_ == 0) {
            switchToDummyLocked(sdl->GetError());
            if (dummy_)
                id = sdl->OpenAudioDevice(nullptr, 0, &want, &have, 0);
        }
    });
    if (id != 0)
        ++openDevices_;
    return id;
}

void AudioSystem::closeDevice(SDL_AudioDeviceID id) {
    if (id == 0)
        return;
    std::lock_guard lock(mutex_);
    onSdlThread(*SdlLibrary::loaded(), [&] {
        // Joins SDL's audio thread; safe under the lock because callbacks never take it.
        SdlLibrary::loaded()->CloseAudioDevice(id);
        if (openDevices_ > 0)
            --openDevices_;
        stopIfIdleLocked();
    });
}

void AudioSystem::noteSilentTrack(const char* why) {
    std::lock_guard lock(mutex_);
    warnOnceLocked(why, nullptr);
}

void AudioOutput::open(long rate, int channels, std::uint16_t bufferFrames,
                       const std::string& streamName, AudioSource& source) {
    close();
    rate_ = rate;
    channels_ = channels;
    source_ = &source;
    if (PulseStream::wanted()) {
        float gain = 0.0f;
        bool muted = false;
        {
            std::lock_guard lock(streamMutex_);
            gain = gain_;
            muted = muted_;
        }
        // Straight after a loss, a server that still offers no working sink would only take a
        // stream that never plays (a sink suspended for good) or refuse it.
        const bool afterLoss = std::exchange(reopenAfterLoss_, false);
        const auto offer = afterLoss ? PulseStream::offer() : PulseStream::Offer::Ready;
        bool answered = offer != PulseStream::Offer::NoServer;
        if (offer == PulseStream::Offer::Ready) {
            auto stream =
                PulseStream::open(rate, channels, streamName, gain, muted, source, answered);
            if (stream) {
                std::lock_guard lock(streamMutex_);
                pulse_ = std::move(stream);
                if (gain_ != gain || muted_ != muted) // changed while the stream was being made
                    pulse_->setVolume(gain_, muted_);
                return;
            }
        }
        if (answered || afterLoss || serverGone_) {
            serverGone_ = true;
            openSilent(bufferFrames, true,
                       answered ? "the sound server has no working output"
                                : "the sound server went away");
            return;
        }
    }
    SDL_AudioSpec want{};
    want.freq = static_cast<int>(rate);
    want.format = AUDIO_F32SYS;
    want.channels = static_cast<Uint8>(channels);
    want.samples = bufferFrames;
    want.callback = &AudioOutput::sdlCallback;
    want.userdata = this;
    SDL_AudioSpec have{};
    id_ = AudioSystem::instance().openDevice(want, have, streamName);
    if (id_ == 0)
        openSilent(bufferFrames, false, "no free sound device");
}

void AudioOutput::openSilent(std::uint16_t bufferFrames, bool standIn, const char* why) {
    AudioSystem::instance().noteSilentTrack(why);
    scratch_.assign(static_cast<std::size_t>(bufferFrames) * channels_, 0.0f);
    silent_ = true;
    standIn_ = standIn;
}

void AudioOutput::sdlCallback(void* user, Uint8* stream, int len) {
    auto* self = static_cast<AudioOutput*>(user);
    const auto ch = static_cast<std::size_t>(self->channels_);
    const std::size_t frames = static_cast<std::size_t>(len) / (sizeof(float) * ch);
    auto* out = reinterpret_cast<float*>(stream);
    const std::size_t got = self->source_->pull(out, frames, true);
    std::fill(out + got * ch, out + frames * ch, 0.0f);
    // Once a call finds nothing after the last frame, the device has played all it was given.
    if (got == 0 && self->source_->exhausted())
        self->source_->playedOut();
}

void AudioOutput::start() {
    if (pulse_)
        pulse_->start();
    if (id_ != 0)
        SdlLibrary::loaded()->PauseAudioDevice(id_, 0);
    if (silent_ && !clock_.joinable()) {
        running_ = true;
        clock_ = std::thread([this] { runSilentClock(); });
    }
}

void AudioOutput::holdCallback(bool hold) {
    if (pulse_) {
        if (hold)
            pulse_->lock();
        else
            pulse_->unlock();
    }
    if (id_ != 0) {
        if (hold)
            SdlLibrary::loaded()->LockAudioDevice(id_);
        else
            SdlLibrary::loaded()->UnlockAudioDevice(id_);
    }
    if (silent_) {
        if (hold)
            clockMutex_.lock();
        else
            clockMutex_.unlock();
    }
}

void AudioOutput::dropQueuedHeld() {
    if (pulse_)
        pulse_->flushLocked();
    // A new start (a Play, a seek) asks the server at once whether it offers a sink again.
    if (standIn_)
        askNow_.store(true, std::memory_order_relaxed);
}

std::size_t AudioOutput::largestPull(long rate, int channels, std::uint16_t bufferFrames) {
    return PulseStream::wanted()
               ? std::max<std::size_t>(PulseStream::requestFrames(rate, channels), bufferFrames)
               : bufferFrames;
}

bool AudioOutput::feedIfHungry() {
    if (!pulse_ || !pulse_->hungry())
        return false;
    pulse_->kick();
    return true;
}

void AudioOutput::setVolume(float gain, bool muted) {
    std::lock_guard lock(streamMutex_);
    gain_ = gain;
    muted_ = muted;
    if (pulse_)
        pulse_->setVolume(gain, muted);
}

void AudioOutput::dropQueued() {
    std::lock_guard lock(streamMutex_);
    if (!pulse_)
        return;
    pulse_->lock();
    pulse_->flushLocked();
    pulse_->unlock();
}

void AudioOutput::runSilentClock() {
    using Clock = std::chrono::steady_clock;
    const std::size_t channels = static_cast<std::size_t>(channels_);
    const auto period = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
        static_cast<double>(scratch_.size() / channels) / static_cast<double>(rate_)));
    auto next = Clock::now();
    auto nextAsk = next + kStandInRetry;
    bool found = false;
    const int bytes = static_cast<int>(scratch_.size() * sizeof(float));
    while (running_.load()) {
        {
            std::lock_guard hold(clockMutex_);
            sdlCallback(this, reinterpret_cast<Uint8*>(scratch_.data()), bytes);
        }
        next += period;
        // Outside the callback lock: the answer takes a round trip to the server. A slow one
        // delays the next pulls, which then catch up (next is absolute).
        if (standIn_ && !found &&
            (askNow_.exchange(false, std::memory_order_relaxed) || Clock::now() >= nextAsk)) {
            found = PulseStream::offer() == PulseStream::Offer::Ready;
            if (found)
                source_->outputLost();
            nextAsk = Clock::now() + kStandInRetry;
        }
        std::this_thread::sleep_until(next);
    }
}

void AudioOutput::close() {
    if (pulse_) {
        std::unique_ptr<PulseStream> gone;
        {
            std::lock_guard lock(streamMutex_);
            gone = std::move(pulse_);
        }
        gone->lock();
        if (gone->lostLocked())
            reopenAfterLoss_ = serverGone_ = true;
        gone->unlock();
        gone.reset(); // disconnects outside streamMutex_: other threads need not wait for it
    }
    if (silent_) {
        running_ = false;
        if (clock_.joinable())
            clock_.join();
        silent_ = false;
        standIn_ = false;
    }
    if (id_ == 0)
        return;
    const SDL_AudioDeviceID id = id_;
    id_ = 0;
    AudioSystem::instance().closeDevice(id);
}

} // namespace zr::media
