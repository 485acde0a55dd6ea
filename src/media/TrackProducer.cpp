#include "TrackProducer.h"

#include "LazyLibrary.h"
#include "SampleFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>

namespace zr::media {

// SoundTouch through its C interface: the C++ one would load the C++ runtime into a process
// that otherwise carries only what it uses of it.
struct TempoLibrary {
    using Handle = void*;
    Handle (*createInstance)();
    void (*destroyInstance)(Handle);
    void (*setTempo)(Handle, float);
    void (*setChannels)(Handle, unsigned);
    void (*setSampleRate)(Handle, unsigned);
    void (*flush)(Handle);
    void (*putSamples)(Handle, const float*, unsigned);
    void (*clear)(Handle);
    unsigned (*receiveSamples)(Handle, float*, unsigned);
    unsigned (*numSamples)(Handle);
};

namespace {

LazyLibrary soundTouch("libSoundTouchDll.so.1");
TempoLibrary table{};

const TempoLibrary* tempoLibrary() {
    const bool ok = soundTouch.open([](LazyLibrary& lib) {
        return lib.resolve(table.createInstance, "soundtouch_createInstance") &&
               lib.resolve(table.destroyInstance, "soundtouch_destroyInstance") &&
               lib.resolve(table.setTempo, "soundtouch_setTempo") &&
               lib.resolve(table.setChannels, "soundtouch_setChannels") &&
               lib.resolve(table.setSampleRate, "soundtouch_setSampleRate") &&
               lib.resolve(table.flush, "soundtouch_flush") &&
               lib.resolve(table.putSamples, "soundtouch_putSamples") &&
               lib.resolve(table.clear, "soundtouch_clear") &&
               lib.resolve(table.receiveSamples, "soundtouch_receiveSamples") &&
               lib.resolve(table.numSamples, "soundtouch_numSamples");
    });
    if (ok)
        return &table;
    static std::once_flag warned;
    std::call_once(warned, [] {
        std::fprintf(stderr, "zr-media: %s; every speed plays at 1000\n",
                     soundTouch.error().c_str());
    });
    return nullptr;
}

} // namespace

TrackProducer::TrackProducer(std::unique_ptr<Mpg123Decoder> decoder)
    : decoder_(std::move(decoder)), rate_(decoder_->rate()), channels_(decoder_->channels()) {}

TrackProducer::~TrackProducer() {
    if (tempo_)
        library_->destroyInstance(tempo_);
}

void TrackProducer::restart(std::int64_t from, std::int64_t end, std::uint32_t speed) {
    // A seek that failed (a read error, a file that stalls or runs on without audio) leaves the
    // decoder somewhere else: what it would give does not follow `from`. Nothing follows then:
    // the start ends where it begins, as a damaged file's audio does.
    const bool placed = decoder_->seek(from);
    if (speed != 1000 && !tempo_ && (library_ = tempoLibrary()) != nullptr) {
        tempo_ = library_->createInstance();
        if (tempo_) {
            library_->setSampleRate(tempo_, static_cast<unsigned>(rate_));
            library_->setChannels(tempo_, static_cast<unsigned>(channels_));
            const std::size_t samples = static_cast<std::size_t>(kBlockFrames) * channels_;
            decoded_.resize(samples);
            floats_.resize(samples);
        }
    }
    speed_ = tempo_ ? speed : 1000;
    if (tempo_) {
        library_->clear(tempo_);
        library_->setTempo(tempo_, static_cast<float>(speed / 1000.0));
    }
    startFrame_ = from;
    endFrame_ = placed ? end : from;
    fedEnd_ = from;
    outProduced_ = 0;
    inputDone_ = false;
    finished_ = false;
}

void TrackProducer::fill(AudioBlock& block) {
    block.frames = 0;
    block.last = false;
    block.trackStart = fedEnd_;
    block.trackEnd = fedEnd_;
    if (finished_) {
        block.last = true;
        return;
    }
    if (speed_ == 1000) {
        const auto want = static_cast<std::size_t>(
            std::clamp<std::int64_t>(endFrame_ - fedEnd_, 0, kBlockFrames));
        const std::size_t n = want > 0 ? decoder_->read(block.samples.data(), want) : 0;
        fedEnd_ += static_cast<std::int64_t>(n);
        block.trackEnd = fedEnd_;
        block.frames = static_cast<std::uint32_t>(n);
        block.last = n == 0 || fedEnd_ >= endFrame_;
        finished_ = block.last;
        return;
    }
    fillAtTempo(block);
}

void TrackProducer::fillAtTempo(AudioBlock& block) {
    const auto ch = static_cast<std::size_t>(channels_);
    const double tempo = speed_ / 1000.0;
    while (library_->numSamples(tempo_) < kBlockFrames && !inputDone_) {
        const auto want = static_cast<std::size_t>(
            std::clamp<std::int64_t>(endFrame_ - fedEnd_, 0, kBlockFrames));
        const std::size_t n = want > 0 ? decoder_->read(decoded_.data(), want) : 0;
        if (n == 0) {
            inputDone_ = true;
            library_->flush(tempo_);
            break;
        }
        s16ToFloat(decoded_.data(), floats_.data(), n * ch, 1.0f);
        library_->putSamples(tempo_, floats_.data(), static_cast<unsigned>(n));
        fedEnd_ += static_cast<std::int64_t>(n);
    }
    std::uint32_t room = kBlockFrames;
    if (inputDone_) {
        // flush() pads with silence; output no more than the input's length at this tempo.
        const auto total = static_cast<std::int64_t>(std::llround((fedEnd_ - startFrame_) / tempo));
        room = static_cast<std::uint32_t>(std::clamp<std::int64_t>(total - outProduced_, 0, room));
    }
    const unsigned n = room > 0 ? library_->receiveSamples(tempo_, floats_.data(), room) : 0;
    floatToS16(floats_.data(), block.samples.data(), n * ch);
    block.trackStart = std::min(
        fedEnd_, startFrame_ + static_cast<std::int64_t>(std::llround(outProduced_ * tempo)));
    outProduced_ += n;
    block.trackEnd =
        n > 0 ? std::min(fedEnd_, startFrame_ +
                                      static_cast<std::int64_t>(std::llround(outProduced_ * tempo)))
              : fedEnd_;
    block.frames = n;
    if (n == 0 && inputDone_) {
        block.trackStart = block.trackEnd = fedEnd_;
        block.last = true;
        finished_ = true;
    }
}

} // namespace zr::media
