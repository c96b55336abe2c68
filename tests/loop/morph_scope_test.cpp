// The spectral morph as the audio loop runs it (wait flag, source, target, morphed grains
// with their weights, end of the morph) and the scope capture modes.
#include <cmath>
#include <complex>
#include <vector>

#include "engine/engine_inspection.h"
#include "loop_support.h"

namespace {

using enginetest::EffectTest;
using enginetest::scriptedHost;
using grainwheel::MorphStage;
using looptest::Block;
using looptest::fillBuffer;

constexpr double kStoredPi = 3.1415925;

class MorphLoopTest : public EffectTest {
protected:
    void SetUp() override {
        EffectTest::SetUp();
        looptest::plainGrains(*fx);
        fx->setParameter(grainwheel::kUnitDura, 1.0f);  // static: grains of unit 0 only
        fx->setParameter(grainwheel::kDensity, 0.5f);   // grain length = spacing (< 4096)
        scriptedHost().answerTime = false;
    }

    struct Step {
        MorphStage state;
        int morphStep;
        int buffer;
        int headRun;
    };
    Step now() const {
        return {grainwheel::EngineInspection::morph(fx->engine()).morphState, grainwheel::EngineInspection::morph(fx->engine()).morphStep, fx->engine().getCurrentBuffer(), grainwheel::EngineInspection::sequencer(fx->engine()).headRun};
    }

