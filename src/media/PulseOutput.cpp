#include "PulseOutput.h"

#include <pulse/pulseaudio.h>
#include <pulse/rtclock.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace zr::media {
namespace {

constexpr const char* kAppName = "ZR - Mp3 Player";
// A server that does not answer within this is taken as absent.
constexpr pa_usec_t kAnswerWait = 2 * PA_USEC_PER_SEC;
// Between the server's reports the position runs on with our clock; only a drift between the
// sound card's clock and ours builds up in the meantime.
constexpr pa_usec_t kTimingRefresh = 5 * PA_USEC_PER_SEC;

} // namespace

// One connection to the server and its mainloop thread.
class PulseClient {
public:
    PulseClient() = default;
    ~PulseClient() {
        if (loop_)
            pa_threaded_mainloop_stop(loop_);
        if (context_) {
            pa_context_disconnect(context_);
            pa_context_unref(context_);
        }
        if (loop_)
            pa_threaded_mainloop_free(loop_);
    }
    PulseClient(const PulseClient&) = delete;
    PulseClient& operator=(const PulseClient&) = delete;

    // The process's connection, made when there is none or the last one failed.
    static std::shared_ptr<PulseClient> shared() {
        std::lock_guard lock(sharedMutex_);
        if (shared_ && shared_->alive())
            return shared_;
        shared_.reset();
        auto client = std::make_shared<PulseClient>();
        if (client->connect())
            shared_ = client;
        return shared_;
    }
    static void releaseShared() {
        std::shared_ptr<PulseClient> gone;
        std::lock_guard lock(sharedMutex_);
        gone.swap(shared_);
    }

    pa_threaded_mainloop* loop() const { return loop_; }
    pa_context* context() const { return context_; }

    // Under the mainloop lock: waits for the mainloop's signals until done() holds or
    // kAnswerWait has passed.
    template <typename F> bool waitLocked(F done) {
        struct Deadline {
            pa_threaded_mainloop* loop;
            bool passed = false;
        } deadline{loop_};
        pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
        pa_time_event* timer = pa_context_rttime_new(
            context_, pa_rtclock_now() + kAnswerWait,
            [](pa_mainloop_api*, pa_time_event*, const struct timeval*, void* data) {
                auto* d = static_cast<Deadline*>(data);
                d->passed = true;
                pa_threaded_mainloop_signal(d->loop, 0);
            },
            &deadline);
        while (!done() && !deadline.passed)
            pa_threaded_mainloop_wait(loop_);
        if (timer)
            api->time_free(timer);
        return done();
    }

    // Under the mainloop lock: waits for op until done() holds, the operation ends without it
    // (the connection failed) or kAnswerWait has passed; cancels it if it is still running, so
    // its callback never sees the caller's state gone.
    template <typename F> bool finishLocked(pa_operation* op, F done) {
        if (!op)
            return false;
        waitLocked([&] { return done() || pa_operation_get_state(op) != PA_OPERATION_RUNNING; });
        if (pa_operation_get_state(op) == PA_OPERATION_RUNNING)
            pa_operation_cancel(op);
        pa_operation_unref(op);
        return done();
    }

    PulseStream::Offer offer() {
        struct Answer {
            pa_threaded_mainloop* loop;
            bool done = false;
            bool sink = false;
            bool source = false;
            bool suspended = false;
            std::string sinkName;
        } answer{loop_, false, false, false, false, {}};
        pa_threaded_mainloop_lock(loop_);
        bool answered =
            finishLocked(pa_context_get_server_info(
                             context_,
                             [](pa_context*, const pa_server_info* info, void* data) {
                                 auto* a = static_cast<Answer*>(data);
                                 if (info) {
                                     a->sink = info->default_sink_name && *info->default_sink_name;
                                     a->source =
                                         info->default_source_name && *info->default_source_name;
                                     if (a->sink)
                                         a->sinkName = info->default_sink_name;
                                 }
                                 a->done = true;
                                 pa_threaded_mainloop_signal(a->loop, 0);
                             },
                             &answer),
                         [&] { return answer.done; });
        if (answered && answer.sink) {
            answer.done = false;
            answered =
                finishLocked(pa_context_get_sink_info_by_name(
                                 context_, answer.sinkName.c_str(),
                                 [](pa_context*, const pa_sink_info* info, int last, void* data) {
                                     auto* a = static_cast<Answer*>(data);
                                     if (info)
                                         a->suspended = info->state == PA_SINK_SUSPENDED;
                                     if (last != 0) {
                                         a->done = true;
                                         pa_threaded_mainloop_signal(a->loop, 0);
                                     }
                                 },
                                 &answer),
                             [&] { return answer.done; });
        }
        pa_threaded_mainloop_unlock(loop_);
        if (!answered)
            return PulseStream::Offer::NoServer;
        if (!answer.sink || !answer.source)
            return PulseStream::Offer::NoOutput;
        return answer.suspended ? PulseStream::Offer::Suspended : PulseStream::Offer::Ready;
    }

private:
    bool alive() {
        pa_threaded_mainloop_lock(loop_);
        const bool ok = pa_context_get_state(context_) == PA_CONTEXT_READY;
        pa_threaded_mainloop_unlock(loop_);
        return ok;
    }

