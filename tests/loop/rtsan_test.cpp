// Long renders through the process callbacks. Built with -DGW_RTSAN=ON the callbacks are
// real-time contexts, so any allocation, lock or system call in them (the host time
// query aside) aborts this test with a RealtimeSanitizer report.
#include <cmath>
#include <thread>
#include <vector>

#include "engine/engine_inspection.h"
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
    EXPECT_GT(grainwheel::EngineInspection::morph(fx->engine()).spectral().targetPeaks.count, 0);
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

// Rec sync and rec free switched on from the processing thread inside a real-time
// context: the spare replaces an allocation there.
GW_BLOCKING_ALLOWED_BEGIN
void switchInRealtime(grainwheel::GrainEffect& fx, int index, float value) GW_NONBLOCKING {
    fx.setParameter(index, value);
}
GW_BLOCKING_ALLOWED_END

TEST_F(EffectTest, RecModesSwitchedOnInTheProcessingThreadStayRealtimeSafe) {
    std::vector<float> in(128, 0.5f), outL(128), outR(128);
    float* ins[2] = {in.data(), in.data()};
    float* outs[2] = {outL.data(), outR.data()};
    fx->processReplacing(ins, outs, 128);
    switchInRealtime(*fx, grainwheel::kRecSync, 1.0f);
    for (int k = 0; k < 20; ++k) fx->processReplacing(ins, outs, 128);
    switchInRealtime(*fx, grainwheel::kRecSync, 0.0f);
    switchInRealtime(*fx, grainwheel::kKillBufr, 1.0f);  // the question waits for a worker
    EXPECT_GT(fx->engine().bufferLength(fx->engine().getCurrentBuffer()), 0);
    EXPECT_TRUE(fx->engine().runDeferred());
    fx->engine().allocateBuffer(-1);
    fx->processReplacing(ins, outs, 128);
    switchInRealtime(*fx, grainwheel::kRecFree, 1.0f);
    for (int k = 0; k < 20; ++k) fx->processReplacing(ins, outs, 128);
    switchInRealtime(*fx, grainwheel::kRecFree, 0.0f);
    EXPECT_GT(fx->engine().bufferLength(fx->engine().getCurrentBuffer()), 0);
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
