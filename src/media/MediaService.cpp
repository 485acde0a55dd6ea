#include "MediaService.h"

#include "FileUri.h"

#include <condition_variable>
#include <cstring>
#include <optional>
#include <thread>
#include <utility>

namespace zr::media {
namespace {

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

} // namespace

// One "open" in progress, shared by the thread doing it and the alias waiting for it; whichever
// lets go last frees it.
struct MediaService::OpenJob {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    int result = kMciOk;
    std::optional<OpenedTrack> track;

    bool waitFor(std::chrono::milliseconds wait) {
        std::unique_lock lock(mutex);
        return finished.wait_for(lock, wait, [this] { return done; });
    }
};

MediaService::Entry::~Entry() {
    if (device)
        device->close();
}

MediaService::Entry& MediaService::Entry::operator=(Entry&& other) noexcept {
    if (this != &other) {
        if (device)
            device->close();
        device = std::move(other.device);
        opening = std::move(other.opening);
        sent = other.sent;
        failure = other.failure;
    }
    return *this;
}

MediaService::MediaService() : MediaService(DeviceOptions{}) {}

MediaService::MediaService(const DeviceOptions& options)
    : MediaService(options, &MpegDevice::prepare) {}

MediaService::MediaService(const DeviceOptions& options, TrackPreparer preparer)
    : options_(options), preparer_(std::move(preparer)) {
    AudioSystem::instance().retain();
}

MediaService::~MediaService() {
    closeAll();
    AudioSystem::instance().release();
}

void MediaService::closeAll() {
    std::map<std::string, Entry> closing;
    {
        std::lock_guard lock(mutex_);
        closing.swap(devices_);
    }
    closing.clear();
}

int MediaService::send(const char* command, char* reply, unsigned replyLength) {
    if (!command)
        return kMciUnknownCommand;
    const MciParseResult parsed = parseMciCommand(command);
    if (parsed.error != kMciOk)
        return parsed.error;
    std::string text;
    bool hasReply = false;
    const int err = execute(parsed.command, text, hasReply);
    if (err != kMciOk || !hasReply)
        return err;
    if (!reply || text.size() + 1 > replyLength)
        return kMciReplyTooLong;
    std::memcpy(reply, text.c_str(), text.size() + 1);
    return kMciOk;
}

int MediaService::send(const std::string& command, std::string* reply) {
    char buffer[256] = {};
    const int err = send(command.c_str(), buffer, sizeof buffer);
    if (reply)
        *reply = err == kMciOk ? std::string(buffer) : std::string();
    return err;
}

int MediaService::execute(const MciCommand& command, std::string& reply, bool& hasReply) {
    if (command.verb == MciVerb::Close && command.allDevices) {
        closeAll();
        return kMciOk;
    }
    if (command.verb == MciVerb::Open)
        return open(command);
    Entry closing; // destroyed after the lock is released
    std::lock_guard lock(mutex_);
    auto it = devices_.find(command.device);
    if (it == devices_.end())
        return kMciUnknownAlias;
    if (command.verb == MciVerb::Close) {
        closing = std::move(it->second);
        devices_.erase(it);
        return kMciOk;
    }
    Entry& entry = it->second;
    settleLocked(entry);
    if (entry.device)
        return executeOnDevice(command, *entry.device, reply, hasReply);
    return entry.opening ? kMciNotReady : entry.failure;
}

int MediaService::open(const MciCommand& command) {
    std::string path = command.file;
    if (command.fileIsUri) {
        auto decoded = pathFromFileUri(command.file);
        if (!decoded)
            return kMciFileNotFound;
        path = *decoded;
    }
    auto job = std::make_shared<OpenJob>();
    {
        std::lock_guard lock(mutex_);
        if (devices_.count(command.device))
            return kMciAliasInUse;
        Entry entry;
        entry.opening = job;
        entry.sent = std::chrono::steady_clock::now();
        devices_.emplace(command.device, std::move(entry));
    }
    // Detached: a read stuck in the kernel must not hold up this caller, later commands, or the
    // program's exit. The job is shared, so nothing it touches goes away under it.
    std::thread([job, path, prepare = preparer_] {
        OpenedTrack track;
        const int result = prepare(path, track);
        std::lock_guard lock(job->mutex);
        job->result = result;
        if (result == kMciOk)
            job->track.emplace(std::move(track));
        job->done = true;
        job->finished.notify_all();
    }).detach();
    job->waitFor(kOpenWait);

    Entry dropped;
    std::lock_guard lock(mutex_);
    auto it = devices_.find(command.device);
    if (it == devices_.end() || it->second.opening != job)
        return kMciOk; // closed meanwhile by another thread
    settleLocked(it->second);
    if (it->second.device || it->second.opening)
        return kMciOk;
    // Refused at once: the alias stays free, as for any failed open.
    const int failure = it->second.failure;
    dropped = std::move(it->second);
    devices_.erase(it);
    return failure;
}

void MediaService::settleLocked(Entry& entry) {
    if (!entry.opening)
        return;
    std::unique_lock jobLock(entry.opening->mutex);
    if (entry.opening->done) {
        if (entry.opening->result == kMciOk)
            entry.device = MpegDevice::start(std::move(*entry.opening->track), options_);
        else
            entry.failure = entry.opening->result;
    } else if (std::chrono::steady_clock::now() - entry.sent >= kOpenDeadline) {
        entry.failure = kMciCannotDecode;
    } else {
        return;
    }
    jobLock.unlock();
    entry.opening.reset();
}

int MediaService::executeOnDevice(const MciCommand& command, MpegDevice& device, std::string& reply,
                                  bool& hasReply) {
    switch (command.verb) {
    case MciVerb::Play:
        return device.play(command.from, command.to);
    case MciVerb::Pause:
        return device.pause();
    case MciVerb::Resume:
        return device.resume();
    case MciVerb::Stop:
        return device.stop();
    case MciVerb::Seek:
        return device.seek(command.seekTarget, command.seekPosition);
    case MciVerb::Set:
        switch (command.setItem) {
        case SetItem::TimeFormatMs:
            return kMciOk;
        case SetItem::Speed:
            return device.setSpeed(command.speed);
        case SetItem::AudioOn:
            device.setMuted(false);
            return kMciOk;
        case SetItem::AudioOff:
            device.setMuted(true);
            return kMciOk;
        }
        return kMciUnknownCommand;
    case MciVerb::SetAudio:
        device.setVolume(command.volume);
        return kMciOk;
    case MciVerb::Status:
        hasReply = true;
        switch (command.statusItem) {
        case StatusItem::Length:
            reply = std::to_string(device.lengthMs());
            break;
        case StatusItem::Position:
            reply = std::to_string(device.positionMs());
            break;
        case StatusItem::Mode:
            reply = modeText(device.mode());
            break;
        case StatusItem::Volume:
            reply = std::to_string(device.volume());
            break;
        case StatusItem::Speed:
            reply = std::to_string(device.speed());
            break;
        case StatusItem::TimeFormat:
            reply = "milliseconds";
            break;
        }
        return kMciOk;
    case MciVerb::Open:
    case MciVerb::Close:
        break;
    }
    return kMciUnknownCommand;
}

MediaService& processMediaService() {
    static MediaService service;
    return service;
}

void shutdownProcessMediaService() {
    processMediaService().closeAll();
}

} // namespace zr::media
