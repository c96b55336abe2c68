// The adapter's process() with parameter queues, a process context, a take, program changes
// that go back to the host, and the bypass. Built with -DGW_RTSAN=ON process() is a
// real-time context, so any allocation, lock or system call in it (the host's interfaces
// aside, which this host keeps free of them) aborts this test with a RealtimeSanitizer report.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/parameter_index.h"
#include "plugin/vst3/vst3_effect.h"
#include "tests/vst3/vst3_test_host.h"

namespace {

using namespace grainwheel;
using gwvst3test::Changes;

TEST(Vst3Realtime, BlocksWithQueuesContextTakesAndBypassStayRealtimeSafe) {
    vst3::Vst3Effect* fx = vst3::Vst3Effect::create();
    ASSERT_NE(fx, nullptr);
    Steinberg_Vst_IComponent* component = nullptr;
    Steinberg_Vst_IAudioProcessor* processor = nullptr;
    ASSERT_EQ(fx->queryInterface(Steinberg_Vst_IComponent_iid, reinterpret_cast<void**>(&component)), Steinberg_kResultOk);
    ASSERT_EQ(fx->queryInterface(Steinberg_Vst_IAudioProcessor_iid, reinterpret_cast<void**>(&processor)),
              Steinberg_kResultOk);
    constexpr int kBlock = 256;
    Steinberg_Vst_ProcessSetup setup{Steinberg_Vst_ProcessModes_kRealtime, Steinberg_Vst_SymbolicSampleSizes_kSample32,
                                     kBlock, 44100.0};
    ASSERT_EQ(processor->lpVtbl->setupProcessing(processor, &setup), Steinberg_kResultOk);
    component->lpVtbl->setActive(component, 1);

    std::vector<float> in(kBlock), outL(kBlock), outR(kBlock);
    float* ins[2] = {in.data(), in.data()};
    float* outs[2] = {outL.data(), outR.data()};
    Steinberg_Vst_AudioBusBuffers inBus{2, 0, {ins}}, outBus{2, 0, {outs}};
    Changes changes, back;
    Steinberg_Vst_ProcessData data{};
    data.symbolicSampleSize = Steinberg_Vst_SymbolicSampleSizes_kSample32;
    data.numSamples = kBlock;
    data.numInputs = data.numOutputs = 1;
    data.inputs = &inBus;
    data.outputs = &outBus;
    data.inputParameterChanges = changes.changes();
    data.outputParameterChanges = back.changes();
    for (int b = 0; b < 900; ++b) {
        for (int i = 0; i < kBlock; ++i) in[i] = 0.4f * std::sin(static_cast<float>(b * kBlock + i) * 0.03f);
        changes.clear();
        back.clear();
        const int phase = b % 150;
        if (phase == 0) changes.add(kRecSync, 17, 1.0);
        if (phase == 40) changes.add(kRecSync, 3, 0.0);
        if (phase == 60) changes.add(kRecFree, 100, 1.0);
        if (phase == 90) changes.add(kRecFree, 200, 0.0);
        if (phase == 100) changes.add(kNextProg, 10, 1.0), changes.add(kNextProg, 11, 0.0);
        if (phase == 120) changes.add(vst3::kBypassId, 50, 1.0), changes.add(kDensity, 60, 0.3 + 0.001 * b);
        if (phase == 130) changes.add(vst3::kBypassId, 0, 0.0);
        changes.add(kTime + b % 16, b % kBlock, 0.5);
        Steinberg_Vst_ProcessContext ctx = gwvst3test::playingAt(44100.0, b * kBlock / 44100.0 * 2.0, 120.0, 4);
        data.processContext = &ctx;
        ASSERT_EQ(processor->lpVtbl->process(processor, &data), Steinberg_kResultOk);
        // The next-program command's program change goes back to the host.
        if (phase == 100) {
            EXPECT_TRUE(back.used() == 1 && back.queue(0)->id == kProgram);
        }
    }
    component->lpVtbl->setActive(component, 0);
    processor->lpVtbl->release(processor);
    component->lpVtbl->release(component);
    fx->release();
}

}  // namespace
