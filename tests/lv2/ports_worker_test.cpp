// The control ports as the engine receives them (clamped, NaN ignored, triggers once, a
// restored state not overridden by the ports' old values) and the worker (none offered:
// the plug-in runs on; offered: the handed-off work runs there, not in run(); a recording
// switched on before the first block allocates nothing there).
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <limits>
#include <string>
#include <thread>

#include "engine/parameter_index.h"
#include "tests/lv2/lv2_test_host.h"
#include "tests/support/counting_new.h"

namespace {

using namespace gwlv2test;
using namespace grainwheel;

constexpr float kStep = 1.0f / 15.0f;

void select(Instance& fx, int k) {
    fx.port().setParameter(kSettingMorphAlgorithm, 0.0f);  // selection at once
    fx.control(kBufferNo) = static_cast<float>(k) * kStep;
    fx.play(512);
    ASSERT_EQ(fx.port().currentBuffer(), k);
}

// Rec free into buffer k for half a second.
void recordInto(Instance& fx, int k) {
    select(fx, k);
    fx.control(kRecFree) = 1.0f;
    fx.play(22050);
    fx.control(kRecFree) = 0.0f;
    fx.play(512);
}

TEST(Lv2Ports, OutOfRangeAndNaNNeverReachTheEngine) {
    Instance fx;
    fx.activate();
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    for (const int i : std::initializer_list<int>{kMainLevl, kDensity, kUnitDura, kReso, kTime + 3, kSpeed + 7, kPitch + 1, kFreq + 15, kBufPos + 2}) {
        fx.control(i) = 0.25f;
        fx.play(256);
        ASSERT_FLOAT_EQ(fx.port().getParameter(i), 0.25f);
        fx.control(i) = nan;
        EXPECT_TRUE(std::isfinite(fx.play(256)));
        EXPECT_FLOAT_EQ(fx.port().getParameter(i), 0.25f) << Instance::symbol(i) << ": NaN left it as it was";
        for (const float v : {7.0f, inf, 1e30f}) {
            fx.control(i) = v;
            EXPECT_TRUE(std::isfinite(fx.play(256)));
            EXPECT_EQ(fx.port().getParameter(i), 1.0f) << Instance::symbol(i) << " " << v;
        }
        for (const float v : {-3.0f, -inf}) {
            fx.control(i) = v;
            EXPECT_TRUE(std::isfinite(fx.play(256)));
            EXPECT_EQ(fx.port().getParameter(i), 0.0f) << Instance::symbol(i) << " " << v;
        }
        fx.control(i) = 0.5f;
        fx.play(256);
    }
}

TEST(Lv2Ports, TriggerRunsOnce) {
    Instance fx;
    fx.activate();
    fx.play(256);
    ASSERT_EQ(fx.port().getParameter(kProgram), 0.0f);
    fx.control(kNextProg) = 1.0f;
    fx.play(256 * 4);
    fx.control(kNextProg) = 0.0f;
    fx.play(256 * 4);
    EXPECT_NEAR(fx.port().getParameter(kProgram), kStep, 1e-6f) << "one program on";
    fx.play(256 * 4);
    EXPECT_NEAR(fx.port().getParameter(kProgram), kStep, 1e-6f);
}

TEST(Lv2Ports, RestoredStateStandsAgainstThePortsOldValues) {
    Instance a;
    a.activate();
    a.control(kMainLevl) = 0.3f;
    a.control(kTime + 2) = 0.1f;
    a.play(256);
    const auto state = a.saveDirect();

    Instance b;
    b.activate();
    b.control(kMainLevl) = 0.9f;
    b.control(kTime + 2) = 0.8f;
    b.play(256);
    ASSERT_FLOAT_EQ(b.port().getParameter(kMainLevl), 0.9f);
    // The host restores the plug-in's state; its ports keep their old values, one of
    // them moved since the last block.
    b.control(kTime + 2) = 0.7f;
    ASSERT_EQ(b.restoreDirect(state), LV2_STATE_SUCCESS);
    b.play(256 * 3);
    EXPECT_FLOAT_EQ(b.port().getParameter(kMainLevl), 0.3f);
    EXPECT_FLOAT_EQ(b.port().getParameter(kTime + 2), 0.1f);
    // A port the host moves afterwards is applied again.
    b.control(kMainLevl) = 0.6f;
    b.play(256);
    EXPECT_FLOAT_EQ(b.port().getParameter(kMainLevl), 0.6f);
    EXPECT_FLOAT_EQ(b.port().getParameter(kTime + 2), 0.1f);
}

TEST(Lv2Worker, WithoutOneThePluginRunsAndRecFreeWaits) {
    Instance::Options o;
    o.worker = Instance::Worker::None;
    Instance fx(o);
    ASSERT_TRUE(fx.ok());
    fx.activate();
    recordInto(fx, 2);  // the spare made at construction
    EXPECT_GT(fx.port().bufferLength(2), 0);
    select(fx, 3);
    fx.control(kRecFree) = 1.0f;
    const float peak = fx.play(22050);
    EXPECT_TRUE(std::isfinite(peak));
    EXPECT_EQ(fx.port().bufferLength(3), 0) << "no spare, nobody to make one: the recording waits";
    EXPECT_EQ(fx.scheduled(), 0);
    bool told = false;
    for (const auto& l : fx.logLines()) told = told || l.find("no worker") != std::string::npos;
    EXPECT_TRUE(told);
}

TEST(Lv2Worker, HandedOffWorkRunsOnTheWorkersThread) {
    Instance::Options o;
    o.worker = Instance::Worker::Thread;
    Instance fx(o);
    ASSERT_TRUE(fx.ok());
    fx.activate();
    recordInto(fx, 2);
    fx.drainWorker();
    EXPECT_GE(fx.workCalls(), 1) << "the spare is replaced on the worker";
    // A rec free met before the new spare is ready waits for the worker, which then
    // makes the buffer.
    select(fx, 3);
    fx.control(kRecFree) = 1.0f;
    for (int i = 0; i < 200 && fx.port().bufferLength(3) == 0; ++i) {
        fx.play(256);
        fx.drainWorker();
    }
    EXPECT_GT(fx.port().bufferLength(3), 0);
    EXPECT_EQ(fx.workCallsOnRunThread(), 0);
    EXPECT_EQ(fx.workCalls(), fx.scheduled());
}

// A recording switched on by the ports before the first block of all: the block takes the
// spare; nothing is allocated on the audio thread (beyond what the test host's own first
// block allocates, measured on a twin without the recording; no worker, whose queue would
// allocate on the host's side).
TEST(Lv2Worker, RecFreeInTheVeryFirstBlockAllocatesNothing) {
    auto firstBlockAllocations = [](bool record) {
        Instance::Options o;
        o.worker = Instance::Worker::None;
        Instance fx(o);
        EXPECT_TRUE(fx.ok());
        fx.activate();
        fx.control(kRecFree) = record ? 1.0f : 0.0f;
        gwtest::allocations = 0;
        gwtest::counting = true;
        fx.play(256);
        gwtest::counting = false;
        EXPECT_EQ(fx.port().bufferLength(fx.port().currentBuffer()) > 0, record);
        return gwtest::allocations.load();
    };
    const long plain = firstBlockAllocations(false);
    EXPECT_EQ(firstBlockAllocations(true), plain);
}

}  // namespace
