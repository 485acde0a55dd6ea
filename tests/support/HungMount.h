#pragma once
// Real mounts for tests: a file system that never answers (a FUSE mount whose requests nobody
// reads, as a network share whose server went away), and plain mounts of any type. They live in
// a mount namespace of the test process's own, so nothing else on the machine sees them and
// they end with the process. Header-only; needs root and /dev/fuse, and says why not otherwise,
// so a test can skip.

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

// Gives the process a mount namespace of its own, whose mounts are neither seen by nor passed on
// to the rest of the machine. Call first thing in main, before any thread starts: a thread keeps
// the namespace it had, and threads take their creator's. Returns false when not allowed.
inline bool EnterPrivateMounts() {
    InPrivateMounts() = unshare(CLONE_NEWNS) == 0 &&
                        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    return InPrivateMounts();
}

// Mounts a file system of `type` on `folder` in the private namespace; "" or why it could not.
inline std::string MountHere(const char* type, const char* source, const QString& folder,
                             const char* options = nullptr) {
    if (!InPrivateMounts()) {
        return "no mount namespace of our own (not root?)";
    }
    if (mount(source, folder.toLocal8Bit().constData(), type, MS_NOSUID | MS_NODEV, options) != 0) {
        return std::string("mount ") + type + ": " + std::strerror(errno);
    }
    return {};
}

// A folder on which every stat, open and listing blocks in the kernel, for as long as the mount
// lives or until Release(). Released at the latest after `releaseAfter`, so a program that
// blocks for good fails its test instead of hanging it (ReleasedByWatchdog says so).
class HungMount {
public:
    explicit HungMount(std::chrono::seconds releaseAfter = std::chrono::seconds(60))
        : releaseAfter_(releaseAfter) {}
    HungMount(const HungMount&) = delete;
    HungMount& operator=(const HungMount&) = delete;

    ~HungMount() {
        Release();
        {
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        if (watchdog_.joinable()) {
            watchdog_.join();
        }
        if (!folder_.empty()) {
            umount2(folder_.c_str(), MNT_DETACH);
        }
    }

    // Mounts over `folder`, which must exist; "" on success, or why it could not.
    std::string Mount(const QString& folder) {
        if (!InPrivateMounts()) {
            return "no mount namespace of our own (not root?)";
        }
        const int fd = open("/dev/fuse", O_RDWR | O_CLOEXEC);
        if (fd < 0) {
            return std::string("/dev/fuse: ") + std::strerror(errno);
        }
        const std::string options = "fd=" + std::to_string(fd) +
                                    ",rootmode=40000,user_id=" + std::to_string(getuid()) +
                                    ",group_id=" + std::to_string(getgid());
        const std::string why = MountHere("fuse.zrhang", "hung", folder, options.c_str());
        if (!why.empty()) {
            close(fd);
            return why;
        }
        folder_ = folder.toLocal8Bit().toStdString();
        {
            const std::lock_guard lock(mutex_);
            fd_ = fd;
        }
        watchdog_ = std::thread([this] {
            std::unique_lock lock(mutex_);
            if (!wake_.wait_for(lock, releaseAfter_, [this] { return stop_; })) {
                watchdogFired_ = true;
                lock.unlock();
                Release();
            }
        });
        return {};
    }

    // Ends the connection: every call blocked in the mount, and every later one, fails
    // (ENOTCONN), so the threads stuck there come back.
    void Release() {
        const std::lock_guard lock(mutex_);
        if (fd_ >= 0) {
            close(fd_);
            fd_ = -1;
        }
    }

    [[nodiscard]] bool ReleasedByWatchdog() {
        const std::lock_guard lock(mutex_);
        return watchdogFired_;
    }

private:
    std::chrono::seconds releaseAfter_;
    std::string folder_;
    std::mutex mutex_;
    std::condition_variable wake_;
    int fd_ = -1;
    bool stop_ = false;
    bool watchdogFired_ = false;
    std::thread watchdog_;
};

} // namespace zr::test
