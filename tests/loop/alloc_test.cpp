// The process callbacks allocate nothing, also in blocks with a morph step, a scope
// spectrum or a recording: this binary counts every global allocation.
#include <atomic>
#include <cstdlib>
#include <new>

#include "render_scenario.h"

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
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

namespace {

using enginetest::EffectTest;

TEST_F(EffectTest, ProcessingAllocatesNothing) {
    {
        counting = true;
        auto probe = std::make_unique<int>(1);
        counting = false;
        ASSERT_EQ(allocations.exchange(0), 1);  // the hook sees allocations
    }
    long blocks = 0;
    looptest::renderScenario(*fx, enginetest::scriptedHost(), [&](auto&& process) {
        counting = true;
        process();
        counting = false;
        ++blocks;
    });
    EXPECT_EQ(blocks, 900);
    EXPECT_EQ(allocations.load(), 0);
    // The paths ran: morphs, spectra and recordings happened during the render.
    EXPECT_GT(fx->spectralMorph().sourcePeaks.count, 0);
    EXPECT_FLOAT_EQ(fx->getParameter(grainwheel::kRecSync), 0.0f);  // stopped inside a block
}

}  // namespace
