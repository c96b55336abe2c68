// The sequencer and the play head as the audio loop runs them, with the expected values
// worked out from the rules by hand: grain sizes, unit boundaries, the "bufsized" and the
// linked-density units, the play head's speed, restarts and pure positions, the morph's
// source-grain delay, the scope's capture steps, and the resonant filter's recursion.
#include <atomic>
#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/engine_inspection.h"
#include "engine/dsp/filters.h"
#include "loop_support.h"

namespace {

using enginetest::EffectTest;
using enginetest::scriptedHost;
using grainwheel::kBufPos;
using grainwheel::kDensity;
using grainwheel::kSpeed;
using grainwheel::kTime;
using grainwheel::kTrigmode;
using grainwheel::kUnitDura;
using grainwheel::MorphStage;
using looptest::Block;
using looptest::fillBuffer;

constexpr float kSixtyFourth = 0.125f;  // unitDura "1/64": 1378 samples at 120 bpm, 44100 Hz
constexpr float kQuarter = 0.625f;      // "1/4"
constexpr float kStatic = 1.0f;         // "static": 2048 samples, units never advance

double sine(int i) { return 0.4 * std::sin(i * 0.05); }

class SequencerTest : public EffectTest {
protected:
    void SetUp() override {
        EffectTest::SetUp();
        looptest::plainGrains(*fx);
    }
    const grainwheel::Sequencer& seq() const { return grainwheel::EngineInspection::sequencer(fx->engine()); }
    float head() const { return grainwheel::EngineInspection::sequencer(fx->engine()).playPosition; }
    // Buffer 1 with `frames` frames, current, its start position `start`.
    void buffer(int frames, float start = 0.0f) {
        fillBuffer(*fx, 1, frames, sine);
        fx->engine().selectBuffer(1);
        fx->setParameter(kBufPos + 1, start);
    }
    void everyUnit(int first, float value) {
        for (int u = 0; u < 16; ++u) fx->setParameter(first + u, value);
    }
    // Runs `samples` one-sample blocks; the samples at which a grain started (a voice
    // that has rendered exactly one sample of a grain of the current length).
    std::vector<int> grainStarts(int samples) {
        std::vector<int> starts;
        Block one(1);
        for (int s = 0; s < samples; ++s) {
            one.run(*fx);
            for (const auto& v : grainwheel::EngineInspection::voiceBank(fx->engine()).slots)
                if (!v.idle() && v.remaining == seq().grainLength - 1) starts.push_back(s);
        }
        return starts;
    }
};

// --- grain sizes --------------------------------------------------------------------------

// The spacing, the grain length and the unit length are truncated single-precision
// products: 65 x 1.4f is 91.0f (90.99999845 in double), 5 x 1.4f is 7.0f (6.99999988),
// 22050 x 0.7f is 15435.0f (15434.99974).
TEST_F(SequencerTest, GrainSizesAreTruncatedSinglePrecisionProducts) {
    scriptedHost().answerTime = false;
    fx->setParameter(kUnitDura, kStatic);
    fx->setParameter(kTime, 0.05f);    // fixed time values, step 0: 1/32 of 2048 -> spacing 65
    fx->setParameter(kDensity, 0.7f);  // factor 1.4
    Block(1).run(*fx);
    EXPECT_EQ(seq().grainInterval, 65);
    EXPECT_EQ(seq().grainLength, 91);

    // 8000 Hz at 200 bpm: 2400 samples per beat, 1/64 units of 150 samples, spacing
    // trunc(150 / 32) + 1 = 5.
    fx->setSampleRate(8000.0f);
    fx->resume();
    fx->setParameter(kUnitDura, kSixtyFourth);
    hostAt(0.0, 0.0, 200.0);
    Block(1).run(*fx);
    EXPECT_EQ(seq().samplesPerUnit, 150);
    EXPECT_EQ(seq().grainInterval, 5);
    EXPECT_EQ(seq().grainLength, 7);

    // Free time values, 1/4 units at 120 bpm and 44100 Hz: 22050 samples per unit.
    fx->setSampleRate(44100.0f);
    fx->resume();
    fx->setParameter(267, 1.0f);
    fx->setParameter(kUnitDura, kQuarter);
    fx->setParameter(kTime, 0.7f);
    fx->setParameter(kDensity, 0.25f);  // factor 0.5
    hostAt(0.0, 0.0, 120.0);
    Block(1).run(*fx);
    EXPECT_EQ(seq().samplesPerUnit, 22050);
    EXPECT_EQ(seq().grainInterval, 15436);
    EXPECT_EQ(seq().grainLength, 7718);
}

// --- units --------------------------------------------------------------------------------

// Every unit boundary starts a grain on its own sample, even when the spacing is longer
// than the unit: 1/64 units of 1378 samples, spacing 1379.
TEST_F(SequencerTest, EveryUnitBoundaryStartsAGrain) {
    buffer(30000);
    scriptedHost().answerTime = false;
    fx->setParameter(kUnitDura, kSixtyFourth);
    everyUnit(kTime, 1.0f);             // fixed step 10: the whole unit, spacing 1378 + 1
    fx->setParameter(kDensity, 0.25f);  // factor 0.5: grains of 689 samples
    const std::vector<int> starts = grainStarts(4 * 1378 + 10);
    EXPECT_EQ(seq().grainInterval, 1379);
    EXPECT_EQ(seq().grainLength, 689);
    EXPECT_EQ(starts, (std::vector<int>{0, 1378, 2756, 4134, 5512}));
}

// "bufsized": the unit is the buffer's duration in beats divided by 16, whatever the tempo
// (tempo x frames / (rate x 960)).
TEST_F(SequencerTest, BufsizedUnitsAreOneSixteenthOfTheBuffer) {
    buffer(88200);  // two seconds
    fx->setParameter(kUnitDura, 0.0f);
    hostAt(0.0, 0.0, 120.0);
    Block(16).run(*fx);
    EXPECT_FLOAT_EQ(seq().unitLengthBeats, 0.25f);  // 4 beats / 16
    EXPECT_EQ(seq().samplesPerUnit, 5512);          // 88200 / 16, truncated
    hostAt(0.0, 0.0, 90.0);
    Block(16).run(*fx);
    EXPECT_FLOAT_EQ(seq().unitLengthBeats, 0.1875f);  // 3 beats / 16
    EXPECT_EQ(seq().samplesPerUnit, 5512);
}

// A loader replaces the current buffer's arrays without selecting anything: the unit
// follows the new length from the next block on.
TEST_F(SequencerTest, BufsizedUnitsFollowTheCurrentBufferReplaced) {
    buffer(88200);
    fx->setParameter(kUnitDura, 0.0f);
    hostAt(0.0, 0.0, 120.0);
    Block(16).run(*fx);
    ASSERT_FLOAT_EQ(seq().unitLengthBeats, 0.25f);
    fillBuffer(*fx, 1, 44100, sine);  // buffer 1 stays current
    Block(16).run(*fx);
    EXPECT_FLOAT_EQ(seq().unitLengthBeats, 0.125f);  // 2 beats / 16
    EXPECT_EQ(seq().samplesPerUnit, 2756);           // 44100 / 16, truncated
    EXPECT_FLOAT_EQ(grainwheel::EngineInspection::currentBufferLength(fx->engine()), 44100.0f);
}

// Time Fader Values "linked": each unit's own time fader sets the density while that unit
// is in force (factor 2 x (1 - time)), and the grain length follows.
TEST_F(SequencerTest, LinkedDensityIsAppliedPerUnit) {
    buffer(30000);
    scriptedHost().answerTime = false;
    fx->setParameter(kUnitDura, kSixtyFourth);
    fx->setParameter(267, 3.0f);  // free values, linked to density
    everyUnit(kTime, 0.8f);
    fx->setParameter(kTime + 1, 0.3f);
    fx->setParameter(kTime + 0, 0.8f);  // the density parameter is now 1 - 0.8
    // The first sample meets a boundary: unit 1 (time 0.3) is in force.
    Block(1).run(*fx);
    ASSERT_EQ(seq().currentUnit, 1);
    EXPECT_FLOAT_EQ(seq().linkedDensity, 0.7f);
    EXPECT_EQ(seq().grainInterval, 414);  // trunc(1378 x 0.3) + 1
    EXPECT_EQ(seq().grainLength, 579);    // trunc(414 x 1.4)
    Block(1378).run(*fx);
    ASSERT_EQ(seq().currentUnit, 2);
    EXPECT_FLOAT_EQ(seq().linkedDensity, 1.0f - 0.8f);
    EXPECT_EQ(seq().grainInterval, 1103);  // trunc(1378 x 0.8) + 1
    EXPECT_EQ(seq().grainLength, 441);     // trunc(1103 x 0.4)
}

// --- the play head ------------------------------------------------------------------------

// At speed 1.0 the head is truncated to a whole frame at the block start, then moves.
TEST_F(SequencerTest, SpeedOneTruncatesTheHeadAtTheBlockStart) {
    buffer(30000);
    fx->setParameter(kUnitDura, kStatic);
    hostAt(0.0, 0.0, 120.0);
    everyUnit(kSpeed, 0.5f);
    Block(3).run(*fx);
    ASSERT_FLOAT_EQ(head(), 1.5f);
    fx->setParameter(kSpeed, 1.0f);
    Block(1).run(*fx);
    EXPECT_FLOAT_EQ(head(), 2.0f);  // 1.5 -> 1.0, then one frame
    fx->setParameter(kSpeed, 0.5f);
    Block(1).run(*fx);
    EXPECT_FLOAT_EQ(head(), 2.5f);  // other speeds keep the fraction
}

// A head moving backwards past frame 0 restarts at the start position in Playback Modes
// 1 and 3 and wraps to the end in Modes 0 and 2.
TEST_F(SequencerTest, NegativeHeadRestartsInModesOneAndThreeAndWrapsOtherwise) {
    fx->setParameter(kUnitDura, kStatic);
    fx->setParameter(268, 2.0f);  // speed range -2..2: value 0.25 is -1
    everyUnit(kSpeed, 0.25f);
    hostAt(0.0, 0.0, 120.0);
    for (int mode = 0; mode <= 3; ++mode) {
        buffer(1000, 0.0f);
        fx->setParameter(257, 1.0f);  // the current buffer again: the head to its start, 0
        fx->setParameter(kBufPos + 1, 0.5f);
        fx->setParameter(272, static_cast<float>(mode));
        ASSERT_FLOAT_EQ(head(), 0.0f);
        Block(1).run(*fx);
        const bool restarts = mode == 1 || mode == 3;
        EXPECT_FLOAT_EQ(head(), restarts ? 500.0f : 999.0f) << mode;
        Block(10).run(*fx);
        EXPECT_FLOAT_EQ(head(), restarts ? 490.0f : 989.0f) << mode;
    }
}

// The head moving forward past the end restarts in Playback Mode 3 as in Mode 1.
TEST_F(SequencerTest, ModeThreeRestartsAtTheBufferEnd) {
    buffer(1000, 0.0f);
    fx->setParameter(kBufPos + 1, 0.25f);
    fx->setParameter(272, 3.0f);
    fx->setParameter(kUnitDura, kStatic);
    hostAt(0.0, 0.0, 120.0);
    Block(999).run(*fx);
    ASSERT_FLOAT_EQ(head(), 999.0f);
    Block(1).run(*fx);
    EXPECT_FLOAT_EQ(head(), 250.0f);
}

// Speed Fader Range "pure position": the head stands at (length - 1) x the raw fader.
TEST_F(SequencerTest, PurePositionPlacesTheHeadOnTheLastFrameScale) {
    buffer(1001);
    fx->setParameter(268, 4.0f);
    fx->setParameter(kUnitDura, kStatic);
    hostAt(0.0, 0.0, 120.0);
    fx->setParameter(kSpeed, 0.5f);
    Block(64).run(*fx);
    EXPECT_FLOAT_EQ(head(), 500.0f);
    fx->setParameter(kSpeed, 1.0f);
    Block(64).run(*fx);
    EXPECT_FLOAT_EQ(head(), 1000.0f);  // the last frame, never one past it
}

// Playback Mode 2: the host's position entering a new four-bar cycle after unit 15 ends
// the sequence at the block start (the realignment), as a boundary inside a block does.
TEST_F(SequencerTest, SequenceEndOnTheRealignmentRestartsTheHead) {
    fx->setParameter(kUnitDura, kQuarter);
    for (int mode : {2, 0}) {
        buffer(30000, 0.0f);
        fx->setParameter(kBufPos + 1, 0.25f);
        fx->setParameter(272, static_cast<float>(mode));
        hostAt(15.5, 12.0, 120.0);
        Block(64).run(*fx);
        ASSERT_EQ(seq().currentUnit, 15);
        const float before = head();
        ASSERT_NE(before, 7500.0f);
        hostAt(16.0, 16.0, 120.0);
        Block(1).run(*fx);
        EXPECT_EQ(seq().currentUnit, 0);
        EXPECT_FLOAT_EQ(head(), mode == 2 ? 7501.0f : before + 1.0f) << mode;
    }
    // With trigmode on, the same realignment halts the engine.
    fx->setParameter(272, 2.0f);
    fx->setParameter(kTrigmode, 1.0f);
    hostAt(15.5, 12.0, 120.0);
    Block(64).run(*fx);
    hostAt(16.0, 16.0, 120.0);
    Block(4).run(*fx);
    EXPECT_EQ(seq().halted, 1);
    EXPECT_EQ(seq().activeVoices, 0);
}

// --- spectral morph -----------------------------------------------------------------------

// The Init program at 120 bpm: 1/16 units of 5512 samples, time 0.8 (1/2) and density 1.0
// (factor 2) give grains of 5514 samples. A buffer change with the morph on waits
// 5514 - 4096 = 1418 samples between arming and the source grain.
TEST_F(EffectTest, MorphSourceGrainLongerThanTheTransformIsDelayed) {
    fillBuffer(*fx, 1, 30000, sine);
    fillBuffer(*fx, 2, 30000, [](int i) { return 0.3 * std::sin(i * 0.11); });
    fx->engine().selectBuffer(1);
    fx->setParameter(274, 1.0f);
    hostAt(0.0, 0.0, 120.0);
    Block(256).run(*fx);
    ASSERT_EQ(grainwheel::EngineInspection::sequencer(fx->engine()).grainLength, 5514);
    fx->setParameter(257, 2.0f);
    ASSERT_EQ(grainwheel::EngineInspection::morph(fx->engine()).pendingBuffer, 2);
    int armed = -1;
    int selected = -1;
    Block one(1);
    for (int s = 0; s < 20000 && selected < 0; ++s) {
        one.run(*fx);
        if (armed < 0 && grainwheel::EngineInspection::morph(fx->engine()).morphWait == 1) armed = s;
        if (fx->engine().getCurrentBuffer() == 2) selected = s;
    }
    ASSERT_GE(armed, 0);
    ASSERT_GE(selected, 0);
    EXPECT_EQ(selected - armed, 1418);
    EXPECT_EQ(grainwheel::EngineInspection::morph(fx->engine()).morphState.load(), MorphStage::SourceDone);
}

// --- scope capture ------------------------------------------------------------------------

class CaptureTest : public SequencerTest {
protected:
    void SetUp() override {
        SequencerTest::SetUp();
        fx->setParameter(kUnitDura, kStatic);  // spacing 1025 (time 1/2 of 2048)
        scriptedHost().answerTime = false;
        fillBuffer(*fx, 1, 30000, [](int) { return 0.5; });
        fx->engine().selectBuffer(1);
    }
    const grainwheel::ScopeCapture& capture() const { return grainwheel::EngineInspection::scopeCapture(fx->engine()); }
    void wantCapture() { fx->engine().requestCapture(); }
};

// "time view - sum output": the sum during the arming grain's life fills 206 entries,
// one step of 206 / grain length per sample.
TEST_F(CaptureTest, SumTimeViewStepsBy206PerGrainLength) {
    fx->setParameter(kDensity, 0.5f);  // grain length = spacing = 1025
    fx->setParameter(273, 2.0f);
    Block(4).run(*fx);
    ASSERT_EQ(capture().captureState, 2);
    EXPECT_FLOAT_EQ(capture().captureIncrement, 206.0f / 1025.0f);
    Block(2048).run(*fx);
    ASSERT_EQ(capture().captureState, 1);
    int written = 0;
    for (int k = 0; k < 206; ++k) written += capture().captureBuffer[k] != 0.0f;
    EXPECT_GE(written, 200);
    for (int k = 207; k < 4097; ++k) ASSERT_EQ(capture().captureBuffer[k], 0.0f) << k;
}

// "freq view - single grain": the rest of the array is zeroed before the transform, so a
// second capture shows the grain's spectrum, not what the first one left behind.
TEST_F(CaptureTest, SingleGrainSpectrumIsTheSameOnASecondCapture) {
    fx->setParameter(kDensity, 0.05f);  // factor 0.1: grains of 102 samples
    fx->setParameter(273, 3.0f);
    Block(2048).run(*fx);
    ASSERT_EQ(capture().captureState, 1);
    const std::vector<float> first(capture().captureBuffer, capture().captureBuffer + 4096);
    ASSERT_GT(first[0], 1.0f);
    wantCapture();
    Block(4096).run(*fx);
    ASSERT_EQ(capture().captureState, 1);
    for (int k = 0; k < 4096; ++k) ASSERT_NEAR(capture().captureBuffer[k], first[k], 1e-4f * first[0]) << k;
}

// A voice-count change stops every voice: a single-grain capture that was following one
// of them is given up and armed again by the next grain, not left waiting for ever.
TEST_F(CaptureTest, VoiceCountChangeReleasesAnArmedCapture) {
    fx->setParameter(kDensity, 0.5f);
    for (float mode : {1.0f, 3.0f}) {
        fx->setParameter(273, mode);
        wantCapture();
        Block one(1);
        for (int s = 0; s < 2048 && capture().captureState != 2; ++s) one.run(*fx);
        ASSERT_EQ(capture().captureState, 2) << mode;
        Block(16).run(*fx);  // well inside the grain
        fx->setParameter(265, 3.0f);
        EXPECT_EQ(capture().captureState, 0) << mode;
        EXPECT_EQ(capture().capturedVoice, -1) << mode;
        Block(4096).run(*fx);
        EXPECT_EQ(capture().captureState, 1) << mode;
        fx->setParameter(265, 6.0f);
    }
}

// --- resonant filter ----------------------------------------------------------------------

// The filter's output against its recursion evaluated here: s1 += f ((in - s1) + fb (s1 -
// s2)); s2 += f (s1 - s2); fb = q + q / (1.0001 - f), q = 0.983 sqrt(reso).
TEST(ResonantFilterResponse, FollowsItsRecursionWithFeedback) {
    for (const float reso : {0.0f, 0.3f, 0.81f}) {
        for (const float f : {0.05f, 0.3f, 0.7f}) {
            grainwheel::ResonantFilter flt;
            flt.setResonance(reso);
            flt.setCutoff(f);
            grainwheel::ResonantFilter blockwise;  // the same filter over whole stretches
            blockwise.setResonance(reso);
            blockwise.setCutoff(f);
            float blockLeft[400];
            float blockRight[400];
            for (int n = 0; n < 400; ++n) {
                blockLeft[n] = n == 0 ? 1.0f : 0.0f;
                blockRight[n] = n < 200 ? 0.5f : -0.25f;
            }
            blockwise.runBlock(blockLeft, blockRight, 150);
            blockwise.runBlock(blockLeft + 150, blockRight + 150, 250);
            const double q = 0.983 * std::sqrt(static_cast<double>(reso));
            const double fb = q + q / (1.0001 - f);
            EXPECT_NEAR(flt.fb.load(), fb, 1e-4 * (1.0 + fb)) << reso << " " << f;
            double s1[2] = {0.0, 0.0};
            double s2[2] = {0.0, 0.0};
            double peak = 0.0;
            for (int n = 0; n < 400; ++n) {
                const double in[2] = {n == 0 ? 1.0 : 0.0, n < 200 ? 0.5 : -0.25};  // impulse, steps
                float left = static_cast<float>(in[0]);
                float right = static_cast<float>(in[1]);
                flt.run(left, right);
                for (int c = 0; c < 2; ++c) {
                    s1[c] += f * ((in[c] - s1[c]) + fb * (s1[c] - s2[c]));
                    s2[c] += f * (s1[c] - s2[c]);
                    peak = std::max(peak, std::fabs(s2[c]));
                }
                ASSERT_NEAR(left, s2[0], 1e-3 * (1.0 + peak)) << reso << " " << f << " " << n;
                ASSERT_NEAR(right, s2[1], 1e-3 * (1.0 + peak)) << reso << " " << f << " " << n;
                ASSERT_NEAR(blockLeft[n], s2[0], 1e-3 * (1.0 + peak)) << reso << " " << f << " " << n;
                ASSERT_NEAR(blockRight[n], s2[1], 1e-3 * (1.0 + peak)) << reso << " " << f << " " << n;
            }
        }
    }
}

}  // namespace
