// Long renders through the process callbacks. Built with -DGW_RTSAN=ON the callbacks are
// real-time contexts, so any allocation, lock or system call in them (the host time
// query aside) aborts this test with a RealtimeSanitizer report.
#include <cmath>

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
