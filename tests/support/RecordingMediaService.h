#pragma once
// A media service for tests: records every command text it receives and answers status
// queries with scripted replies, writing them exactly as the real service does (the decimal
// text and one NUL at the front of the buffer, nothing else, never past the length given).
// Install it with zr::ScopedMediaEndpoint, or use RecordingMediaService::Installed.

#include "MediaChannel.h"

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace zr::test {

class RecordingMediaService : public MediaEndpoint {
public:
    // One call as the service saw it.
    struct Call {
        std::string command;
        unsigned replyLength = 0;
        int result = 0;
    };

    int SendString(const char* command, char* reply, unsigned replyLength) override;

    // Command texts in the order received.
    [[nodiscard]] std::vector<std::string> commands() const;
    [[nodiscard]] const std::vector<Call>& calls() const { return calls_; }
    // Commands received since the last clear(); forgets the calls, keeps the script.
    void clear() { calls_.clear(); }
    // How many times exactly this command text was received.
    [[nodiscard]] int count(const std::string& command) const;

    // Reply for every later query with exactly this text (until replaced).
    void setReply(const std::string& command, const std::string& reply);
    // One-shot replies, used in order by the next status queries (any text) before the
    // per-command replies.
    void queueReply(const std::string& reply);
    // Result code for every later call with exactly this text (default 0).
    void setResult(const std::string& command, int result);
    // Result code for every call without a per-command result (default 0).
    void setDefaultResult(int result) { defaultResult_ = result; }
    // Forgets the whole script (replies, queue, results); keeps the recorded calls.
    void resetScript();

    // A recording service installed for the lifetime of this object.
    class Installed;

private:
    std::vector<Call> calls_;
    std::map<std::string, std::string> replies_;
    std::deque<std::string> queued_;
    std::map<std::string, int> results_;
    int defaultResult_ = 0;
};

// Owns a recording service and routes every command to it while it lives:
//   RecordingMediaService::Installed media;  media->setReply(...);  ...  media->commands()
class RecordingMediaService::Installed {
public:
    Installed() : guard_(service_) {}
    RecordingMediaService* operator->() { return &service_; }
    RecordingMediaService& operator*() { return service_; }

private:
    RecordingMediaService service_;
    ScopedMediaEndpoint guard_;
};

} // namespace zr::test
