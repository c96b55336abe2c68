// The process callbacks allocate nothing, also in blocks with a morph step, a scope
// spectrum or a recording: this binary counts every global allocation.
#include "engine/engine_inspection.h"
#include "render_scenario.h"

#include <algorithm>
#include <vector>

#include "tests/support/counting_new.h"

using gwtest::allocations;
using gwtest::counting;

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
    EXPECT_GT(grainwheel::EngineInspection::morph(fx->engine()).spectral().sourcePeaks.count, 0);
    EXPECT_FLOAT_EQ(fx->getParameter(grainwheel::kRecSync), 0.0f);  // stopped inside a block
}

// A host switching rec sync on from its processing thread, between two blocks: the
// switch takes the spare arrays and the blocks recording into them allocate nothing; the
// new spare is left to a thread that may allocate.
TEST_F(EffectTest, RecSyncSwitchedOnInTheProcessingThreadAllocatesNothing) {
    std::vector<float> in(256, 0.25f), outL(256), outR(256);
    float* ins[2] = {in.data(), in.data()};
    float* outs[2] = {outL.data(), outR.data()};
    fx->processReplacing(ins, outs, 256);  // this thread is now the processing thread
    const int n = fx->engine().getCurrentBuffer();
    allocations = 0;
    counting = true;
    fx->setParameter(grainwheel::kRecSync, 1.0f);
    for (int k = 0; k < 40; ++k) fx->processReplacing(ins, outs, 256);
    fx->setParameter(grainwheel::kRecSync, 0.0f);
    counting = false;
    EXPECT_EQ(allocations.load(), 0);
    const grainwheel::BufferFrames f = currentFrames();
    ASSERT_GT(f.length, 256 * 40);
    float recorded = 0.0f;
    for (int i = 0; i < 256 * 40; ++i) recorded = std::max(recorded, f.left[i]);
    EXPECT_FLOAT_EQ(recorded, 0.25f) << "the input went into the spare";
    EXPECT_EQ(fx->engine().getCurrentBuffer(), n);
    EXPECT_TRUE(fx->engine().hasDeferred());
    EXPECT_TRUE(fx->engine().runDeferred());  // the new spare, here on a thread that may allocate
    EXPECT_FALSE(fx->engine().hasDeferred());
}

}  // namespace
