// The counting allocation functions of grainwheel-host. Linked into the executable
// itself (not a library), so that they take the place of the standard ones for every
// module the process loads.

#include "tools/validate/alloc_counter.h"

#include <dlfcn.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define GW_SANITIZER_OWNS_MALLOC 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define GW_SANITIZER_OWNS_MALLOC 1
#endif
#endif

namespace gwvalidate {
namespace {

constexpr int kRecords = 64;
thread_local bool inAudioCallback = false;
std::atomic<long> counted{0};
AllocationRecord records[kRecords];

inline void noteCall(const char* function, std::size_t size, void* caller) {
    if (!inAudioCallback) return;
    long n = counted.fetch_add(1, std::memory_order_relaxed);
    if (n < kRecords) records[n] = {function, size, caller};
}

}  // namespace

AudioCallbackScope::AudioCallbackScope() { inAudioCallback = true; }
AudioCallbackScope::~AudioCallbackScope() { inAudioCallback = false; }

bool countsMalloc() {
#if defined(GW_SANITIZER_OWNS_MALLOC)
    return false;
#else
    return true;
#endif
}

bool countingAvailable() { return true; }

void resetAllocationCount() { counted.store(0); }
long allocationCount() { return counted.load(); }

int recordedAllocations(AllocationRecord* out, int max) {
    long n = counted.load();
    int copied = 0;
    for (long i = 0; i < n && i < kRecords && copied < max; ++i) out[copied++] = records[i];
    return copied;
}

void describeCaller(void* caller, char* text, std::size_t size) {
    Dl_info info{};
    if (caller && dladdr(caller, &info) && info.dli_fname) {
        const char* module = info.dli_fname;
        for (const char* p = info.dli_fname; *p; ++p)
            if (*p == '/') module = p + 1;
        if (info.dli_sname)
            std::snprintf(text, size, "%s (%s)", info.dli_sname, module);
        else
            std::snprintf(text, size, "%s+0x%lx", module,
                          static_cast<unsigned long>(static_cast<char*>(caller) - static_cast<char*>(info.dli_fbase)));
        return;
    }
    std::snprintf(text, size, "%p", caller);
}

}  // namespace gwvalidate

using gwvalidate::noteCall;

#if !defined(GW_SANITIZER_OWNS_MALLOC)
// glibc's own allocator under its exported internal names.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* p, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* p);

void* malloc(std::size_t size) noexcept {
    noteCall("malloc", size, __builtin_return_address(0));
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) noexcept {
    noteCall("calloc", count * size, __builtin_return_address(0));
    return __libc_calloc(count, size);
}
void* realloc(void* p, std::size_t size) noexcept {
    noteCall("realloc", size, __builtin_return_address(0));
    return __libc_realloc(p, size);
}
void free(void* p) noexcept {
    if (p) noteCall("free", 0, __builtin_return_address(0));
    __libc_free(p);
}
void* memalign(std::size_t alignment, std::size_t size) noexcept {
    noteCall("memalign", size, __builtin_return_address(0));
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(std::size_t alignment, std::size_t size) noexcept {
    noteCall("aligned_alloc", size, __builtin_return_address(0));
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, std::size_t alignment, std::size_t size) noexcept {
    noteCall("posix_memalign", size, __builtin_return_address(0));
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) return 22;  // EINVAL
    void* p = __libc_memalign(alignment, size);
    if (!p && size) return 12;  // ENOMEM
    *out = p;
    return 0;
}
}  // extern "C"

namespace {
inline void* rawAllocate(std::size_t size) { return __libc_malloc(size ? size : 1); }
inline void* rawAllocateAligned(std::size_t size, std::size_t alignment) {
    return __libc_memalign(alignment, size ? size : 1);
}
inline void rawRelease(void* p) { __libc_free(p); }
}  // namespace
#else
namespace {
inline void* rawAllocate(std::size_t size) { return std::malloc(size ? size : 1); }
inline void* rawAllocateAligned(std::size_t size, std::size_t alignment) {
    return std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
}
inline void rawRelease(void* p) { std::free(p); }
}  // namespace
#endif

// The operators pair the raw allocator with its own release; GCC cannot see that.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size) {
    noteCall("operator new", size, __builtin_return_address(0));
    if (void* p = rawAllocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    noteCall("operator new[]", size, __builtin_return_address(0));
    if (void* p = rawAllocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    noteCall("operator new", size, __builtin_return_address(0));
    return rawAllocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    noteCall("operator new[]", size, __builtin_return_address(0));
    return rawAllocate(size);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    noteCall("operator new", size, __builtin_return_address(0));
    if (void* p = rawAllocateAligned(size, static_cast<std::size_t>(alignment))) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    noteCall("operator new[]", size, __builtin_return_address(0));
    if (void* p = rawAllocateAligned(size, static_cast<std::size_t>(alignment))) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    noteCall("operator new", size, __builtin_return_address(0));
    return rawAllocateAligned(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    noteCall("operator new[]", size, __builtin_return_address(0));
    return rawAllocateAligned(size, static_cast<std::size_t>(alignment));
}
void operator delete(void* p) noexcept {
    if (p) noteCall("operator delete", 0, __builtin_return_address(0));
    rawRelease(p);
}
void operator delete[](void* p) noexcept {
    if (p) noteCall("operator delete[]", 0, __builtin_return_address(0));
    rawRelease(p);
}
void operator delete(void* p, std::size_t) noexcept {
    if (p) noteCall("operator delete", 0, __builtin_return_address(0));
    rawRelease(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    if (p) noteCall("operator delete[]", 0, __builtin_return_address(0));
    rawRelease(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    if (p) noteCall("operator delete", 0, __builtin_return_address(0));
    rawRelease(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    if (p) noteCall("operator delete[]", 0, __builtin_return_address(0));
    rawRelease(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    if (p) noteCall("operator delete", 0, __builtin_return_address(0));
    rawRelease(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    if (p) noteCall("operator delete[]", 0, __builtin_return_address(0));
    rawRelease(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    if (p) noteCall("operator delete", 0, __builtin_return_address(0));
    rawRelease(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    if (p) noteCall("operator delete[]", 0, __builtin_return_address(0));
    rawRelease(p);
}
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    if (p) noteCall("operator delete", 0, __builtin_return_address(0));
    rawRelease(p);
}
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    if (p) noteCall("operator delete[]", 0, __builtin_return_address(0));
    rawRelease(p);
}
