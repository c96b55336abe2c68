// No denormal slowdown: after loud grains through resonant filters and a long silence
// neither the output nor the filter states hold subnormal values, and the caller's
// floating-point mode is restored on return.
#include <cmath>

#include "engine/engine_inspection.h"
#include "loop_support.h"
#include "engine/dsp/denormals.h"

namespace {

using enginetest::EffectTest;
using looptest::Block;

bool subnormal(float v) { return std::fpclassify(v) == FP_SUBNORMAL; }

TEST_F(EffectTest, LongSilenceAfterLoudInputLeavesNoSubnormals) {
    looptest::plainGrains(*fx);
    looptest::fillBuffer(*fx, 1, 40000, [](int i) { return 0.9 * std::sin(i * 0.3) + 0.5 * std::sin(i * 0.013); });
    fx->engine().selectBuffer(1);
    fx->setParameter(grainwheel::kReso, 1.0f);
    for (int u = 0; u < 16; ++u) {
        fx->setParameter(grainwheel::kPitch + u, 0.35f);  // pitch 0.7: the 4-pole filter
        fx->setParameter(grainwheel::kFreq + u, 0.2f);
    }
    hostAt(0.0, 0.0, 120.0);
    for (int k = 0; k < 100; ++k) Block(441, 0.9f).run(*fx);
    fx->engine().selectBuffer(15);  // empty: the voices stop, only the filters' decay remains
    int silentBlocks = 0;
    for (int k = 0; k < 2000; ++k) {  // 20 s
        Block b(441);
        b.run(*fx);
        for (size_t i = 0; i < b.outL.size(); ++i) {
            ASSERT_FALSE(subnormal(b.outL[i])) << k;
            ASSERT_FALSE(subnormal(b.outR[i])) << k;
        }
        silentBlocks += std::fabs(b.outL[440]) < 1e-15f && std::fabs(b.outR[440]) < 1e-15f;
    }
    EXPECT_GT(silentBlocks, 1000);  // the decay did reach the range where denormals would be
    const auto& bank = grainwheel::EngineInspection::voiceBank(fx->engine());
    for (int c = 0; c < 2; ++c) {
        EXPECT_FALSE(subnormal(bank.resonantFilter.s1[c]));
        EXPECT_FALSE(subnormal(bank.resonantFilter.s2[c]));
        for (int k = 0; k < grainwheel::PitchFilter::kHistory; ++k) {
            EXPECT_FALSE(subnormal(bank.pitchFilter.x[c][k]));
            EXPECT_FALSE(subnormal(bank.pitchFilter.y[c][k]));
        }
    }
}

#if GW_HAVE_MXCSR
TEST_F(EffectTest, CallersFloatingPointModeIsRestored) {
    const unsigned saved = _mm_getcsr();
    const unsigned flushBits = grainwheel::ScopedFlushDenormals::kFlushToZero |
                               grainwheel::ScopedFlushDenormals::kDenormalsAreZero;
    for (unsigned mode : {saved & ~flushBits, saved | flushBits}) {
        _mm_setcsr(mode);
        Block(256, 0.5f).run(*fx);
        EXPECT_EQ(_mm_getcsr() & flushBits, mode & flushBits);
    }
    _mm_setcsr(saved);
}
#endif

}  // namespace
