// The audio thread's memory discipline: recording one frame must not allocate, whatever
// the recording state does (fade-in, wait, stop rule with its parameter change, fade-out),
// and no process call may touch a page for the first time.

#include "engine/engine_inspection.h"
#include "tests/support/effect_fixture.h"

#include "host/entry.h"
#include "tests/support/counting_new.h"

#include <cmath>

#if defined(__linux__)
#include <malloc.h>
#include <sys/resource.h>
#endif

using gwtest::allocations;
using gwtest::counting;

using enginetest::EffectTest;

TEST_F(EffectTest, RecordOneFrameAllocatesNothing) {
    hostAt(3.9, 0.0, 120.0);
    fx->setParameter(276, 10.0f);  // "1/16": 5512 frames
    fx->setParameter(10, 1.0f);
    ASSERT_EQ(currentFrames().length, 5512);
    ASSERT_GT(grainwheel::EngineInspection::recorder(fx->engine()).state().recordSyncWait, 0);

    counting = true;
    recordFrames(20000, 0.5f, -0.5f);  // wait, fade-in, writing, stop rule, fade-out, idle
    float in[256], out[2][256];
    for (float& v : in) v = 0.25f;
    float* ins[2] = {in, in};
    float* outs[2] = {out[0], out[1]};
    fx->processReplacing(ins, outs, 256);
    counting = false;

    EXPECT_EQ(allocations.load(), 0);
    EXPECT_FLOAT_EQ(fx->getParameter(10), 0.0f);  // the recording finished meanwhile
    EXPECT_NE(currentFrames().left[100], 0.0f);
}

// Memory short for the program records (or the clipboard record) when the host creates
// the plug-in: the entry point answers null instead of handing out an effect that would
// read through a null record.
TEST(EffectCreationTest, NoProgramRecordsMeansNoEffect) {
    for (std::size_t size : {sizeof(grainwheel::ProgramRecord) * grainwheel::kNumPrograms,
                             sizeof(grainwheel::ProgramRecord)}) {
        gwtest::failing = size;
        AEffect* effect = vstEntry(&enginetest::hostCallback);
        gwtest::failing = 0;
        EXPECT_EQ(effect, nullptr) << size;
        if (effect) effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    }
    AEffect* effect = vstEntry(&enginetest::hostCallback);
    ASSERT_NE(effect, nullptr);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// Every page the audio thread writes was written before it runs: a page touched for the
// first time is a fault in the audio thread's own time (tens of microseconds on some
// machines). The effect is made from fresh pages (large blocks straight from mmap), then
// plays grains with resonance and morphs between two buffers with each algorithm while the
// scope shows spectra; the thread's minor faults are counted over the process calls only.
TEST(AudioThreadMemory, MorphsAndSpectraTouchNoNewPage) {
    mallopt(M_MMAP_THRESHOLD, 16 * 1024);
    gwtest::ScriptedHost& host = gwtest::scriptedHost();
    host.reset();
    host.playingAt(0.0, 0.0, 120.0, 4, 4);
    host.time.sampleRate = 48000.0;
    auto fx = std::make_unique<grainwheel::GrainEffect>(&gwtest::hostCallback);
    fx->setSampleRate(48000.0f);
    fx->setBlockSize(64);
    fx->resume();
    for (int b = 1; b <= 2; ++b) {
        const int frames = 96000;
        float* l = grainwheel::BufferBank::newSampleArray(frames);
        float* r = grainwheel::BufferBank::newSampleArray(frames);
        for (int i = 0; i < frames; ++i) l[i] = r[i] = 0.5f * std::sin(static_cast<float>(i) * (b == 1 ? 0.031f : 0.17f));
        fx->engine().replaceBufferArrays(b, l, r, frames);
    }
    fx->engine().selectBuffer(1);
    fx->setParameter(grainwheel::kReso, 0.7f);
    fx->setParameter(grainwheel::kDensity, 0.9f);
    fx->setParameter(grainwheel::kUnitDura, 0.5f);

    float in[64] = {}, outL[64], outR[64];
    float* ins[2] = {in, in};
    float* outs[2] = {outL, outR};
    long faults = 0;
    const auto play = [&](int blocks) {
        for (int n = 0; n < blocks; ++n) {
            rusage before{}, after{};
            getrusage(RUSAGE_THREAD, &before);
            fx->processReplacing(ins, outs, 64);
            getrusage(RUSAGE_THREAD, &after);
            faults += after.ru_minflt - before.ru_minflt;
        }
    };
    play(1500);  // the stack and the grain paths warm
    faults = 0;
    const float views[] = {3.0f, 4.0f};  // grain spectrum, sum spectrum
    for (int step = 0; step < 6; ++step) {
        grainwheel::EngineInspection::captureStateWord(fx->engine()).store(0);
        fx->setParameter(grainwheel::kSettingScopeViewMode, views[step % 2]);
        fx->setParameter(grainwheel::kSettingMorphAlgorithm, static_cast<float>(1 + step % 3));
        fx->setParameter(grainwheel::kSelectBuffer, fx->engine().getCurrentBuffer() == 1 ? 2.0f : 1.0f);
        play(1500);
    }
    EXPECT_EQ(faults, 0);
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
}
#endif
