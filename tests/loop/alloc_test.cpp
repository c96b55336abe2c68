// The process callbacks allocate nothing, also in blocks with a morph step, a scope
// spectrum or a recording: this binary counts every global allocation.
#include "render_scenario.h"

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
    EXPECT_GT(fx->engine().spectralMorph().sourcePeaks.count, 0);
    EXPECT_FLOAT_EQ(fx->getParameter(grainwheel::kRecSync), 0.0f);  // stopped inside a block
}

}  // namespace
