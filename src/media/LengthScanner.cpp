#include "LengthScanner.h"

#include "MciErrors.h"
#include "Mpg123Decoder.h"

#include <unistd.h>

#include <mutex>
#include <thread>

namespace zr::media {

struct LengthScanner::State {
    std::atomic<std::int64_t> frames{-1};
    std::atomic<bool> done{false};
    std::mutex mutex; // guards cancelled and decoder
    bool cancelled = false;
    Mpg123Decoder* decoder = nullptr;
};

LengthScanner::LengthScanner(int fd) : state_(std::make_shared<State>()) {
    std::thread([state = state_, fd] {
        Mpg123Decoder decoder;
        {
            std::lock_guard lock(state->mutex);
            if (state->cancelled) {
                ::close(fd);
                state->done.store(true);
                return;
            }
            state->decoder = &decoder;
        }
        std::int64_t frames = -1;
        if (decoder.openFd(fd) == kMciOk)
            frames = decoder.scanLengthFrames();
        {
            std::lock_guard lock(state->mutex);
            state->decoder = nullptr;
            if (state->cancelled)
                frames = -1;
        }
        state->frames.store(frames, std::memory_order_relaxed);
        state->done.store(true, std::memory_order_release);
    }).detach();
}

LengthScanner::~LengthScanner() {
    std::lock_guard lock(state_->mutex);
    state_->cancelled = true;
    if (state_->decoder)
        state_->decoder->cancel();
}

bool LengthScanner::done() const {
    return state_->done.load(std::memory_order_acquire);
}

std::int64_t LengthScanner::frames() const {
    return done() ? state_->frames.load(std::memory_order_relaxed) : -1;
}

} // namespace zr::media