    bool connect() {
        loop_ = pa_threaded_mainloop_new();
        if (!loop_)
            return false;
        pa_proplist* props = pa_proplist_new();
        pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, kAppName);
        pa_proplist_sets(props, PA_PROP_APPLICATION_ID, "zr-mp3-player");
        context_ =
            pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop_), kAppName, props);
        pa_proplist_free(props);
        if (!context_)
            return false;
        pa_context_set_state_callback(
            context_,
            [](pa_context*, void* loop) {
                pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
            },
            loop_);
        // No autospawn: a machine without a running server plays through SDL instead.
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            return false;
        if (pa_threaded_mainloop_start(loop_) < 0)
            return false;
        pa_threaded_mainloop_lock(loop_);
        const bool ready = waitLocked([this] {
                               const pa_context_state_t state = pa_context_get_state(context_);
                               return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
                           }) &&
                           pa_context_get_state(context_) == PA_CONTEXT_READY;
        pa_threaded_mainloop_unlock(loop_);
        return ready;
    }

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;

    static inline std::mutex sharedMutex_;
    static inline std::shared_ptr<PulseClient> shared_;
};

bool PulseStream::wanted() {
    const char* choice = std::getenv("ZR_AUDIO_OUTPUT");
    if (choice && std::strcmp(choice, "sdl") == 0)
        return false;
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    return !driver || !*driver || std::strcmp(driver, "pulseaudio") == 0 ||
           std::strcmp(driver, "pulse") == 0;
}

namespace {
std::size_t blockBytesFor(long rate, std::size_t frameBytes) {
    const auto wanted = static_cast<std::size_t>(rate * PulseStream::kBlockMs / 1000) * frameBytes;
    return std::min(wanted, PulseStream::kBlockBytes / frameBytes * frameBytes);
}
} // namespace

std::size_t PulseStream::requestFrames(long rate, int channels) {
    const std::size_t frameBytes = sizeof(std::int16_t) * static_cast<std::size_t>(channels);
    return kRefillBlocks * blockBytesFor(rate, frameBytes) / frameBytes;
}

void PulseStream::releaseConnection() {
    PulseClient::releaseShared();
}

PulseStream::Offer PulseStream::offer() {
    auto client = PulseClient::shared();
    return client ? client->offer() : Offer::NoServer;
}

PulseStream::PulseStream(std::shared_ptr<PulseClient> client, AudioSource& source, long rate,
                         int channels)
    : client_(std::move(client)), source_(source), rate_(rate), channels_(channels),
      frameBytes_(sizeof(std::int16_t) * static_cast<std::size_t>(channels)) {}

