#pragma once
// C libraries that only some plays need (SDL for the fallback output, SoundTouch for a speed
// other than 1000), opened the first time one does. Linking them would load them, and all they
// load, into every process at start. Only declarations come from their headers; every call goes
// through a table of functions that a bind step fills once.

#include <atomic>
#include <mutex>
#include <string>

namespace zr::media {

class LazyLibrary {
public:
    explicit LazyLibrary(const char* soname) : soname_(soname) {}
    LazyLibrary(const LazyLibrary&) = delete;
    LazyLibrary& operator=(const LazyLibrary&) = delete;

    // True once the library is open and bind(*this) found all it needs. The first call opens
    // it; later ones give the first call's answer. Never unloaded. Thread-safe.
    template <typename Bind> bool open(Bind bind) {
        if (isOpen())
            return true;
        std::lock_guard lock(mutex_);
        if (!tried_) {
            tried_ = true;
            if (load() && bind(*this))
                open_.store(true, std::memory_order_release);
            else
                unload();
        }
        return open_.load(std::memory_order_relaxed);
    }
    [[nodiscard]] bool isOpen() const { return open_.load(std::memory_order_acquire); }
    // Why open() gave false.
    [[nodiscard]] std::string error() const;

    // For bind: finds `name`, or says it is missing.
    template <typename F> bool resolve(F& slot, const char* name) {
        slot = reinterpret_cast<F>(symbol(name));
        return slot != nullptr;
    }

private:
    bool load();
    void unload();
    void* symbol(const char* name);

    const char* const soname_;
    mutable std::mutex mutex_;
    std::atomic<bool> open_{false};
    bool tried_ = false;     // under mutex_
    void* handle_ = nullptr; // under mutex_ until open_
    std::string error_;      // under mutex_
};

} // namespace zr::media
