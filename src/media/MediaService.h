#pragma once
// The media control service: a table of open devices by alias, driven by commands of the media
// command language (see MciParser.h). mWinAPI::mciSendStringA uses one process-wide instance;
// tests and tools may make their own with other buffering options.
//
// Replies: a command with a reply writes its text and one NUL at the front of the buffer and
// nothing else; when text and NUL do not fit in replyLength bytes it writes nothing and fails
// with kMciReplyTooLong. Commands without a reply never touch the buffer. Thread-safe: the
// commands for one device run one at a time.
//
// No command keeps its caller waiting on the file for long. A device exists from "open" on, and
// its worker opens the file (see MpegDevice.h); "open" waits for that at most openWaitMs
// (DeviceOptions): a normal file is answered with its real result (a bad file refused at once,
// leaving the alias free), a slower one with 0. Every later command is then answered as if the
// file were open; "status length" alone waits, until lengthWaitMs after "open". A file that
// fails later, or has no first frame firstFrameWaitMs after "open", leaves a device that
// answers the open's error (kMciFileNotFound, kMciCannotDecode) until it is closed, except
// that a length already replied stays the length and the position equals it.
//
// Closing a device stops its worker and cancels its reads, and waits at most
// MpegDevice::kCloseWait (half a second) for it to end; a worker stuck in a read in the kernel
// (a share that stopped answering) is left behind and ends when that read returns.

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
    // How a device's worker turns a path into a track: MpegDevice::prepare, unless a test stands
    // in for a file whose reads block. It must own what it uses (it may outlive the service).
    using TrackPreparer = MpegDevice::Preparer;

    MediaService();
    explicit MediaService(const DeviceOptions& options);
    MediaService(const DeviceOptions& options, TrackPreparer preparer);
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
    [[nodiscard]] int open(const MciCommand& command);
    [[nodiscard]] static int executeOnDevice(const MciCommand& command, MpegDevice& device,
                                             std::string& reply, bool& hasReply);

    const DeviceOptions options_;
    const TrackPreparer preparer_;
    // Held only while an alias is looked up, added or removed: a command runs on its device (whose
    // own mutex serialises commands) and a device is closed after it is released, so that other
    // aliases stay usable meanwhile.
    std::mutex mutex_;
    std::map<std::string, std::shared_ptr<MpegDevice>> devices_;
};

// The instance behind mWinAPI::mciSendStringA.
[[nodiscard]] MediaService& processMediaService();
// Closes every device of that instance. Call before leaving main(): it stops the device threads
// while the rest of the program is still intact (waiting at most kCloseWait for each, as close
// does), so exit is quick whatever the order of static destruction. Safe to call more than once.
void shutdownProcessMediaService();

} // namespace zr::media
