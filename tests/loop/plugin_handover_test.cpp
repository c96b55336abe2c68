// Through the built plug-in module, loaded as a host loads it: while one thread renders
// 64-frame blocks back to back, another selects buffers, changes programs (by parameter
// and by the dispatcher) and changes the voice count. No block comes out silent.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <thread>
#include <vector>

#include "host/vst2abi.h"
#include "persistence/host_file_calls.h"

namespace {

using Entry = AEffect* (*)(audioMasterCallback);

VstTimeInfo timeInfo{};  // set before the threads start

VstIntPtr VSTCALLBACK hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    switch (opcode) {
    case audioMasterVersion: return 2300;
    case audioMasterGetTime: return reinterpret_cast<VstIntPtr>(&timeInfo);
    default: return 0;
    }
}

constexpr int kBlock = 64;

struct Module {
    AEffect* e = nullptr;
    std::vector<float> in = std::vector<float>(kBlock), outL = std::vector<float>(kBlock),
                       outR = std::vector<float>(kBlock);
    long frame = 0;

    void set(VstInt32 index, float value) { e->setParameter(e, index, value); }
    // One block; true when it came out silent.
    bool block() {
        for (int i = 0; i < kBlock; ++i) in[i] = 0.4f * std::sin(0.003f * static_cast<float>(frame + i)) + 0.2f;
        frame += kBlock;
        float* ins[2] = {in.data(), in.data()};
        float* outs[2] = {outL.data(), outR.data()};
        e->processReplacing(e, ins, outs, kBlock);
        for (int i = 0; i < kBlock; ++i)
            if (outL[i] != 0.0f || outR[i] != 0.0f) return false;
        return true;
    }
};

TEST(PluginHandOver, ChangesFromAnotherThreadSilenceNoBlock) {
    void* library = dlopen(GW_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto entry = reinterpret_cast<Entry>(dlsym(library, "VSTPluginMain"));
    ASSERT_NE(entry, nullptr);
    timeInfo.tempo = 120.0;
    timeInfo.sampleRate = 44100.0;
    timeInfo.timeSigNumerator = 4;
    timeInfo.timeSigDenominator = 4;
    timeInfo.flags = kVstTempoValid | kVstTransportPlaying;
    Module m;
    m.e = entry(hostCallback);
    ASSERT_NE(m.e, nullptr);
    AEffect* e = m.e;
    e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);

    // Programs 0..3 play buffers 0..3, each recorded from the input with rec free; free
    // unit times and a 1/64 unit start a grain every 44 frames.
    m.set(274, 0.0f);  // morph off
    m.set(267, 1.0f);
    for (int p = 3; p >= 0; --p) {
        e->dispatcher(e, effSetProgram, 0, p, nullptr, 0.0f);
        m.set(257, static_cast<float>(p));
        m.set(9, 1.0f);  // rec free
        for (int k = 0; k < 5600; ++k) m.block();  // the whole 16-beat buffer
        m.set(9, 0.0f);
        m.set(3, 0.125f);
        m.set(1, 0.7f);
        for (int u = 0; u < 16; ++u) m.set(43 + u, 0.0f);
    }

    int silentAlone = 0;
    for (int k = 0; k < 4000; ++k) silentAlone += m.block() ? 1 : 0;
    ASSERT_EQ(silentAlone, 0) << "the render without changes has silent blocks";

    std::atomic<bool> done{false};
    std::atomic<bool> started{false};
    int silentWithChanges = 0;
    std::thread audio([&] {
        for (int k = 0; k < 30000; ++k) {
            if (k == 1) started = true;
            silentWithChanges += m.block() ? 1 : 0;
        }
        done = true;
    });
    while (!started.load()) std::this_thread::yield();
    int changes = 0;
    while (!done.load()) {
        switch (changes % 4) {
        case 0: m.set(257, static_cast<float>(changes % 4)); break;
        case 1: m.set(12, static_cast<float>((changes / 4) % 4) / 15.0f); break;
        case 2: e->dispatcher(e, effSetProgram, 0, (changes / 4) % 4, nullptr, 0.0f); break;
        default: m.set(265, static_cast<float>(1 + changes % 6)); break;
        }
        ++changes;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    audio.join();
    EXPECT_GT(changes, 20);
    EXPECT_EQ(silentWithChanges, 0) << "of 30000 blocks, with " << changes << " changes";

    // Bank loads from the other thread replace all 16 buffers' arrays (with the same audio,
    // saved a moment before: no question) while the blocks keep coming.
    const std::string bank = ::testing::TempDir() + "plugin_handover_" + std::to_string(::getpid()) + ".bank";
    auto fileCall = [&](std::intptr_t what) {
        return grainwheel::hostFileResult(e->dispatcher(e, effVendorSpecific, grainwheel::kHostFileCall, what,
                                                        const_cast<char*>(bank.c_str()), 0.0f));
    };
    ASSERT_EQ(fileCall(grainwheel::kHostSaveBank), 0);
    done = false;
    started = false;
    silentWithChanges = 0;
    std::thread audio2([&] {
        for (int k = 0; k < 60000; ++k) {
            if (k == 1) started = true;
            silentWithChanges += m.block() ? 1 : 0;
        }
        done = true;
    });
    while (!started.load()) std::this_thread::yield();
    int loads = 0;
    int loaded = 0;
    while (!done.load()) {
        loaded += fileCall(grainwheel::kHostLoadBank) == 0 ? 1 : 0;
        ++loads;
        if (loads % 2 == 0) m.set(257, static_cast<float>(loads % 4));
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    audio2.join();
    std::remove(bank.c_str());
    EXPECT_GE(loads, 3);
    EXPECT_EQ(loaded, loads);
    EXPECT_EQ(silentWithChanges, 0) << "of 60000 blocks, with " << loads << " bank loads";
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
}

}  // namespace
