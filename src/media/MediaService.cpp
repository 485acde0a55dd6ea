#include "MediaService.h"

#include "FileUri.h"

#include <cstring>
#include <utility>

namespace zr::media {

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
    std::map<std::string, std::shared_ptr<MpegDevice>> closing;
    {
        const std::lock_guard lock(mutex_);
        closing.swap(devices_);
    }
    for (auto& [alias, device] : closing)
        device->close();
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
    std::shared_ptr<MpegDevice> device;
    {
        const std::lock_guard lock(mutex_);
        const auto it = devices_.find(command.device);
        if (it == devices_.end())
            return kMciUnknownAlias;
        device = it->second;
        if (command.verb == MciVerb::Close)
            devices_.erase(it);
    }
    if (command.verb == MciVerb::Close) {
        device->close();
        return kMciOk;
    }
    return executeOnDevice(command, *device, reply, hasReply);
}

int MediaService::open(const MciCommand& command) {
    std::string path = command.file;
    if (command.fileIsUri) {
        auto decoded = pathFromFileUri(command.file);
        if (!decoded)
            return kMciFileNotFound;
        path = *decoded;
    }
    std::shared_ptr<MpegDevice> device;
    {
        const std::lock_guard lock(mutex_);
        if (devices_.count(command.device))
            return kMciAliasInUse;
        device = MpegDevice::open(path, options_, preparer_);
        devices_.emplace(command.device, device);
    }
    const int result = device->waitForOpen(std::chrono::milliseconds(options_.openWaitMs));
    if (result == kMciOk)
        return kMciOk; // open, or still opening
    // Refused at once: the alias stays free, as for any failed open.
    {
        const std::lock_guard lock(mutex_);
        const auto it = devices_.find(command.device);
        if (it != devices_.end() && it->second == device)
            devices_.erase(it);
    }
    device->close();
    return result;
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
            return device.setMuted(false);
        case SetItem::AudioOff:
            return device.setMuted(true);
        }
        return kMciUnknownCommand;
    case MciVerb::SetAudio:
        return device.setVolume(command.volume);
    case MciVerb::Status: {
        const int err = device.status(command.statusItem, reply);
        hasReply = err == kMciOk;
        return err;
    }
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
