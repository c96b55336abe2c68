// One GrainEffect's processing speed as a multiple of real time at 44.1 kHz stereo, with
// six voices sounding (long grains between grain starts) and resonance on: pitch below 1 (the pitch filter runs its 4-pole
// branch) and pitch 1.0 (pass-through). The "x_realtime" counter is seconds of audio per
// second of CPU time, measured in this run.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "plugin/grain_effect.h"

namespace {

namespace gw = grainwheel;

VstTimeInfo timeInfo{};

VstIntPtr VSTCALLBACK host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    if (opcode == audioMasterVersion) return 2300;
    if (opcode == audioMasterGetTime) return reinterpret_cast<VstIntPtr>(&timeInfo);
    return 0;
}

std::unique_ptr<gw::GrainEffect> makeEffect(float pitchValue) {
    timeInfo.tempo = 120.0;
    timeInfo.sampleRate = 44100.0;
    timeInfo.timeSigNumerator = 4;
    timeInfo.timeSigDenominator = 4;
    timeInfo.flags = kVstTempoValid | kVstTransportPlaying;
    auto fx = std::make_unique<gw::GrainEffect>(&host);
    const int frames = 200000;
    float* l = gw::GrainEngine::newSampleArray(frames);
    float* r = gw::GrainEngine::newSampleArray(frames);
    for (int i = 0; i < frames; ++i) {
        l[i] = 0.3f * std::sin(0.01f * static_cast<float>(i)) + 0.1f * std::sin(0.37f * static_cast<float>(i));
        r[i] = 0.8f * l[i];
    }
    fx->engine().replaceBufferArrays(fx->engine().getCurrentBuffer(), l, r, frames);
    fx->setParameter(274, 0.0f);  // no morph
    fx->setParameter(269, 0.0f);  // pitch = 2 x value
    fx->setParameter(273, 0.0f);  // scope off
    fx->setParameter(gw::kReso, 0.8f);
    fx->setParameter(gw::kUnitDura, 1.0f);  // static: no unit boundary forces a grain
    for (int u = 0; u < 16; ++u) {
        fx->setParameter(gw::kPitch + u, pitchValue);
        fx->setParameter(gw::kFreq + u, 0.4f + 0.03f * static_cast<float>(u));
    }
    fx->engine().occupyVoicesForBenchmark();  // long grains on all six voices
    return fx;
}

void processBench(benchmark::State& state, float pitchValue) {
    auto fx = makeEffect(pitchValue);
    const int n = static_cast<int>(state.range(0));
    std::vector<float> in(static_cast<size_t>(n), 0.1f), outL(static_cast<size_t>(n)), outR(static_cast<size_t>(n));
    float* ins[2] = {in.data(), in.data()};
    float* outs[2] = {outL.data(), outR.data()};
    long frames = 0;
    for (auto _ : state) {
        fx->processReplacing(ins, outs, n);
        benchmark::DoNotOptimize(outL.data());
        frames += n;
    }
    state.counters["voices"] = static_cast<double>(fx->getParameter(258));
    state.counters["x_realtime"] = benchmark::Counter(static_cast<double>(frames) / 44100.0, benchmark::Counter::kIsRate);
}

void BM_ProcessPitchBelowOne(benchmark::State& state) { processBench(state, 0.35f); }  // pitch 0.7
void BM_ProcessPitchOne(benchmark::State& state) { processBench(state, 0.5f); }        // pitch 1.0
BENCHMARK(BM_ProcessPitchBelowOne)->Arg(64)->Arg(512);
BENCHMARK(BM_ProcessPitchOne)->Arg(64)->Arg(512);

// Denormal check: blocks of silence on an empty buffer (only the filters' decay runs),
// once on a fresh effect and once after loud grains through a resonant filter. With
// denormals flushed both cost the same; compare their x_realtime.
void silenceBench(benchmark::State& state, bool loudFirst) {
    auto fx = makeEffect(0.35f);
    std::vector<float> in(512, 0.0f), outL(512), outR(512);
    float* ins[2] = {in.data(), in.data()};
    float* outs[2] = {outL.data(), outR.data()};
    if (loudFirst) {
        fx->setParameter(gw::kReso, 1.0f);
        for (int k = 0; k < 200; ++k) fx->processReplacing(ins, outs, 512);
    }
    fx->engine().selectBuffer(15);  // empty: the voices stop, the filters decay
    for (int k = 0; k < 4000; ++k) fx->processReplacing(ins, outs, 512);
    long frames = 0;
    for (auto _ : state) {
        fx->processReplacing(ins, outs, 512);
        benchmark::DoNotOptimize(outL.data());
        frames += 512;
    }
    state.counters["x_realtime"] = benchmark::Counter(static_cast<double>(frames) / 44100.0, benchmark::Counter::kIsRate);
}
void BM_SilenceFresh(benchmark::State& state) { silenceBench(state, false); }
void BM_SilenceAfterLoud(benchmark::State& state) { silenceBench(state, true); }
BENCHMARK(BM_SilenceFresh);
BENCHMARK(BM_SilenceAfterLoud);

}  // namespace

BENCHMARK_MAIN();