std::unique_ptr<PulseStream> PulseStream::open(long rate, int channels,
                                               const std::string& streamName, float gain,
                                               bool muted, AudioSource& source, bool& answered) {
    auto client = PulseClient::shared();
    answered = client != nullptr;
    if (!client)
        return nullptr;
    auto stream = std::make_unique<PulseStream>(client, source, rate, channels);
    pa_threaded_mainloop* loop = client->loop();

    pa_sample_spec spec{};
    spec.format = PA_SAMPLE_S16NE;
    spec.rate = static_cast<std::uint32_t>(rate);
    spec.channels = static_cast<std::uint8_t>(channels);
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_MEDIA_NAME, streamName.c_str());
    pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "music");
    // The server may remember a stream's volume by role; ours is set by the player, so keep
    // what it remembers to this program instead of every music stream.
    pa_proplist_sets(props, "module-stream-restore.id",
                     "sink-input-by-application-name:ZR - Mp3 Player");

    pa_threaded_mainloop_lock(loop);
    stream->stream_ =
        pa_stream_new_with_proplist(client->context(), streamName.c_str(), &spec, nullptr, props);
    pa_proplist_free(props);
    if (!stream->stream_) {
        pa_threaded_mainloop_unlock(loop);
        return nullptr;
    }
    pa_stream_set_state_callback(stream->stream_, &PulseStream::onState, stream.get());
    pa_stream_set_write_callback(stream->stream_, &PulseStream::onWrite, stream.get());
    pa_stream_set_underflow_callback(stream->stream_, &PulseStream::onPlayChanged, stream.get());
    pa_stream_set_started_callback(stream->stream_, &PulseStream::onPlayChanged, stream.get());
    pa_stream_set_suspended_callback(stream->stream_, &PulseStream::onSuspendedOrMoved,
                                     stream.get());
    pa_stream_set_moved_callback(stream->stream_, &PulseStream::onSuspendedOrMoved, stream.get());

    const std::size_t frameBytes = stream->frameBytes_;
    const auto bytesFor = [&](int ms) {
        return static_cast<std::size_t>(rate * ms / 1000) * frameBytes;
    };
    stream->blockBytes_ = blockBytesFor(rate, frameBytes);
    stream->refillBytes_ = kRefillBlocks * stream->blockBytes_;
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    // With ADJUST_LATENCY the server gives the sink (tlength - 2 x minreq) / 2.
    attr.tlength = static_cast<std::uint32_t>(2 * stream->refillBytes_ + 2 * bytesFor(kSinkMs));
    attr.minreq = static_cast<std::uint32_t>(stream->refillBytes_);
    // Small: after a flush the new audio plays as soon as its first piece is there.
    attr.prebuf = static_cast<std::uint32_t>(bytesFor(20));
    attr.fragsize = static_cast<std::uint32_t>(-1);
    pa_cvolume volume;
    pa_cvolume_set(&volume, spec.channels, pa_sw_volume_from_linear(gain));
    const auto flags =
        static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY |
                                       (muted ? PA_STREAM_START_MUTED : PA_STREAM_START_UNMUTED));
    bool ready =
        pa_stream_connect_playback(stream->stream_, nullptr, &attr, flags, &volume, nullptr) == 0;
    if (ready) {
        pa_stream* s = stream->stream_;
        ready = client->waitLocked([s] {
            const pa_stream_state_t state = pa_stream_get_state(s);
            return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
        }) && pa_stream_get_state(s) == PA_STREAM_READY;
    }
    stream->ready_ = ready;
    if (ready) {
        const pa_buffer_attr* given = pa_stream_get_buffer_attr(stream->stream_);
        stream->targetBytes_ = given ? given->tlength : attr.tlength;
    }
    // Some servers (PipeWire's session manager) put a remembered volume over the one asked for
    // at connect: say it again, before anything is heard.
    if (ready)
        stream->sendVolumeLocked(gain, muted);
    pa_threaded_mainloop_unlock(loop);
    if (!ready)
        return nullptr; // the destructor disconnects what was made
    return stream;
}

PulseStream::~PulseStream() {
    if (!stream_)
        return;
    pa_threaded_mainloop_lock(client_->loop());
    pa_stream_set_write_callback(stream_, nullptr, nullptr);
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_underflow_callback(stream_, nullptr, nullptr);
    pa_stream_set_started_callback(stream_, nullptr, nullptr);
    pa_stream_set_suspended_callback(stream_, nullptr, nullptr);
    pa_stream_set_moved_callback(stream_, nullptr, nullptr);
    if (suspendedTimer_) {
        pa_threaded_mainloop_get_api(client_->loop())->time_free(suspendedTimer_);
        suspendedTimer_ = nullptr;
    }
    if (drain_) {
        pa_operation_cancel(drain_);
        pa_operation_unref(drain_);
        drain_ = nullptr;
    }
    forgetTimingLocked();
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
    pa_threaded_mainloop_unlock(client_->loop());
}

void PulseStream::start() {
    lock();
    if (!lost_) {
        started_ = true;
        if (pa_operation* op = pa_stream_cork(stream_, 0, nullptr, nullptr))
            pa_operation_unref(op);
        askTimingLocked();
        // A stream made on a suspended sink says nothing until the sink wakes: watch it from now.
        watchSuspensionLocked();
    }
    unlock();
}

void PulseStream::lock() {
    pa_threaded_mainloop_lock(client_->loop());
}
void PulseStream::unlock() {
    pa_threaded_mainloop_unlock(client_->loop());
}

void PulseStream::flushLocked() {
    if (drain_) {
        pa_operation_cancel(drain_);
        pa_operation_unref(drain_);
        drain_ = nullptr;
    }
    if (lost_)
        return;
    if (pa_operation* op = pa_stream_flush(stream_, nullptr, nullptr))
        pa_operation_unref(op);
    // The server drops what it holds: its read index jumps to the write index. Until the answer
    // comes, where it plays is unknown (libpulse says so): an answer already on its way was made
    // before the flush.
    reportValid_ = false;
    heardLast_ = written_;
    askTimingLocked();
}

