#pragma once
// The media control service: a table of open devices by alias, driven by commands of the media
// command language (see MciParser.h). mWinAPI::mciSendStringA uses one process-wide instance;
// tests and tools may make their own with other buffering options.
//
// Replies: a command with a reply writes its text and one NUL at the front of the buffer and
// nothing else; when text and NUL do not fit in replyLength bytes it writes nothing and fails
// with kMciReplyTooLong. Commands without a reply never touch the buffer. Thread-safe: commands
// are executed one at a time.
//
// No command keeps its caller waiting on the file. "open" opens and probes the file on a thread
// of its own and waits for it at most kOpenWait: a normal file is answered with its real result
// (a bad file refused at once, as before). A file that takes longer is answered 0 and its alias
// names a pending device, which answers every later command at once:
// - close works; the opening thread is left behind (it owns what it uses, and the process does
//   not wait for it at exit);
// - once the open has finished, commands run on the device, or fail with the open's error
//   (kMciFileNotFound, kMciCannotDecode);
// - while the open is still running, they fail with kMciNotReady and change nothing;
// - an open that has not given a first frame kOpenDeadline after "open" was sent is given up:
//   from then on the alias answers kMciCannotDecode until it is closed.

#include "MciErrors.h"
#include "MciParser.h"
#include "MpegDevice.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace zr::media {

class MediaService {
public:
    static constexpr std::chrono::milliseconds kOpenWait{80};
    static constexpr std::chrono::milliseconds kOpenDeadline{2000};

    // How "open" turns a path into a track: MpegDevice::prepare, unless a test stands in for a
    // file whose reads block. Runs on a detached thread, so it must own what it uses.
    using TrackPreparer = std::function<int(const std::string& path, OpenedTrack& track)>;

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
    struct OpenJob;
    // An alias: its device, or the open still running for it, or the open's failure.
    struct Entry {
        Entry() = default;
        Entry(Entry&&) = default;
        Entry& operator=(Entry&& other) noexcept;
        ~Entry(); // closes the device
        std::shared_ptr<MpegDevice> device;
        std::shared_ptr<OpenJob> opening;
        std::chrono::steady_clock::time_point sent;
        int failure = 0;
    };

    [[nodiscard]] int execute(const MciCommand& command, std::string& reply, bool& hasReply);
    [[nodiscard]] int open(const MciCommand& command);
    [[nodiscard]] int executeOnDevice(const MciCommand& command, MpegDevice& device,
                                      std::string& reply, bool& hasReply);
    // Turns a finished (or overdue) open into a device or a failure. Under mutex_.
    void settleLocked(Entry& entry);

    const DeviceOptions options_;
    const TrackPreparer preparer_;
    // Held while a command looks up its alias and runs on its device (lock order: this, then
    // the device's, then the audio system's). Never held while waiting for an open, nor while a
    // device is destroyed: its destructor joins the device's worker.
    std::mutex mutex_;
    std::map<std::string, Entry> devices_;
};

// The instance behind mWinAPI::mciSendStringA.
[[nodiscard]] MediaService& processMediaService();
// Closes every device of that instance. Call before leaving main(): it joins the device threads
// while the rest of the program is still intact, so exit is quick whatever the order of static
// destruction. Safe to call more than once.
void shutdownProcessMediaService();

} // namespace zr::media
