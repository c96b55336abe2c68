// The audio loop itself stands every value: each parameter and setting set straight on
// the effect (past the entry point's 0..1 and the record's sanitiser) to a huge, negative,
// NaN or infinite value while grains play. Each case runs in a child process with a time
// limit: a hung loop fails its case instead of the run, and the output stays finite.
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "loop_support.h"
#include "tests/support/watchdog.h"

namespace {

using enginetest::EffectTest;
using looptest::Block;
using looptest::fillBuffer;

using gwtest::kHostileValues;
constexpr double kTempo = 480.0;  // 1/64 units: all 16 pass in 5512 samples
constexpr int kBlock = 256;
constexpr int kBlocks = 22;
constexpr float kSaneBound = 4.0f;  // far above the soft clipper's ceiling
enum Outcome : int { kFine = 0, kNonFinite = 10, kTooLoud = 11, kSilent = 12 };

class LoopHostileValues : public EffectTest {
protected:
    void SetUp() override {
        EffectTest::SetUp();
        hostAt(0.0, 0.0, kTempo);
        fillBuffer(*fx, 0, 30000, [](int i) { return 0.5 * std::sin(i * 0.021); });
        fx->setParameter(grainwheel::kSelectBuffer, 0.0f);
        fx->setParameter(grainwheel::kUnitDura, 0.125f);  // 1/64
        fx->setParameter(grainwheel::kReso, 0.3f);
        fx->setParameter(grainwheel::kSettingScopeViewMode, 0.0f);
        for (int u = 0; u < 16; ++u) {
            fx->setParameter(grainwheel::kSpeed + u, 0.25f + 0.05f * static_cast<float>(u));
            fx->setParameter(grainwheel::kPitch + u, 0.3f + 0.03f * static_cast<float>(u));
            fx->setParameter(grainwheel::kFreq + u, 0.2f + 0.05f * static_cast<float>(u));
        }
    }
    // In a child: sets `index` to `value`, plays, and answers the outcome's wait status.
    int play(int index, float value, bool mustSound = false) {
        return gwtest::inChild(gwtest::caseSeconds(10), [&] {
            if (index >= 0) fx->setParameter(index, value);
            double ppq = 0.0;
            float loudest = 0.0f;
            for (int n = 0; n < kBlocks; ++n) {
                hostAt(ppq, 4.0 * std::floor(ppq / 4.0), kTempo);
                Block b(kBlock, 0.3f);
                b.run(*fx);
                ppq += kBlock * kTempo / (60.0 * 44100.0);
                for (int i = 0; i < kBlock; ++i) {
                    if (!std::isfinite(b.outL[i]) || !std::isfinite(b.outR[i])) return kNonFinite;
                    const float m = std::max(std::fabs(b.outL[i]), std::fabs(b.outR[i]));
                    if (m > kSaneBound) return kTooLoud;
                    loudest = std::max(loudest, m);
                }
            }
            return mustSound && loudest < 0.01f ? kSilent : kFine;
        });
    }
};

TEST_F(LoopHostileValues, NoParameterOrSettingValueHangsOrPoisonsTheLoop) {
    const int plain = play(-1, 0.0f, true);
    ASSERT_TRUE(gwtest::exitedWith(plain, kFine)) << "unchanged: " << gwtest::describe(plain);
    std::vector<int> indices;
    for (int i = 0; i <= grainwheel::kLastHostParameter; ++i) indices.push_back(i);
    for (int i : {257, 261, 263, 264, 265}) indices.push_back(i);
    for (int i = grainwheel::kFirstSetting; i <= grainwheel::kLastSetting; ++i) indices.push_back(i);
    int failed = 0;
    std::string examples;
    for (const int index : indices) {
        for (const float value : kHostileValues) {
            const int status = play(index, value);
            if (gwtest::exitedWith(status, kFine)) continue;
            const std::string what = gwtest::exitedWith(status, kNonFinite) ? "gives a non-finite sample"
                                     : gwtest::exitedWith(status, kTooLoud) ? "gives a sample beyond the bound"
                                                                            : gwtest::describe(status);
            if (++failed <= 12) examples += "\n  " + std::to_string(index) + " = " + std::to_string(value) + " " + what;
        }
    }
    EXPECT_EQ(failed, 0) << indices.size() * std::size(kHostileValues) << " cases" << examples;
}

}  // namespace