    // Runs frame by frame until the morph is over; returns the weights f seen at each
    // synthesis, checked against the cross-fade of the two grains' spectra.
    std::vector<double> runMorph(int stepsize, int target) {
        std::vector<double> weights;
        Block one(1);
        Step last = now();
        bool started = false;
        for (int s = 0; s < 200000; ++s) {
            one.run(*fx);
            const Step cur = now();
            if (cur.state != last.state || cur.morphStep != last.morphStep) {
                if (last.state == MorphStage::SourceDone || last.state == MorphStage::Running) {
                    const double f = static_cast<double>(last.morphStep) / (stepsize + 2);
                    weights.push_back(f);
                    const auto& m = grainwheel::EngineInspection::morph(fx->engine()).spectral();
                    double worst = 0.0;
                    for (int k = 0; k < 4096; ++k) {
                        const double expect = (1.0 - f) * m.sourceSpectrum[k] + f * m.targetSpectrum[k];
                        worst = std::max(worst, std::fabs(m.resultSpectrum[k] - expect));
                    }
                    EXPECT_LT(worst, 1e-6) << "morphed grain " << last.morphStep;
                    EXPECT_EQ(cur.headRun, cur.state == MorphStage::Idle ? 1 : 0);
                }
                if (cur.state == MorphStage::SourceDone) {
                    started = true;
                    EXPECT_EQ(cur.buffer, target);  // the new buffer is current from the source grain on
                    EXPECT_EQ(cur.headRun, 0);
                }
                if (started && cur.state == MorphStage::Idle) return weights;
                last = cur;
            }
        }
        ADD_FAILURE() << "the morph did not end";
        return weights;
    }
};

// Quiet buffers have no spectral peak above 1.0, so every morphed grain is the
// cross-fade g A + f B of the packed spectra.
TEST_F(MorphLoopTest, StepCountAndWeightsThroughTheLoop) {
    fillBuffer(*fx, 1, 30000, [](int i) { return 1e-4 * std::sin(i * 0.03); });
    fillBuffer(*fx, 2, 30000, [](int i) { return 1e-4 * std::sin(i * 0.11); });
    fx->engine().selectBuffer(1);
    fx->setParameter(274, 3.0f);
    for (int stepsize : {1, 0, 4}) {
        fx->setParameter(275, static_cast<float>(stepsize));
        fx->setParameter(257, 1.0f);  // back to buffer 1 (a morph as well, unless current)
        if (fx->engine().getCurrentBuffer() != 1) runMorph(stepsize, 1);
        ASSERT_EQ(fx->engine().getCurrentBuffer(), 1);
        fx->setParameter(257, 2.0f);
        EXPECT_EQ(fx->engine().getCurrentBuffer(), 1);  // nothing is selected yet
        EXPECT_EQ(grainwheel::EngineInspection::morph(fx->engine()).pendingBuffer, 2);
        const std::vector<double> weights = runMorph(stepsize, 2);
        ASSERT_EQ(weights.size(), static_cast<size_t>(stepsize + 1));
        for (int m = 0; m < stepsize + 1; ++m) EXPECT_DOUBLE_EQ(weights[m], (m + 1.0) / (stepsize + 2.0));
        EXPECT_EQ(grainwheel::EngineInspection::morph(fx->engine()).morphStep, 1);
        EXPECT_EQ(grainwheel::EngineInspection::sequencer(fx->engine()).headRun, 1);
        EXPECT_EQ(grainwheel::EngineInspection::morph(fx->engine()).pendingBuffer, -1);
    }
}

TEST_F(MorphLoopTest, SelectingTheCurrentBufferStartsNoMorph) {
    fillBuffer(*fx, 1, 30000, [](int i) { return 0.3 * std::sin(i * 0.03); });
    fx->engine().selectBuffer(1);
    fx->setParameter(274, 3.0f);
    fx->setParameter(257, 1.0f);
    Block b(8192);
    b.run(*fx);
    EXPECT_EQ(grainwheel::EngineInspection::morph(fx->engine()).morphState.load(), MorphStage::Idle);
    EXPECT_EQ(grainwheel::EngineInspection::morph(fx->engine()).morphWait, 0);
    EXPECT_EQ(grainwheel::EngineInspection::sequencer(fx->engine()).headRun, 1);
}

TEST_F(MorphLoopTest, LoudGrainsMorphWithFiniteOutput) {
    fillBuffer(*fx, 1, 30000, [](int i) { return 0.6 * std::sin(i * 0.03); });
    fillBuffer(*fx, 2, 30000, [](int i) { return 0.6 * std::sin(i * 0.0071) * std::sin(i * 0.2); });
    fx->engine().selectBuffer(1);
    for (int alg : {1, 2, 3}) {
        fx->setParameter(274, static_cast<float>(alg));
        fx->setParameter(275, 2.0f);
        fx->setParameter(257, fx->engine().getCurrentBuffer() == 1 ? 2.0f : 1.0f);
        bool ran = false;
        for (int k = 0; k < 40; ++k) {
            Block b(1024);
            b.run(*fx);
            for (float v : b.outL) ASSERT_TRUE(std::isfinite(v));
            ran = ran || grainwheel::EngineInspection::morph(fx->engine()).morphState == MorphStage::Running;
        }
        EXPECT_TRUE(ran) << alg;
        EXPECT_EQ(grainwheel::EngineInspection::morph(fx->engine()).morphState.load(), MorphStage::Idle) << alg;
        EXPECT_GT(grainwheel::EngineInspection::morph(fx->engine()).spectral().sourcePeaks.count, 0);
    }
}

TEST_F(MorphLoopTest, SwitchingTheMorphOffMidwayReleasesTheHead) {
    fillBuffer(*fx, 1, 30000, [](int i) { return 0.3 * std::sin(i * 0.03); });
    fillBuffer(*fx, 2, 30000, [](int i) { return 0.3 * std::sin(i * 0.05); });
    fx->engine().selectBuffer(1);
    fx->setParameter(274, 3.0f);
    fx->setParameter(275, 19.0f);
    fx->setParameter(257, 2.0f);
    Block one(1);
    for (int s = 0; s < 100000 && grainwheel::EngineInspection::morph(fx->engine()).morphState != MorphStage::Running; ++s) one.run(*fx);
    ASSERT_EQ(grainwheel::EngineInspection::morph(fx->engine()).morphState.load(), MorphStage::Running);
    EXPECT_EQ(grainwheel::EngineInspection::sequencer(fx->engine()).headRun, 0);
    fx->setParameter(257, 1.0f);  // re-armed towards buffer 1, then the morph is switched off
    fx->setParameter(274, 0.0f);
    const float head = grainwheel::EngineInspection::sequencer(fx->engine()).playPosition;
    Block(256).run(*fx);
    EXPECT_EQ(grainwheel::EngineInspection::sequencer(fx->engine()).headRun, 1);
    EXPECT_EQ(grainwheel::EngineInspection::morph(fx->engine()).morphState.load(), MorphStage::Idle);
    EXPECT_EQ(fx->engine().getCurrentBuffer(), 1);
    EXPECT_EQ(grainwheel::EngineInspection::morph(fx->engine()).pendingBuffer, -1);
    EXPECT_NE(grainwheel::EngineInspection::sequencer(fx->engine()).playPosition, head);
}

// --- scope capture ----------------------------------------------------------------------

class ScopeTest : public MorphLoopTest {};

TEST_F(ScopeTest, SingleGrainTimeViewFillsTwoHundredSixEntries) {
    fillBuffer(*fx, 1, 30000, [](int) { return 0.5; });
    fx->engine().selectBuffer(1);
    fx->setParameter(273, 1.0f);
    Block b(8192);
    b.run(*fx);
    const auto& c = grainwheel::EngineInspection::scopeCapture(fx->engine());
    ASSERT_EQ(c.captureState, 1);
    // Entry 0 also receives the grain's first sample (0: the interpolation runs a frame
    // late), then later ones; the grain's other samples are 0.5.
    for (int k = 1; k < 206; ++k) ASSERT_EQ(c.captureBuffer[k], 0.5f) << k;
    for (int k = 206; k < 4097; ++k) ASSERT_EQ(c.captureBuffer[k], 0.0f) << k;
}

// Inverse of the soft clipper y = x (|x| + 1) / (x^2 + 1.2).
double unclip(double y) {
    const double a = std::fabs(y);
    if (a == 0.0) return 0.0;
    const double x = (-1.0 + std::sqrt(1.0 + 4.8 * a * (1.0 - a))) / (2.0 * (1.0 - a));
    return y < 0 ? -x : x;
}

TEST_F(ScopeTest, SumSpectrumIsTheHannWindowedSum) {
    fillBuffer(*fx, 1, 30000, [](int i) { return 0.3 * std::sin(i * 0.07) + 0.1 * std::sin(i * 0.41); });
    fx->engine().selectBuffer(1);
    fx->setParameter(273, 4.0f);
    Block b(4097);
    b.run(*fx);
    const auto& c = grainwheel::EngineInspection::scopeCapture(fx->engine());
    ASSERT_EQ(c.captureState, 1);

    // The capture starts on the sample after the one that found it wanted; the gain is 1
    // and both channels are equal, so entry n is sum x (1 - cos(2 pi n / 4121)) / 2.
    std::vector<double> x(4096);
    for (int n = 0; n < 4096; ++n) {
        const double sum = unclip(b.outL[static_cast<size_t>(n + 1)]);
        x[static_cast<size_t>(n)] = sum * (1.0 - std::cos(2.0 * kStoredPi * n / 4121.0)) / 2.0;
    }
    double peak = 0.0;
    std::vector<double> mags(2048);
    for (int k = 1; k < 2048; ++k) {
        std::complex<double> acc = 0.0;
        for (int n = 0; n < 4096; ++n) acc += x[static_cast<size_t>(n)] * std::polar(1.0, -2.0 * M_PI * k * n / 4096.0);
        mags[static_cast<size_t>(k)] = std::abs(acc);
        peak = std::max(peak, mags[static_cast<size_t>(k)]);
    }
    ASSERT_GT(peak, 10.0);
    for (int k = 1; k < 2048; ++k)
        ASSERT_NEAR(c.captureBuffer[k - 1], mags[static_cast<size_t>(k)], 2e-4 * peak) << k;
    for (int k = 2047; k < 4096; ++k) ASSERT_EQ(c.captureBuffer[k], 0.0f);
}

TEST_F(ScopeTest, SingleGrainSpectrumAfterTheGrainEnds) {
    fillBuffer(*fx, 1, 30000, [](int i) { return 0.5 * std::sin(i * 0.2); });
    fx->engine().selectBuffer(1);
    fx->setParameter(273, 3.0f);
    fx->setParameter(274, 0.0f);
    Block b(8192);
    b.run(*fx);
    const auto& c = grainwheel::EngineInspection::scopeCapture(fx->engine());
    ASSERT_EQ(c.captureState, 1);
    // 0.2 rad per sample is bin 0.2 / (2 pi) x 4096 = 130.4.
    int best = 0;
    for (int k = 0; k < 2047; ++k)
        if (c.captureBuffer[k] > c.captureBuffer[best]) best = k;
    EXPECT_NEAR(best + 1, 130.4, 1.5);
    for (int k = 2047; k < 4096; ++k) ASSERT_EQ(c.captureBuffer[k], 0.0f);
}

}  // namespace
