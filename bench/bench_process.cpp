// One GrainEffect's processing speed as a multiple of real time at 44.1 kHz stereo, with
// six voices sounding (long grains between grain starts) and resonance on: pitch below 1 (the pitch filter runs its 4-pole
// branch) and pitch 1.0 (pass-through). The "x_realtime" counter is seconds of audio per
// second of CPU time, measured in this run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <memory>
#include <vector>

#include "bench/six_voice_scene.h"

namespace {

namespace gw = grainwheel;

std::unique_ptr<gw::GrainEffect> makeEffect(float pitchValue) { return gw::bench::makeSixVoiceEffect(pitchValue); }

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
BENCHMARK(BM_ProcessPitchBelowOne)->Arg(64)->Arg(512)->Repetitions(5);
BENCHMARK(BM_ProcessPitchOne)->Arg(64)->Arg(512)->Repetitions(5);

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

// Seconds of audio per second of CPU time of every repetition, by benchmark name.
class RealTimeReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, std::vector<double>> ratios;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            const auto it = r.counters.find("x_realtime");
            if (r.run_type != Run::RT_Iteration || it == r.counters.end()) continue;
            std::string name = r.benchmark_name();
            name = name.substr(0, name.find("/repeats:"));
            ratios[name].push_back(it->second.value);
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RealTimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nOne instance against real time at 44.1 kHz (median of the repetitions, smallest to largest)\n");
    for (auto& [name, values] : reporter.ratios) {
        std::sort(values.begin(), values.end());
        std::printf("  %-36s %7.0f x real time (%.0f - %.0f, %zu runs)\n", name.c_str(), values[values.size() / 2],
                    values.front(), values.back(), values.size());
    }
    benchmark::Shutdown();
    return 0;
}
