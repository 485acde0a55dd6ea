#pragma once
// Real mounts for tests, a file system that never answers among them (a FUSE mount whose
// requests nobody reads: a network share whose server went away). They live in a mount
// namespace of the test process's own, so the rest of the machine never sees them and they end
// with the process. Needs root and /dev/fuse; says why not otherwise, so a test can skip.

#include <QString>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

namespace zr::test {

inline bool& InPrivateMounts() {
    static bool entered = false;
    return entered;
}

// Call first thing in main, before any thread starts: a thread keeps the mount namespace it
// had, and threads take their creator's.
inline void EnterPrivateMounts() {
    InPrivateMounts() = unshare(CLONE_NEWNS) == 0 &&
                        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// Mounts a file system of `type` on `folder`; "" or why it could not.
inline std::string MountHere(const char* type, const QString& folder,
                             const char* options = nullptr) {
    if (!InPrivateMounts()) {
        return "no mount namespace of our own (not root?)";
    }
    if (mount(type, folder.toLocal8Bit().constData(), type, MS_NOSUID | MS_NODEV, options) != 0) {
        return std::string("mount ") + type + ": " + std::strerror(errno);
    }
    return {};
}

// A folder on which every stat, open and listing blocks in the kernel until Release() or the
// object's end, and at the latest 60 s after Mount(), so that a program that blocks for good
// fails its test instead of hanging it (ReleasedByWatchdog then says so).
class HungMount {
public:
    HungMount() = default;
    HungMount(const HungMount&) = delete;
    HungMount& operator=(const HungMount&) = delete;
    ~HungMount() {
        {
            const std::lock_guard lock(mutex_);
            ended_ = true;
        }
        wake_.notify_all();
        if (watchdog_.joinable()) {
            watchdog_.join();
        }
        Release();
        if (!folder_.empty()) {
            umount2(folder_.c_str(), MNT_DETACH);
        }
    }

    // Mounts over `folder`, which must exist; "" or why it could not.
    std::string Mount(const QString& folder) {
        const int fd = open("/dev/fuse", O_RDWR | O_CLOEXEC);
        if (fd < 0) {
            return std::string("/dev/fuse: ") + std::strerror(errno);
        }
        const std::string options = "fd=" + std::to_string(fd) +
                                    ",rootmode=40000,user_id=" + std::to_string(getuid()) +
                                    ",group_id=" + std::to_string(getgid());
        if (std::string why = MountHere("fuse.zrhang", folder, options.c_str()); !why.empty()) {
            close(fd);
            return why;
        }
        folder_ = folder.toLocal8Bit().toStdString();
        fd_ = fd;
        watchdog_ = std::thread([this] {
            std::unique_lock lock(mutex_);
            if (!wake_.wait_for(lock, std::chrono::seconds(60), [this] { return ended_; })) {
                fired_ = true;
                lock.unlock();
                Release();
            }
        });
        return {};
    }

    // Ends the connection: every call blocked in the mount, and every later one, fails.
    void Release() {
        const std::lock_guard lock(mutex_);
        if (fd_ >= 0) {
            close(fd_);
            fd_ = -1;
        }
    }

    [[nodiscard]] bool ReleasedByWatchdog() {
        const std::lock_guard lock(mutex_);
        return fired_;
    }

private:
    std::string folder_;
    std::mutex mutex_;
    std::condition_variable wake_;
    int fd_ = -1;
    bool ended_ = false;
    bool fired_ = false;
    std::thread watchdog_;
};

} // namespace zr::test
