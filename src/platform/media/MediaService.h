#pragma once
// The media control service: a table of open devices by alias, driven by commands of the media
// command language (see MciParser.h). mWinAPI::mciSendStringA uses one process-wide instance;
// tests and tools may make their own with other buffering options.
//
// Replies: a command with a reply writes its text and one NUL at the front of the buffer and
// nothing else; when text and NUL do not fit in replyLength bytes it writes nothing and fails
// with kMciReplyTooLong. Commands without a reply never touch the buffer. Thread-safe: commands
// are executed one at a time.

#include "MciErrors.h"
#include "MciParser.h"
#include "MpegDevice.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace zr::media {

class MediaService {
public:
    MediaService();
    explicit MediaService(const DeviceOptions& options);
    ~MediaService();
    MediaService(const MediaService&) = delete;
    MediaService& operator=(const MediaService&) = delete;

    [[nodiscard]] int send(const char* command, char* reply, unsigned replyLength);
    // Convenience for tools and tests: the reply text (empty when none) and the code.
    [[nodiscard]] int send(const std::string& command, std::string* reply = nullptr);

    // Closes every device; the service stays usable.
    void closeAll();

private:
    [[nodiscard]] int execute(const MciCommand& command, std::string& reply, bool& hasReply);
    [[nodiscard]] int executeOnDevice(const MciCommand& command, MpegDevice& device,
                                      std::string& reply, bool& hasReply);

    const DeviceOptions options_;
    std::mutex mutex_;
    std::map<std::string, std::unique_ptr<MpegDevice>> devices_;
};

// The instance behind mWinAPI::mciSendStringA.
[[nodiscard]] MediaService& processMediaService();
// Closes every device of that instance. Call before leaving main(): it joins the device threads
// while the rest of the program is still intact, so exit is quick whatever the order of static
// destruction. Safe to call more than once.
void shutdownProcessMediaService();

} // namespace zr::media
