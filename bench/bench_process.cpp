// One GrainEffect's processing speed as a multiple of real time at 44.1 kHz stereo, with
// six voices sounding (long grains between grain starts) and resonance on: pitch below 1 (the pitch filter runs its 4-pole
// branch) and pitch 1.0 (pass-through). The "x_realtime" counter is seconds of audio per
// second of CPU time, measured in this run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <memory>
#include <thread>
#include <time.h>
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

// The slowest block: a minute of 64-frame blocks at 48 kHz, grains on two buffers with
// resonance, while a second thread does what the editor does meanwhile: asks for scope
// captures, switches the scope between its views (both spectra among them), starts morphs
// with each algorithm and changes programs. Counters: the slowest block and the 99.9th
// percentile in microseconds of the audio thread's CPU time, and the slowest as a share
// of the block's period.
constexpr double kWorstRate = 48000.0;
constexpr int kWorstBlock = 64;
struct WorstBlock {
    double slowest = 0.0, p999 = 0.0, mean = 0.0;
};
std::vector<WorstBlock> worstBlocks;  // one per minute run

float tone(int i, double step, double wobble) {
    return static_cast<float>(0.5 * std::sin(i * step + std::sin(i * wobble)));
}

void fillTone(gw::GrainEffect& fx, int buffer, int frames, double step, double wobble) {
    float* l = gw::GrainEngine::newSampleArray(frames);
    float* r = gw::GrainEngine::newSampleArray(frames);
    for (int i = 0; i < frames; ++i) l[i] = r[i] = tone(i, step, wobble);
    fx.engine().replaceBufferArrays(buffer, l, r, frames);
}

// One editor action every 150 blocks (200 ms), in a cycle of sixteen.
void editorAction(gw::GrainEffect& fx, int step) {
    const int scopeViews[] = {3, 4, 1, 2};  // grain spectrum, sum spectrum, grain, sum
    if (step % 2 == 0) fx.engine().captureStateWord().store(0);  // a new capture wanted
    if (step % 4 == 1) fx.setParameter(gw::kSettingScopeViewMode, static_cast<float>(scopeViews[(step / 4) % 4]));
    if (step % 4 == 3) {  // a morph to the other buffer
        fx.setParameter(gw::kSettingMorphAlgorithm, static_cast<float>(1 + (step / 4) % 3));
        fx.setParameter(gw::kSelectBuffer, fx.engine().getCurrentBuffer() == 1 ? 2.0f : 1.0f);
    }
    if (step % 16 == 6) fx.setParameter(gw::kProgram, static_cast<float>((step / 16) % 4) / 15.0f);
}

// The calling thread's CPU time: a block's cost without the time the thread was
// preempted (this machine runs other work meanwhile; an audio thread would run at a
// real-time priority).
double threadMicros() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) * 1e-3;
}

void BM_WorstBlock(benchmark::State& state) {
    for (auto _ : state) {
        auto fx = std::make_unique<gw::GrainEffect>(&gw::bench::sceneHost);
        gw::bench::sceneTime.sampleRate = kWorstRate;
        gw::bench::sceneTime.tempo = 120.0;
        gw::bench::sceneTime.flags = kVstTempoValid | kVstTransportPlaying;
        fx->setSampleRate(static_cast<float>(kWorstRate));
        fx->setBlockSize(kWorstBlock);
        fx->resume();
        fillTone(*fx, 1, 96000, 0.031, 0.0007);
        fillTone(*fx, 2, 80000, 0.17, 0.01);
        fx->engine().selectBuffer(1);
        fx->setParameter(gw::kReso, 0.7f);
        fx->setParameter(gw::kDensity, 0.9f);
        fx->setParameter(gw::kUnitDura, 0.5f);
        for (int u = 0; u < 16; ++u) {
            fx->setParameter(gw::kPitch + u, 0.2f + 0.04f * static_cast<float>(u));
            fx->setParameter(gw::kFreq + u, 0.3f + 0.04f * static_cast<float>(u));
        }
        std::vector<float> in(kWorstBlock), outL(kWorstBlock), outR(kWorstBlock);
        float* ins[2] = {in.data(), in.data()};
        float* outs[2] = {outL.data(), outR.data()};
        const auto block = [&](long n) {
            for (int i = 0; i < kWorstBlock; ++i)
                in[static_cast<std::size_t>(i)] = 0.3f * std::sin(static_cast<float>(n * kWorstBlock + i) * 0.02f);
            fx->processReplacing(ins, outs, kWorstBlock);
        };
        const long warmUp = static_cast<long>(2.0 * kWorstRate / kWorstBlock);
        for (long n = 0; n < warmUp; ++n) block(n);

        std::atomic<long> done{0};
        std::atomic<bool> finished{false};
        std::thread editor([&] {
            long acted = 0;
            int step = 0;
            while (!finished.load()) {
                if (done.load() - acted >= 150) {
                    acted = done.load();
                    editorAction(*fx, step++);
                } else {
                    std::this_thread::sleep_for(std::chrono::microseconds(100));
                }
            }
        });
        const long blocks = static_cast<long>(60.0 * kWorstRate / kWorstBlock);
        std::vector<double> took(static_cast<std::size_t>(blocks));
        for (long n = 0; n < blocks; ++n) {
            const double t0 = threadMicros();
            block(warmUp + n);
            took[static_cast<std::size_t>(n)] = threadMicros() - t0;
            done.store(n + 1);
        }
        finished.store(true);
        editor.join();
        double total = 0.0;
        for (const double t : took) total += t;
        std::sort(took.begin(), took.end());
        worstBlocks.push_back({took.back(), took[took.size() * 999 / 1000], total / static_cast<double>(blocks)});
    }
    const double period = kWorstBlock / kWorstRate * 1e6;
    state.counters["slowest_us"] = worstBlocks.back().slowest;
    state.counters["p999_us"] = worstBlocks.back().p999;
    state.counters["slowest_pct"] = 100.0 * worstBlocks.back().slowest / period;
}
// Three minutes, each on a new effect; the summary gives the median minute's figures.
BENCHMARK(BM_WorstBlock)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

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
    if (!worstBlocks.empty()) {
        const double period = kWorstBlock / kWorstRate * 1e6;
        const auto median = [&](double WorstBlock::*field) {
            std::vector<double> v;
            for (const WorstBlock& w : worstBlocks) v.push_back(w.*field);
            std::sort(v.begin(), v.end());
            return std::array<double, 3>{v[v.size() / 2], v.front(), v.back()};
        };
        const auto slowest = median(&WorstBlock::slowest);
        const auto p999 = median(&WorstBlock::p999);
        std::printf("\nA minute of %d-frame blocks at %.0f kHz with scope spectra, morphs and program changes from a "
                    "second thread (CPU time of the audio thread, median of %zu minutes)\n"
                    "  slowest block %.1f us = %.1f %% of the %.0f us period (%.1f - %.1f %%; kept below 10 %%)\n"
                    "  99.9th percentile %.1f us = %.1f %%; mean %.1f us\n",
                    kWorstBlock, kWorstRate / 1000.0, worstBlocks.size(), slowest[0], 100.0 * slowest[0] / period,
                    period, 100.0 * slowest[1] / period, 100.0 * slowest[2] / period, p999[0],
                    100.0 * p999[0] / period, median(&WorstBlock::mean)[0]);
    }
    benchmark::Shutdown();
    return 0;
}
