// The output stage lets no sample that is not finite through: from the first such sample
// on the block is silent, the filters and voices start afresh, and the blocks after it
// play cleanly. Reached here through a buffer holding a huge sample and through a voice
// whose state a test forces out of range, on every path the loop renders by.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "loop_support.h"
#include "engine/engine_inspection.h"

namespace {

using enginetest::EffectTest;
using looptest::Block;
using looptest::fillBuffer;
using looptest::plainGrains;

constexpr int kFrames = 6000;
constexpr int kBlock = 1024;
constexpr float kHuge = 1e30f;  // finite, but its square is not

double sineAt(int i) { return 0.5 * std::sin(i * 0.031); }

// How the loop renders: Scope View Mode 1 while the first grain is captured renders sample
// by sample; once that capture has finished, quiet stretches render at once (mode 0) or
// in their per-sample form for the sum capture (mode 2).
struct Path {
    int scope;
    int warmUp;  // samples played before the block under test
};
constexpr Path kPaths[] = {{1, 0}, {0, 2600}, {2, 2600}};

bool allFinite(const Block& b) {
    for (std::size_t i = 0; i < b.outL.size(); ++i)
        if (!std::isfinite(b.outL[i]) || !std::isfinite(b.outR[i])) return false;
    return true;
}
float loudest(const Block& b) {
    float m = 0.0f;
    for (std::size_t i = 0; i < b.outL.size(); ++i) m = std::max({m, std::fabs(b.outL[i]), std::fabs(b.outR[i])});
    return m;
}

class OutputGuard : public EffectTest {
protected:
    // Grains that copy buffer 0 from frame 0 at pitch 1 and gain 1 (every voice reads
    // frame t at sample t), in Scope View Mode `scope`, played for `warmUp` samples; with
    // `spike`, the frame read 500 samples into the next block holds a huge value.
    void prepare(grainwheel::GrainEffect& e, Path path, bool spike) {
        plainGrains(e);
        e.setParameter(grainwheel::kUnitDura, 1.0f);  // static: no unit boundary
        e.setParameter(grainwheel::kSettingScopeViewMode, static_cast<float>(path.scope));
        const int at = path.warmUp + 500;
        fillBuffer(e, 0, kFrames, [&](int i) { return spike && i == at ? kHuge : sineAt(i); });
        e.setParameter(grainwheel::kSelectBuffer, 0.0f);
        if (path.warmUp > 0) Block(path.warmUp).run(e);
    }
    grainwheel::VoiceBank& voices() { return grainwheel::EngineInspection::voices(fx->engine()); }
    void expectFreshState() {
        EXPECT_EQ(grainwheel::EngineInspection::sequencer(fx->engine()).activeVoices.load(), 0);
        for (const grainwheel::GrainVoice& v : voices().slots) EXPECT_TRUE(v.idle());
        const grainwheel::PitchFilter& p = voices().pitchFilter;
        for (int c = 0; c < 2; ++c)
            for (int k = 0; k < grainwheel::PitchFilter::kHistory; ++k) {
                EXPECT_EQ(p.x[c][k], 0.0f);
                EXPECT_EQ(p.y[c][k], 0.0f);
            }
        const grainwheel::ResonantFilter& r = voices().resonantFilter;
        for (int c = 0; c < 2; ++c) {
            EXPECT_EQ(r.s1[c], 0.0f);
            EXPECT_EQ(r.s2[c], 0.0f);
        }
    }
    // The next blocks are finite and grains sound again.
    void expectCleanRecovery() {
        float heard = 0.0f;
        for (int n = 0; n < 4; ++n) {
            Block next(kBlock);
            next.run(*fx);
            ASSERT_TRUE(allFinite(next)) << "block " << n << " after";
            heard = std::max(heard, loudest(next));
        }
        EXPECT_GT(heard, 0.05f);
    }
};

TEST_F(OutputGuard, BlockFallsSilentFromTheFirstNonFiniteSample) {
    for (const Path path : kPaths) {
        SCOPED_TRACE(path.scope);
        TearDown();
        SetUp();
        hostAt(0.0, 0.0, 120.0);
        prepare(*fx, path, true);
        // The same engine with an ordinary sample there: the samples before it agree.
        grainwheel::GrainEffect reference(&enginetest::hostCallback);
        prepare(reference, path, false);

        Block guarded(kBlock), plain(kBlock);
        guarded.run(*fx);
        plain.run(reference);
        ASSERT_TRUE(allFinite(plain));
        std::size_t from = 0;
        while (from < plain.outL.size() && guarded.outL[from] == plain.outL[from] &&
               guarded.outR[from] == plain.outR[from])
            ++from;
        // The spike is reached within the block, after grains have sounded.
        ASSERT_GT(from, 400u);
        ASSERT_LT(from, plain.outL.size());
        EXPECT_GT(loudest(plain), 0.05f);
        for (std::size_t i = from; i < plain.outL.size(); ++i) {
            ASSERT_EQ(guarded.outL[i], 0.0f) << i;
            ASSERT_EQ(guarded.outR[i], 0.0f) << i;
        }
        EXPECT_NE(plain.outL[from], 0.0f);  // something was silenced there
        expectFreshState();
        expectCleanRecovery();
    }
}

TEST_F(OutputGuard, VoiceForcedOutOfRangeSilencesTheBlockAndStartsAfresh) {
    for (const Path path : {Path{1, 300}, Path{0, 2600}}) {
        SCOPED_TRACE(path.scope);
        TearDown();
        SetUp();
        hostAt(0.0, 0.0, 120.0);
        prepare(*fx, path, false);
        ASSERT_GT(grainwheel::EngineInspection::sequencer(fx->engine()).activeVoices.load(), 0);
        // A sounding voice whose frames are infinite: its next sample is.
        for (grainwheel::GrainVoice& v : voices().slots) {
            if (v.idle()) continue;
            v.previous[0] = v.previous[1] = v.current[0] = v.current[1] = std::numeric_limits<float>::infinity();
        }
        Block poisoned(kBlock);
        poisoned.run(*fx);
        for (std::size_t i = 0; i < poisoned.outL.size(); ++i) {
            ASSERT_EQ(poisoned.outL[i], 0.0f) << i;
            ASSERT_EQ(poisoned.outR[i], 0.0f) << i;
        }
        expectFreshState();
        expectCleanRecovery();
    }
}

}  // namespace
