#pragma once
// A fixed-capacity, lock-free single-producer/single-consumer ring of preallocated slots.
//
// Thread rules: exactly one thread at a time uses the Producer handle and exactly one uses the
// Consumer handle; each handle offers only its own half, so the two cannot be mixed up. The
// producer fills the slot it is given in place and publishes it; the consumer reads the front
// slot in place and pops it. Neither side allocates or blocks, so the consumer may be an audio
// callback. size() is safe from either side (exact only while the other side is idle).
// storage() is for one-time setup by the owner before either side starts.

#include "MediaAssert.h"

#include <atomic>
#include <cstddef>
#include <vector>

namespace zr::media {

template <typename T> class SpscRing {
public:
    explicit SpscRing(std::size_t capacity) : slots_(capacity + 1) {}
    SpscRing(const SpscRing&) = delete;
    SpscRing& operator=(const SpscRing&) = delete;

    class Producer {
    public:
        // The next free slot, or nullptr when the ring is full.
        [[nodiscard]] T* slot() {
            const std::size_t tail = r_->tail_.load(std::memory_order_relaxed);
            if (r_->next(tail) == r_->head_.load(std::memory_order_acquire))
                return nullptr;
            return &r_->slots_[tail];
        }
        // Hands the slot returned by slot() to the consumer.
        void publish() {
            ZR_ASSERT(r_->next(r_->tail_.load(std::memory_order_relaxed)) !=
                      r_->head_.load(std::memory_order_acquire)); // publish only a slot() given
            r_->tail_.store(r_->next(r_->tail_.load(std::memory_order_relaxed)),
                            std::memory_order_release);
        }
        [[nodiscard]] std::size_t size() const { return r_->size(); }
        [[nodiscard]] std::size_t capacity() const { return r_->capacity(); }

    private:
        friend class SpscRing;
        explicit Producer(SpscRing* r) : r_(r) {}
        SpscRing* r_;
    };

    class Consumer {
    public:
        // The oldest published slot, or nullptr when the ring is empty.
        [[nodiscard]] T* front() {
            const std::size_t head = r_->head_.load(std::memory_order_relaxed);
            if (head == r_->tail_.load(std::memory_order_acquire))
                return nullptr;
            return &r_->slots_[head];
        }
        // Gives the front slot back to the producer.
        void pop() {
            ZR_ASSERT(r_->head_.load(std::memory_order_relaxed) !=
                      r_->tail_.load(std::memory_order_acquire)); // pop only a front() seen
            r_->head_.store(r_->next(r_->head_.load(std::memory_order_relaxed)),
                            std::memory_order_release);
        }
        [[nodiscard]] std::size_t size() const { return r_->size(); }
        [[nodiscard]] std::size_t capacity() const { return r_->capacity(); }

    private:
        friend class SpscRing;
        explicit Consumer(SpscRing* r) : r_(r) {}
        SpscRing* r_;
    };

    [[nodiscard]] Producer producer() { return Producer(this); }
    [[nodiscard]] Consumer consumer() { return Consumer(this); }

    [[nodiscard]] std::size_t size() const {
        const std::size_t head = head_.load(std::memory_order_acquire);
        const std::size_t tail = tail_.load(std::memory_order_acquire);
        return tail >= head ? tail - head : tail + slots_.size() - head;
    }
    [[nodiscard]] std::size_t capacity() const { return slots_.size() - 1; }

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
