#pragma once
// A single word shared between the audio thread and the other threads. Reads and writes
// are whole (never torn) and relaxed: use it for independent values. Values that publish
// other memory use std::atomic with acquire/release directly.

#include <atomic>

namespace grainwheel {

template <typename T>
class Shared {
public:
    static_assert(std::atomic<T>::is_always_lock_free, "shared words must be lock-free");
    constexpr Shared() noexcept : v_(T{}) {}
    constexpr Shared(T v) noexcept : v_(v) {}  // NOLINT: implicit on purpose
    Shared(const Shared&) = delete;
    Shared& operator=(const Shared&) = delete;

    operator T() const noexcept { return v_.load(std::memory_order_relaxed); }  // NOLINT
    T load() const noexcept { return v_.load(std::memory_order_relaxed); }
    Shared& operator=(T v) noexcept {
        v_.store(v, std::memory_order_relaxed);
        return *this;
    }
    // The word itself, for readers that keep its address (the editor's views).
    std::atomic<T>* address() noexcept { return &v_; }
    const std::atomic<T>* address() const noexcept { return &v_; }

private:
    std::atomic<T> v_;
};

}  // namespace grainwheel
