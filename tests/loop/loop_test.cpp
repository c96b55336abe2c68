// The audio loop driven through processReplacing: sequencer against host positions,
// grain starts, Playback Modes, output stage, monitor, transport and morph sequence.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "engine/engine_inspection.h"
#include "loop_support.h"

namespace {

using enginetest::EffectTest;
using enginetest::scriptedHost;
using grainwheel::kMonitor;
using grainwheel::kTrigmode;
using grainwheel::kUnitDura;
using looptest::Block;
using looptest::fillBuffer;
using looptest::plainGrains;

constexpr float kQuarter = 0.625f;  // unitDura "1/4"
constexpr float kSixtyFourth = 0.125f;
constexpr float kStatic = 1.0f;

double sineAt(int i) { return 0.5 * std::sin(i * 0.05); }

class LoopTest : public EffectTest {
protected:
    void SetUp() override {
        EffectTest::SetUp();
        plainGrains(*fx);
    }
    int unit() const { return grainwheel::EngineInspection::sequencer(fx->engine()).currentUnit; }
    void playing(bool on) {
        VstInt32& f = scriptedHost().time.flags;
        f = on ? (f | kVstTransportPlaying) : (f & ~kVstTransportPlaying);
    }
};

// --- sequencer against the host position ------------------------------------------------

TEST_F(LoopTest, UnitFollowsHostPositionInFourFourAndThreeFour) {
    fx->setParameter(kUnitDura, kQuarter);
    struct Case {
        int num;
        double ppq;
    };
    const Case cases[] = {{4, 0.0}, {4, 3.5}, {4, 15.99}, {4, 16.0}, {4, 37.25}, {4, 63.0},
                          {3, 0.0}, {3, 11.5}, {3, 12.0}, {3, 13.2}, {3, 35.9}, {3, 47.0}};
    for (const Case& c : cases) {
        const double bar = static_cast<double>(c.num);
        hostAt(c.ppq, bar * std::floor(c.ppq / bar), 120.0, c.num, 4);
        Block(16).run(*fx);
        // The four-bar cycle is 16 quarter notes in 4/4 and 12 in 3/4; one unit per quarter.
        const int expected = static_cast<int>(std::floor(std::fmod(c.ppq, 4.0 * bar)));
        EXPECT_EQ(unit(), expected) << c.num << "/4 at " << c.ppq;
    }
}

TEST_F(LoopTest, ThreeFourNeverRealignsIntoUnitsTwelveToFifteen) {
    fx->setParameter(kUnitDura, kQuarter);
    for (double ppq = 0.0; ppq < 48.0; ppq += 0.37) {
        hostAt(ppq, 3.0 * std::floor(ppq / 3.0), 120.0, 3, 4);
        Block(8).run(*fx);
        EXPECT_LT(unit(), 12) << ppq;
    }
}

TEST_F(LoopTest, BoundaryInsideABlockIsMetAtTheExactSample) {
    fx->setParameter(kUnitDura, kQuarter);
    // 120 bpm at 44100 Hz: 22050 samples per quarter; from 3.5 the next unit is 11025 away.
    hostAt(3.5, 0.0, 120.0);
    Block(11025).run(*fx);
    EXPECT_EQ(unit(), 3);
    hostAt(3.5, 0.0, 120.0);
    Block(11026).run(*fx);
    EXPECT_EQ(unit(), 4);
    EXPECT_EQ(grainwheel::EngineInspection::sequencer(fx->engine()).samplesPerUnit, 22050);
}

TEST_F(LoopTest, StaticUnitsNeverAdvance) {
    fx->setParameter(kUnitDura, kStatic);
    hostAt(5.0, 4.0, 97.0);
    for (int k = 0; k < 40; ++k) Block(512).run(*fx);
    EXPECT_EQ(unit(), 0);
    EXPECT_EQ(grainwheel::EngineInspection::sequencer(fx->engine()).samplesPerUnit, 2048);
    const float time0 = fx->engine().parameters().unitTime[0];
    EXPECT_EQ(grainwheel::EngineInspection::sequencer(fx->engine()).grainInterval, static_cast<int>(2048.0f * time0) + 1);
}

TEST_F(LoopTest, WithoutTimeInfoUnitsCountSamplesAtOneHundredTwenty) {
    fx->setParameter(kUnitDura, kSixtyFourth);  // 1/64 note: trunc(22050 / 16) = 1378 samples
    scriptedHost().answerTime = false;
    // The first sample meets a boundary (the countdown starts at 0), then one per 1378.
    Block(1 + 1378 * 3 - 1).run(*fx);
    EXPECT_EQ(unit(), 3);
    Block(1).run(*fx);
    EXPECT_EQ(unit(), 4);
}

// --- grain starts -----------------------------------------------------------------------

TEST_F(LoopTest, BusyVoicesDelayAGrainUntilOneEnds) {
    fillBuffer(*fx, 1, 40000, sineAt);
    fx->engine().selectBuffer(1);
    fx->setParameter(kUnitDura, kStatic);
    fx->setParameter(grainwheel::kDensity, 1.0f);  // grains twice as long as their spacing
    fx->setParameter(265, 1.0f);                   // a single voice slot
    scriptedHost().answerTime = false;
    Block one(1);
    one.run(*fx);  // the block start sets the unit's values (and the first grain starts)
    const int length = grainwheel::EngineInspection::sequencer(fx->engine()).grainLength;
    const int interval = grainwheel::EngineInspection::sequencer(fx->engine()).grainInterval;
    ASSERT_EQ(length, 2 * interval);

    std::vector<int> starts;
    for (int s = 0; s < 5 * length; ++s) {
        one.run(*fx);
        if (grainwheel::EngineInspection::voiceBank(fx->engine()).slots[0].remaining == length - 1) starts.push_back(s);
    }
    ASSERT_GE(starts.size(), 4u) << length << " " << grainwheel::EngineInspection::voiceBank(fx->engine()).slots[0].remaining << " "
                                 << grainwheel::EngineInspection::sequencer(fx->engine()).voiceCount;
    for (size_t k = 1; k < starts.size(); ++k) EXPECT_EQ(starts[k] - starts[k - 1], length);

    // With six slots the grains start on time, two sounding at once.
    fx->setParameter(265, 6.0f);
    starts.clear();
    for (int s = 0; s < 5 * length; ++s) {
        one.run(*fx);
        for (const auto& v : grainwheel::EngineInspection::voiceBank(fx->engine()).slots)
            if (v.remaining == length - 1) starts.push_back(s);
    }
    ASSERT_GE(starts.size(), 8u);
    for (size_t k = 2; k < starts.size(); ++k) EXPECT_EQ(starts[k] - starts[k - 1], interval);
}

// --- Playback Modes and trigmode --------------------------------------------------------

TEST_F(LoopTest, SequenceEndWithTrigmodeJumpsSilencesAndHalts) {
    fillBuffer(*fx, 1, 30000, sineAt);
    fx->engine().selectBuffer(1);
    fx->setParameter(grainwheel::kBufPos + 1, 0.25f);
    fx->setParameter(272, 2.0f);  // stop at stepsequence end
    fx->setParameter(kTrigmode, 1.0f);
    fx->setParameter(kUnitDura, kSixtyFourth);
    scriptedHost().answerTime = false;

    // Unit k begins at sample 1378 (k - 1); unit 15 ends at sample 15 x 1378.
    Block(15 * 1378).run(*fx);
    EXPECT_EQ(grainwheel::EngineInspection::sequencer(fx->engine()).halted, 0);
    EXPECT_EQ(unit(), 15);
    EXPECT_GT(grainwheel::EngineInspection::sequencer(fx->engine()).activeVoices, 0);
    Block b(4);
    b.run(*fx);
    EXPECT_EQ(grainwheel::EngineInspection::sequencer(fx->engine()).halted, 1);
    EXPECT_FLOAT_EQ(grainwheel::EngineInspection::sequencer(fx->engine()).playPosition, 30000.0f * 0.25f);
    EXPECT_EQ(grainwheel::EngineInspection::sequencer(fx->engine()).activeVoices, 0);
    for (const auto& v : grainwheel::EngineInspection::voiceBank(fx->engine()).slots) EXPECT_TRUE(v.idle());
    for (int i = 1; i < 4; ++i) EXPECT_EQ(b.outL[i], 0.0f);

    Block later(2048, 0.5f);
    later.run(*fx);
    for (float v : later.outL) ASSERT_EQ(v, 0.0f);
    fx->setParameter(kTrigmode, 0.0f);  // releases the halt
    EXPECT_EQ(grainwheel::EngineInspection::sequencer(fx->engine()).halted, 0);
}

TEST_F(LoopTest, PlaybackModeOneRestartsAtTheStartPosition) {
    fillBuffer(*fx, 1, 1000, sineAt);
    fx->engine().selectBuffer(1);
    fx->setParameter(grainwheel::kBufPos + 1, 0.5f);
    fx->setParameter(272, 1.0f);  // stop at buffer end
    fx->setParameter(kUnitDura, kStatic);
    hostAt(0.0, 0.0, 120.0);
    // The head starts at 0 (the start position was set after the selection), moves one
    // frame per sample and restarts at 1000 x 0.5 when it reaches 1000.
    Block(600).run(*fx);
    EXPECT_FLOAT_EQ(grainwheel::EngineInspection::sequencer(fx->engine()).playPosition, 600.0f);
    Block(399).run(*fx);
    EXPECT_FLOAT_EQ(grainwheel::EngineInspection::sequencer(fx->engine()).playPosition, 999.0f);
    Block(1).run(*fx);
    EXPECT_FLOAT_EQ(grainwheel::EngineInspection::sequencer(fx->engine()).playPosition, 500.0f);

    fx->setParameter(272, 0.0f);  // loop mode wraps instead
    Block(500).run(*fx);
    EXPECT_FLOAT_EQ(grainwheel::EngineInspection::sequencer(fx->engine()).playPosition, 0.0f);
}

// --- output stage, monitor, transport ---------------------------------------------------

TEST_F(LoopTest, SoftClipperShapesTheGainedSum) {
    fillBuffer(*fx, 1, 40000, [](int) { return 1.0; });
    fx->engine().selectBuffer(1);
    fx->setParameter(kUnitDura, kStatic);
    fx->setParameter(grainwheel::kDensity, 0.25f);  // factor 0.5: one grain at a time
    hostAt(0.0, 0.0, 120.0);
    Block b(8192);
    b.run(*fx);
    int ones = 0;
    for (float v : b.outL) {
        ASSERT_TRUE(v == 0.0f || std::fabs(v - 2.0 / 2.2) < 1e-6) << v;
        ones += v != 0.0f;
    }
    EXPECT_GT(ones, 1000);
    EXPECT_NEAR(fx->getParameter(259), 1.0f, 1e-6);  // the meter saw the gained sum

    fx->setParameter(grainwheel::kMainLevl, 1.0f);  // gain 2: 2 x 3 / 5.2
    Block c(8192);
    c.run(*fx);
    for (float v : c.outL) ASSERT_TRUE(v == 0.0f || std::fabs(v - 6.0 / 5.2) < 1e-6) << v;
}

TEST_F(LoopTest, MonitorPassesTheInputUnchangedAndLeavesTheMeter) {
    fillBuffer(*fx, 1, 40000, sineAt);
    fx->engine().selectBuffer(1);
    fx->setParameter(kMonitor, 1.0f);
    hostAt(0.0, 0.0, 120.0);
    Block b(4096);
    for (int i = 0; i < 4096; ++i) {
        b.inL[static_cast<size_t>(i)] = static_cast<float>(std::sin(i * 0.01));
        b.inR[static_cast<size_t>(i)] = static_cast<float>(std::cos(i * 0.013));
    }
    b.run(*fx);
    EXPECT_EQ(b.outL, b.inL);
    EXPECT_EQ(b.outR, b.inR);
    EXPECT_GT(grainwheel::EngineInspection::sequencer(fx->engine()).activeVoices, 0);  // the grains ran all the same
    EXPECT_EQ(fx->getParameter(259), 0.0f);
}

TEST_F(LoopTest, StoppedTransportGivesExactZerosAndRecordsNothing) {
    fillBuffer(*fx, 1, 40000, sineAt);
    fx->engine().selectBuffer(1);
    hostAt(2.0, 0.0, 120.0);
    Block warm(2048, 0.3f);
    warm.run(*fx);
    fx->setParameter(grainwheel::kRecFree, 1.0f);
    playing(false);
    const std::vector<float> before(currentFrames().left, currentFrames().left + 40000);
    Block b(4096, 0.8f);
    b.run(*fx);
    for (size_t i = 0; i < b.outL.size(); ++i) {
        ASSERT_EQ(b.outL[i], 0.0f);
        ASSERT_EQ(b.outR[i], 0.0f);
    }
    EXPECT_EQ(std::memcmp(before.data(), currentFrames().left, before.size() * sizeof(float)), 0);

    playing(true);  // started again mid-song: sound resumes
    Block c(4096, 0.0f);
    c.run(*fx);
    bool sound = false;
    for (float v : c.outL) sound = sound || v != 0.0f;
    EXPECT_TRUE(sound);
}

TEST_F(LoopTest, HaltedMonitorAppliesGainAndMeter) {
    fx->setParameter(kMonitor, 1.0f);
    fx->setParameter(grainwheel::kMainLevl, 1.0f);  // gain 2
    fx->suspend();
    Block b(64, 0.25f);
    b.run(*fx);
    for (float v : b.outL) ASSERT_EQ(v, 0.5f);
    EXPECT_EQ(fx->getParameter(259), 0.5f);
    fx->setParameter(kMonitor, 0.0f);
    b.run(*fx);
    for (float v : b.outR) ASSERT_EQ(v, 0.0f);
}

// process never accumulates: on outputs holding other values it writes what
// processReplacing writes, sample for sample, block after block.
TEST_F(LoopTest, ProcessReplacesLikeProcessReplacing) {
    grainwheel::GrainEffect twin(&enginetest::hostCallback);
    plainGrains(twin);
    for (grainwheel::GrainEffect* e : {fx.get(), &twin}) {
        fillBuffer(*e, 1, 40000, sineAt);
        e->engine().selectBuffer(1);
    }
    hostAt(0.0, 0.0, 120.0);
    bool sound = false;
    for (int block = 0; block < 8; ++block) {
        Block a(512, 0.1f);
        Block b(512, 0.1f);
        std::fill(a.outL.begin(), a.outL.end(), 9.0f);
        std::fill(a.outR.begin(), a.outR.end(), -9.0f);
        float* ins[2] = {a.inL.data(), a.inR.data()};
        float* outs[2] = {a.outL.data(), a.outR.data()};
        fx->process(ins, outs, 512);
        b.run(twin);
        ASSERT_EQ(a.outL, b.outL) << block;
        ASSERT_EQ(a.outR, b.outR) << block;
        for (float v : b.outL) sound = sound || v != 0.0f;
    }
    EXPECT_TRUE(sound);
}

// --- unusual hosts ----------------------------------------------------------------------

TEST_F(LoopTest, UnusualHostsKeepTheOutputFinite) {
    fillBuffer(*fx, 1, 20000, sineAt);
    fx->engine().selectBuffer(1);
    fx->setParameter(grainwheel::kReso, 0.9f);
    const int sizes[] = {1, 2, 3, 7, 64, 100, 511, 4096, 8192};
    const float rates[] = {8000.0f, 22050.0f, 44100.0f, 96000.0f, 192000.0f};
    const float duras[] = {0.0f, kSixtyFourth, kQuarter, 0.875f, kStatic};
    int run = 0;
    for (float rate : rates) {
        fx->setSampleRate(rate);
        fx->resume();
        for (float dura : duras) {
            fx->setParameter(kUnitDura, dura);
            for (int n : sizes) {
                ++run;
                switch (run % 4) {
                case 0: scriptedHost().answerTime = false; break;  // no time info at all
                case 1: hostAt(run * 0.7, 0.0, 0.0); break;        // tempo 0
                case 2: hostAt(run * 1.3, 4.0, 187.0, 7, 8); playing(run % 3 != 0); break;
                default: hostAt(run * 0.1, 0.0, 60.0, 0, 0); break;  // no time signature
                }
                Block b(n, 0.4f);
                b.run(*fx, run % 2 == 0);
                for (int i = 0; i < n; ++i) ASSERT_TRUE(std::isfinite(b.outL[static_cast<size_t>(i)]));
                if (run % 2 != 0) {
                    for (float v : b.outR) ASSERT_EQ(v, 7.0f);  // null right pointer: untouched
                }
            }
        }
    }
    EXPECT_GT(grainwheel::EngineInspection::transport(fx->engine()).tempo.load(), 0.0);
}

}  // namespace