void PulseStream::askTimingLocked() {
    if (lost_)
        return;
    // Only the latest answer counts; and no answer may come once this stream is gone.
    forgetTimingLocked();
    timing_ = pa_stream_update_timing_info(stream_, &PulseStream::onTiming, this);
    timingAsked_ = pa_rtclock_now();
}

void PulseStream::forgetTimingLocked() {
    if (timing_) {
        pa_operation_cancel(timing_);
        pa_operation_unref(timing_);
        timing_ = nullptr;
    }
}

void PulseStream::onTiming(pa_stream*, int success, void* self) {
    auto* me = static_cast<PulseStream*>(self);
    if (me->timing_) {
        pa_operation_unref(me->timing_);
        me->timing_ = nullptr;
    }
    if (success && !me->lost_)
        me->keepTimingLocked();
}

void PulseStream::keepTimingLocked() {
    const pa_timing_info* info = pa_stream_get_timing_info(stream_);
    if (!info || info->write_index_corrupt || info->read_index_corrupt)
        return; // a flush made them stale; the answer to its question is on its way
    const auto bytes = static_cast<std::int64_t>(frameBytes_);
    report_.readFrames = info->read_index / bytes;
    report_.sinkFrames = static_cast<std::int64_t>(static_cast<double>(info->sink_usec) *
                                                   static_cast<double>(rate_) / PA_USEC_PER_SEC);
    report_.madeUsec = pa_timeval_load(&info->timestamp);
    report_.playing = info->playing != 0;
    reportValid_ = true;
}

std::int64_t PulseStream::heardLocked() {
    if (!reportValid_)
        return heardLast_;
    // Heard at the report: what the server took, less what the sink still holds; since then
    // the server's clock has run on if it was playing (an underrun, a start or a suspension
    // asks again).
    std::int64_t heard = report_.readFrames - report_.sinkFrames;
    if (report_.playing && !suspended_) {
        timeval now{};
        pa_gettimeofday(&now);
        const pa_usec_t at = pa_timeval_load(&now);
        if (at > report_.madeUsec)
            heard += static_cast<std::int64_t>(static_cast<double>(at - report_.madeUsec) *
                                               static_cast<double>(rate_) / PA_USEC_PER_SEC);
    }
    heard = std::clamp(std::max(heard, heardLast_), std::int64_t{0}, written_);
    heardLast_ = heard; // never back: a later report may differ by a little
    return heard;
}

void PulseStream::onPlayChanged(pa_stream*, void* self) {
    // An underrun stops the server's clock and a (re)start sets it going: our clock knows
    // neither.
    static_cast<PulseStream*>(self)->askTimingLocked();
}

void PulseStream::onSuspendedOrMoved(pa_stream*, void* self) {
    // A suspended sink stops the server's clock; a move gives the stream another sink latency.
    auto* me = static_cast<PulseStream*>(self);
    if (me->lost_)
        return;
    me->keepTimingLocked();
    (void)me->heardLocked(); // what was heard up to now, before the clock stops or the sink changes
    me->askTimingLocked();
    me->watchSuspensionLocked();
}

void PulseStream::watchSuspensionLocked() {
    const bool was = suspended_;
    suspended_ = pa_stream_is_suspended(stream_) == 1;
    if (was && !suspended_) {
        // The server's clock stood still since its last report: it runs on from now.
        timeval now{};
        report_.madeUsec = pa_timeval_load(pa_gettimeofday(&now));
    }
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(client_->loop());
    if (!suspended_ || !started_) {
        if (suspendedTimer_) {
            api->time_free(suspendedTimer_);
            suspendedTimer_ = nullptr;
        }
        return;
    }
    if (suspendedTimer_)
        return;
    suspendedTimer_ = pa_context_rttime_new(
        client_->context(),
        pa_rtclock_now() + static_cast<pa_usec_t>(kSuspendedGiveUpMs) * PA_USEC_PER_MSEC,
        [](pa_mainloop_api* a, pa_time_event* e, const struct timeval*, void* self) {
            auto* me = static_cast<PulseStream*>(self);
            a->time_free(e);
            me->suspendedTimer_ = nullptr;
            if (me->suspended_)
                me->loseLocked();
        },
        this);
}

