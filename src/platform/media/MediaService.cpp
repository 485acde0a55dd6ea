#include "MediaService.h"

#include "FileUri.h"

#include <cstring>

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

MediaService::MediaService() : MediaService(DeviceOptions{}) {}

MediaService::MediaService(const DeviceOptions& options) : options_(options) {
    AudioSystem::instance().retain();
}

MediaService::~MediaService() {
    closeAll();
    AudioSystem::instance().release();
}

void MediaService::closeAll() {
    std::map<std::string, std::unique_ptr<MpegDevice>> closing;
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
    std::unique_ptr<MpegDevice> closing;
    std::lock_guard lock(mutex_);
    if (command.verb == MciVerb::Open) {
        if (devices_.count(command.device))
            return kMciAliasInUse;
        std::string path = command.file;
        if (command.fileIsUri) {
            auto decoded = pathFromFileUri(command.file);
            if (!decoded)
                return kMciFileNotFound;
            path = *decoded;
        }
        std::unique_ptr<MpegDevice> device;
        if (int err = MpegDevice::open(path, options_, device))
            return err;
        devices_.emplace(command.device, std::move(device));
        return kMciOk;
    }
    auto it = devices_.find(command.device);
    if (it == devices_.end())
        return kMciUnknownAlias;
    if (command.verb == MciVerb::Close) {
        closing = std::move(it->second);
        devices_.erase(it);
        return kMciOk;
    }
    return executeOnDevice(command, *it->second, reply, hasReply);
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
