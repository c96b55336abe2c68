// The plug-in's processing speed measured through its entry point, as a host runs it: the
// same program builds for Linux (loading grainwheel.so) and for Windows (loading
// grainwheel.dll, run under Wine), so the two builds of one commit can be set side by side
// (bench/windows_ratio.sh prints the ratio). Both scenes record a chord freely into the
// current buffer (its 16 beats), then play it back on a playing 120 BPM transport with
// resonance on and the pitch filter's 4-pole branch running:
//   dense    the default program's settings, dense overlapping grains at pitch 0.7;
//   pitched  pitch 0.3, long grains overlapping on every voice, no morph, no scope.
// Prints "x_realtime N": seconds of audio per second of wall-clock time, the best of the
// runs (after a warm-up of a second), and "voices N": the mean number of grains sounding
// at a block start.
// Usage: entry_bench PLUGIN [SECONDS_OF_AUDIO_PER_RUN] [RUNS] [dense|pitched]

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/realtime_runs.h"
#include "host/vst2abi.h"

namespace {

constexpr double kRate = 44100.0;
constexpr double kPi = 3.14159265358979323846;
constexpr int kBlock = 512;
VstTimeInfo timeInfo{};

VstIntPtr VSTCALLBACK host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    switch (opcode) {
        case audioMasterVersion: return 2300;
        case audioMasterGetTime: return reinterpret_cast<VstIntPtr>(&timeInfo);
        case audioMasterGetSampleRate: return static_cast<VstIntPtr>(kRate);
        case audioMasterGetBlockSize: return kBlock;
        default: return 0;
    }
}

using Entry = AEffect*(VSTCALLBACK*)(audioMasterCallback);

Entry loadEntry(const char* path) {
#if defined(_WIN32)
    HMODULE m = LoadLibraryA(path);
    return m ? reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(m, "VSTPluginMain"))) : nullptr;
#else
    void* m = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    return m ? reinterpret_cast<Entry>(dlsym(m, "VSTPluginMain")) : nullptr;
#endif
}

struct Blocks {
    std::vector<float> inL = std::vector<float>(kBlock), inR = std::vector<float>(kBlock);
    std::vector<float> outL = std::vector<float>(kBlock), outR = std::vector<float>(kBlock);
    long frame = 0;
    float peak = 0;
    double voiceSum = 0;
    long voiceBlocks = 0;
    void run(AEffect* e, long blocks, bool input) {
        float* in[2] = {inL.data(), inR.data()};
        float* out[2] = {outL.data(), outR.data()};
        for (long b = 0; b < blocks; ++b) {
            for (int i = 0; i < kBlock; ++i) {
                double t = static_cast<double>(frame + i) / kRate;
                float v = input ? static_cast<float>(0.3 * std::sin(2 * kPi * 220 * t) + 0.2 * std::sin(2 * kPi * 277 * t) +
                                                     0.1 * std::sin(2 * kPi * 330 * t))
                                : 0.0f;
                inL[static_cast<std::size_t>(i)] = v;
                inR[static_cast<std::size_t>(i)] = 0.8f * v;
            }
            timeInfo.samplePos = static_cast<double>(frame);
            timeInfo.ppqPos = timeInfo.samplePos / kRate * 2.0;
            voiceSum += static_cast<double>(e->getParameter(e, 258));  // grains sounding
            voiceBlocks += 1;
            e->processReplacing(e, in, out, kBlock);
            for (float v : outL) peak = std::fmax(peak, std::fabs(v));
            frame += kBlock;
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::printf("usage: entry_bench PLUGIN [SECONDS] [RUNS] [dense|pitched]\n");
        return 2;
    }
    const double seconds = argc > 2 ? std::atof(argv[2]) : 20.0;
    const int runs = argc > 3 ? std::atoi(argv[3]) : 3;
    const bool pitched = argc > 4 && std::strcmp(argv[4], "pitched") == 0;
    Entry entry = loadEntry(argv[1]);
    if (!entry) {
        std::printf("cannot load %s\n", argv[1]);
        return 1;
    }
    timeInfo.sampleRate = kRate;
    timeInfo.tempo = 120.0;
    timeInfo.timeSigNumerator = 4;
    timeInfo.timeSigDenominator = 4;
    timeInfo.flags = kVstTransportPlaying | kVstTempoValid | kVstPpqPosValid | kVstTimeSigValid;
    AEffect* e = entry(&host);
    if (!e) {
        std::printf("the plug-in made no effect\n");
        return 1;
    }
    e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
    e->dispatcher(e, effSetBlockSize, 0, kBlock, nullptr, 0.0f);
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);

    Blocks blocks;
    e->setParameter(e, 9, 1.0f);  // record freely ...
    blocks.run(e, static_cast<long>(9.0 * kRate / kBlock), true);
    e->setParameter(e, 9, 0.0f);  // ... past the buffer's 16 beats
    e->setParameter(e, 2, 1.0f);  // density
    e->setParameter(e, 3, 1.0f);  // unit duration
    e->setParameter(e, 5, 0.8f);  // resonance
    if (pitched) {
        e->setParameter(e, 269, 0.0f);  // pitch = 2 x value
        e->setParameter(e, 273, 0.0f);  // scope off
        e->setParameter(e, 274, 0.0f);  // no morph
    }
    for (int u = 0; u < 16; ++u) {
        e->setParameter(e, 43 + u, pitched ? 0.05f : 0.8f);                       // grain spacing
        e->setParameter(e, 75 + u, pitched ? 0.15f : 0.35f);                      // pitch below 1
        e->setParameter(e, 91 + u, 0.4f + 0.03f * static_cast<float>(u));         // cutoff
    }
    blocks.run(e, static_cast<long>(kRate / kBlock), false);  // the grains start

    const long perRun = std::max(1L, static_cast<long>(seconds * kRate / kBlock));
    const double best = grainwheel::bench::bestRealtime([&] { blocks.run(e, 1, false); }, perRun, kBlock / kRate, runs);
    blocks.peak = 0;
    blocks.voiceSum = 0;
    blocks.voiceBlocks = 0;
    blocks.run(e, static_cast<long>(kRate / kBlock), false);
    const float peak = blocks.peak;
    std::printf("peak of the last second %.3f (the grains sound)\n", static_cast<double>(peak));
    std::printf("voices %.1f\n", blocks.voiceSum / static_cast<double>(blocks.voiceBlocks));
    std::printf("x_realtime %.1f\n", best);
    e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
    return peak > 0 ? 0 : 1;
}