void PulseStream::loseLocked() {
    if (lost_)
        return;
    // Whatever the server held then is never heard: the position stays where the sound stopped.
    lostQueued_ = written_ - heardLocked();
    lost_ = true;
    hungry_.store(false, std::memory_order_relaxed);
    if (suspendedTimer_) {
        pa_threaded_mainloop_get_api(client_->loop())->time_free(suspendedTimer_);
        suspendedTimer_ = nullptr;
    }
    // Before it was ready, open() says so itself.
    if (ready_)
        source_.outputLost();
}

std::optional<std::int64_t> PulseStream::queuedFramesLocked() {
    if (lost_)
        return lostQueued_;
    if (pa_rtclock_now() - timingAsked_ > kTimingRefresh)
        askTimingLocked();
    keepTimingLocked();
    if (!reportValid_)
        return std::nullopt;
    return written_ - heardLocked();
}

void PulseStream::kick() {
    lock();
    writeLocked();
    unlock();
}

void PulseStream::setVolume(float gain, bool muted) {
    lock();
    sendVolumeLocked(gain, muted);
    unlock();
}

void PulseStream::sendVolumeLocked(float gain, bool muted) {
    if (lost_)
        return;
    pa_context* context = client_->context();
    const std::uint32_t index = pa_stream_get_index(stream_);
    pa_cvolume volume;
    pa_cvolume_set(&volume, static_cast<unsigned>(channels_), pa_sw_volume_from_linear(gain));
    if (pa_operation* op =
            pa_context_set_sink_input_volume(context, index, &volume, nullptr, nullptr))
        pa_operation_unref(op);
    if (pa_operation* op =
            pa_context_set_sink_input_mute(context, index, muted ? 1 : 0, nullptr, nullptr))
        pa_operation_unref(op);
}

void PulseStream::onWrite(pa_stream*, std::size_t, void* self) {
    static_cast<PulseStream*>(self)->writeLocked();
}

void PulseStream::writeLocked() {
    if (lost_)
        return;
    std::size_t writable = pa_stream_writable_size(stream_);
    if (writable == static_cast<std::size_t>(-1))
        return;
    // Every block the server lets go of wakes this thread, so while the server still holds a
    // refill, a request's odd remainder waits for the next request instead of going as a small
    // block of its own. A start, a flush or a dry spell gets all there is.
    const bool low = writable + refillBytes_ > targetBytes_;
    const std::size_t least = low ? frameBytes_ : blockBytes_;
    bool short_ = false;
    while (writable >= least) {
        void* data = nullptr;
        std::size_t bytes = std::min(writable, blockBytes_);
        if (pa_stream_begin_write(stream_, &data, &bytes) < 0 || !data || bytes < frameBytes_)
            break;
        const std::size_t frames = std::min(bytes, blockBytes_) / frameBytes_;
        // Copied from where the source holds them straight into the server's block.
        struct Into {
            std::int16_t* out;
            std::size_t channels;
        } into{static_cast<std::int16_t*>(data), static_cast<std::size_t>(channels_)};
        const AudioSource::FrameWriter writer{
            [](void* context, const std::int16_t* from, std::size_t at, std::size_t n) {
                const auto* i = static_cast<const Into*>(context);
                std::memcpy(i->out + at * i->channels, from, n * i->channels * sizeof(*from));
            },
            &into};
        const std::size_t got = source_.pullInto(writer, frames);
        if (got == 0) {
            pa_stream_cancel_write(stream_);
            short_ = true;
            break;
        }
        pa_stream_write(stream_, data, got * frameBytes_, nullptr, 0, PA_SEEK_RELATIVE);
        written_ += static_cast<std::int64_t>(got);
        writable -= got * frameBytes_;
        if (got < frames) {
            short_ = true;
            break;
        }
    }
    hungry_.store(short_, std::memory_order_relaxed);
    // The last frame is with the server: let it play out what it holds, then say so. At once,
    // not at the server's next request, which may come most of a refill later.
    if (!drain_ && source_.exhausted())
        drain_ = pa_stream_drain(stream_, &PulseStream::onDrained, this);
}

void PulseStream::onDrained(pa_stream*, int success, void* self) {
    auto* me = static_cast<PulseStream*>(self);
    if (me->drain_) {
        pa_operation_unref(me->drain_);
        me->drain_ = nullptr;
    }
    // A refused drain ends the track a moment early rather than never.
    (void)success;
    me->source_.playedOut();
}

void PulseStream::onState(pa_stream* s, void* self) {
    auto* me = static_cast<PulseStream*>(self);
    const pa_stream_state_t state = pa_stream_get_state(s);
    if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED)
        me->loseLocked();
    pa_threaded_mainloop_signal(me->client_->loop(), 0);
}

} // namespace zr::media
