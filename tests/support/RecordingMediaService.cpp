#include "RecordingMediaService.h"

#include "MciErrors.h"

#include <algorithm>
#include <cstring>

namespace zr::test {

int RecordingMediaService::SendString(const char* command, char* reply, unsigned replyLength) {
    const std::string text = command != nullptr ? command : "";
    const auto scripted = results_.find(text);
    int result = scripted != results_.end() ? scripted->second : defaultResult_;

    if (replyLength > 0 && reply != nullptr) {
        std::string answer;
        bool answered = false;
        if (!queued_.empty()) {
            answer = queued_.front();
            queued_.pop_front();
            answered = true;
        } else if (const auto it = replies_.find(text); it != replies_.end()) {
            answer = it->second;
            answered = true;
        }
        if (answered) {
            if (answer.size() + 1 <= replyLength) {
                std::memcpy(reply, answer.c_str(), answer.size() + 1);
            } else if (result == 0) {
                result = zr::media::kMciReplyTooLong; // as the real service: nothing written
            }
        }
    }
    calls_.push_back(Call{text, replyLength, result});
    return result;
}

std::vector<std::string> RecordingMediaService::commands() const {
    std::vector<std::string> texts;
    texts.reserve(calls_.size());
    for (const Call& call : calls_) {
        texts.push_back(call.command);
    }
    return texts;
}

int RecordingMediaService::count(const std::string& command) const {
    return static_cast<int>(std::count_if(calls_.begin(), calls_.end(),
                                          [&](const Call& c) { return c.command == command; }));
}

void RecordingMediaService::setReply(const std::string& command, const std::string& reply) {
    replies_[command] = reply;
}

void RecordingMediaService::queueReply(const std::string& reply) {
    queued_.push_back(reply);
}

void RecordingMediaService::setResult(const std::string& command, int result) {
    results_[command] = result;
}

void RecordingMediaService::resetScript() {
    replies_.clear();
    queued_.clear();
    results_.clear();
    defaultResult_ = 0;
}

} // namespace zr::test
