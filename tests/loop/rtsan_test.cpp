// Long renders through the process callbacks. Built with -DGW_RTSAN=ON the callbacks are
// real-time contexts, so any allocation, lock or system call in them (the host time
// query aside) aborts this test with a RealtimeSanitizer report.
#include <cmath>
#include <thread>

#include "render_scenario.h"

namespace {

using enginetest::EffectTest;

TEST_F(EffectTest, LongRendersStayRealtimeSafe) {
    for (int round = 0; round < 3; ++round) {
        long blocks = 0;
        looptest::renderScenario(*fx, enginetest::scriptedHost(), [&](auto&& process) {
            process();
            ++blocks;
        });
        EXPECT_EQ(blocks, 900);
    }
    EXPECT_GT(fx->engine().spectralMorph().targetPeaks.count, 0);
}

// With the editor open, the notices the audio thread sends (a synced recording that ends
// itself, a morph's buffer change, the parameter echoes) reach the editor on that thread,
// where they may only store words.
TEST_F(EffectTest, LongRendersWithTheEditorOpenStayRealtimeSafe) {
    ASSERT_NE(fx->dispatcher(effEditOpen, 0, 0, nullptr, 0.0f), 0);
    fx->dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);  // this thread is the editor's
    long blocks = 0;
    std::thread audio([&] {
        looptest::renderScenario(*fx, enginetest::scriptedHost(), [&](auto&& process) {
            process();
            ++blocks;
        });
    });
    audio.join();
    EXPECT_EQ(blocks, 900);
    fx->dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
    fx->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
}

#if defined(GW_RTSAN) && defined(__clang__)
// The sanitizer is active: an allocation in a nonblocking function ends the process.
GW_BLOCKING_ALLOWED_BEGIN
void allocateInRealtime() GW_NONBLOCKING {
    int* volatile p = new int[16];
    delete[] p;
}
GW_BLOCKING_ALLOWED_END

TEST(RealtimeSanitizerProbe, AllocationInTheAudioPathIsReported) {
    EXPECT_DEATH(allocateInRealtime(), "RealtimeSanitizer");
}
#endif

}  // namespace
