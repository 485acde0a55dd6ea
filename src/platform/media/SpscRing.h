#pragma once
// A fixed-capacity, lock-free single-producer/single-consumer ring of preallocated slots. The
// producer fills the slot it is given in place and publishes it; the consumer reads the front slot
// in place and pops it. Neither side allocates or blocks, so the consumer may be an audio callback.
// reset() is only safe while neither side runs.

#include <atomic>
#include <cstddef>
#include <vector>

namespace zr::media {

template <typename T> class SpscRing {
public:
    explicit SpscRing(std::size_t capacity) : slots_(capacity + 1) {}

    // Producer side.
    [[nodiscard]] T* writeSlot() {
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        if (next(tail) == head_.load(std::memory_order_acquire))
            return nullptr;
        return &slots_[tail];
    }
    void publish() {
        tail_.store(next(tail_.load(std::memory_order_relaxed)), std::memory_order_release);
    }

    // Consumer side.
    [[nodiscard]] T* front() {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        if (head == tail_.load(std::memory_order_acquire))
            return nullptr;
        return &slots_[head];
    }
    void pop() {
        head_.store(next(head_.load(std::memory_order_relaxed)), std::memory_order_release);
    }

    // Either side; exact only when the other side is idle.
    [[nodiscard]] std::size_t size() const {
        const std::size_t head = head_.load(std::memory_order_acquire);
        const std::size_t tail = tail_.load(std::memory_order_acquire);
        return tail >= head ? tail - head : tail + slots_.size() - head;
    }
    [[nodiscard]] std::size_t capacity() const { return slots_.size() - 1; }

    void reset() {
        head_.store(0, std::memory_order_release);
        tail_.store(0, std::memory_order_release);
    }

    // Slot storage, for one-time setup by the owner before either side starts.
    std::vector<T>& storage() { return slots_; }

private:
    [[nodiscard]] std::size_t next(std::size_t i) const {
        return i + 1 == slots_.size() ? 0 : i + 1;
    }

    std::vector<T> slots_;
    alignas(64) std::atomic<std::size_t> head_{0};
    alignas(64) std::atomic<std::size_t> tail_{0};
};

} // namespace zr::media
