#pragma once
// Replaces the global allocation operators of a test binary with ones that count while
// `gwtest::counting` is set. Include this from exactly one source file of a binary: the
// replacements are ordinary (non-inline) definitions. `failing` makes every nothrow
// allocation of exactly that many bytes fail, as when memory is short.

#include <atomic>
#include <cstdlib>
#include <new>

namespace gwtest {
inline std::atomic<bool> counting{false};
inline std::atomic<long> allocations{0};
inline std::atomic<std::size_t> failing{0};
}  // namespace gwtest

// The replacements pair malloc with free; GCC cannot see that through the inlined calls.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(std::size_t size) {
    if (gwtest::counting.load()) gwtest::allocations.fetch_add(1);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (gwtest::counting.load()) gwtest::allocations.fetch_add(1);
    if (size != 0 && size == gwtest::failing.load()) return nullptr;
    return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
