// Recording one frame runs on the audio thread: it must not allocate, whatever the
// recording state does (fade-in, wait, stop rule with its parameter change, fade-out).

#include <atomic>
#include <cstdlib>
#include <new>

#include "effect_fixture.h"

namespace {
std::atomic<bool> counting{false};
std::atomic<int> allocations{0};
}  // namespace

// The replacements pair malloc with free; GCC cannot see that through the inlined calls.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(std::size_t size) {
    if (counting.load()) allocations.fetch_add(1);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (counting.load()) allocations.fetch_add(1);
    return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

using enginetest::EffectTest;

TEST_F(EffectTest, RecordOneFrameAllocatesNothing) {
    hostAt(3.9, 0.0, 120.0);
    fx->setParameter(276, 10.0f);  // "1/16": 5512 frames
    fx->setParameter(10, 1.0f);
    ASSERT_EQ(currentFrames().length, 5512);
    ASSERT_GT(fx->recorder().recordSyncWait, 0);

    counting = true;
    recordFrames(20000, 0.5f, -0.5f);  // wait, fade-in, writing, stop rule, fade-out, idle
    float in[256], out[2][256];
    for (float& v : in) v = 0.25f;
    float* ins[2] = {in, in};
    float* outs[2] = {out[0], out[1]};
    fx->processReplacing(ins, outs, 256);
    counting = false;

    EXPECT_EQ(allocations.load(), 0);
    EXPECT_FLOAT_EQ(fx->getParameter(10), 0.0f);  // the recording finished meanwhile
    EXPECT_NE(currentFrames().left[100], 0.0f);
}
