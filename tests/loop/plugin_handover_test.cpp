// Through the built plug-in module, loaded as a host loads it: while one thread renders
// 64-frame blocks back to back, another selects buffers, changes programs (by parameter
// and by the dispatcher) and changes the voice count, and then loads banks. No block comes
// out silent.
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
    // unit times and a 1/64 unit start a grain every 44 frames. Rec free is switched on
    // while the effect is switched off, so that it allocates the buffer there and then:
    // on the thread that renders it would take the spare, which the plug-in's worker makes
    // again only some time after each take, and with the worker late the rec free waits
    // for it, or is dropped if switched off first (a buffer left unrecorded, whose
    // selection then gave silent blocks).
    m.set(274, 0.0f);  // morph off
    m.set(267, 1.0f);
    for (int p = 3; p >= 0; --p) {
        e->dispatcher(e, effSetProgram, 0, p, nullptr, 0.0f);
        m.set(257, static_cast<float>(p));
        e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
        m.set(9, 1.0f);  // rec free
        e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
        for (int k = 0; k < 5600; ++k) m.block();  // the whole 16-beat buffer
        m.set(9, 0.0f);
        m.set(3, 0.125f);
        m.set(1, 0.7f);
        for (int u = 0; u < 16; ++u) m.set(43 + u, 0.0f);
    }
    for (int p = 3; p >= 0; --p) {
        m.set(257, static_cast<float>(p));
        int silentAlone = 0;
        for (int k = 0; k < 1000; ++k) silentAlone += m.block() ? 1 : 0;
        ASSERT_EQ(silentAlone, 0) << "buffer " << p << " plays silent blocks without changes";
    }

    // The thread that renders goes on until it has rendered `blocks` blocks and the other
    // thread has made `wanted` changes; the deadline is reached only by a hang. No count
    // depends on how fast either thread runs.
    const auto deadline = [] { return std::chrono::steady_clock::now() + std::chrono::seconds(300); };
    std::atomic<bool> done{false};
    std::atomic<bool> started{false};
    std::atomic<int> changes{0};
    auto renderWhileChanging = [&](int blocks, int wanted) {
        const auto until = deadline();
        int silent = 0;
        for (int k = 0; k < blocks || changes.load() < wanted; ++k) {
            if (k == 1) started = true;
            silent += m.block() ? 1 : 0;
            if (k % 256 == 0 && std::chrono::steady_clock::now() > until) break;
        }
        done = true;
        return silent;
    };

    constexpr int kChanges = 200;
    int silentWithChanges = 0;
    std::thread audio([&] { silentWithChanges = renderWhileChanging(30000, kChanges); });
    while (!started.load()) std::this_thread::yield();
    while (!done.load()) {
        const int c = changes.load();
        switch (c % 4) {
        case 0: m.set(257, static_cast<float>((c / 4) % 4)); break;
        case 1: m.set(12, static_cast<float>((c / 4) % 4) / 15.0f); break;
        case 2: e->dispatcher(e, effSetProgram, 0, (c / 4) % 4, nullptr, 0.0f); break;
        default: m.set(265, static_cast<float>(1 + c % 6)); break;
        }
        changes.store(c + 1);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    audio.join();
    ASSERT_GE(changes.load(), kChanges) << "the render stopped at its deadline";
    EXPECT_EQ(silentWithChanges, 0) << "of the blocks rendered with " << changes.load() << " changes";

    // Bank loads from the other thread replace all 16 buffers' arrays (with the same audio,
    // saved a moment before: no question) while the blocks keep coming.
    const std::string bank = ::testing::TempDir() + "plugin_handover_" + std::to_string(::getpid()) + ".bank";
    auto fileCall = [&](std::intptr_t what) {
        return grainwheel::hostFileResult(e->dispatcher(e, effVendorSpecific, grainwheel::kHostFileCall, what,
                                                        const_cast<char*>(bank.c_str()), 0.0f));
    };
    ASSERT_EQ(fileCall(grainwheel::kHostSaveBank), 0);
    constexpr int kLoads = 5;
    done = false;
    started = false;
    changes = 0;
    std::thread audio2([&] { silentWithChanges = renderWhileChanging(60000, kLoads); });
    while (!started.load()) std::this_thread::yield();
    int loaded = 0;
    while (!done.load()) {
        const int c = changes.load();
        loaded += fileCall(grainwheel::kHostLoadBank) == 0 ? 1 : 0;
        if (c % 2 == 1) m.set(257, static_cast<float>((c + 1) % 4));
        changes.store(c + 1);
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    audio2.join();
    std::remove(bank.c_str());
    ASSERT_GE(changes.load(), kLoads) << "the render stopped at its deadline";
    EXPECT_EQ(loaded, changes.load());
    EXPECT_EQ(silentWithChanges, 0) << "of the blocks rendered with " << changes.load() << " bank loads";
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
}

}  // namespace
