// One GrainEffect's processing speed as a multiple of real time at 44.1 kHz stereo, with
// six voices sounding (long grains between grain starts) and resonance on: pitch below 1 (the pitch filter runs its 4-pole
// branch) and pitch 1.0 (pass-through). The "x_realtime" counter is seconds of audio per
// second of CPU time, measured in this run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <memory>
#include <thread>
#include <sys/resource.h>
#include <time.h>
#include <vector>

#include "engine/engine_inspection.h"
#include "bench/six_voice_scene.h"

namespace {

namespace gw = grainwheel;

void processBench(benchmark::State& state, float pitchValue) {
    auto fx = gw::bench::makeSixVoiceEffect(pitchValue);
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
    auto fx = gw::bench::makeSixVoiceEffect(0.35f);
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
// with each algorithm and changes programs. The second thread acts every 150 blocks, while
// the audio thread waits between two blocks, so that three minutes on three new effects
// run the same blocks: each block's cost is the least of its three (in the audio thread's
// CPU time), which leaves out what the machine adds now and then (an interrupt, a moment
// the virtual processor did not run), and the slowest of those is the code's own.
constexpr double kWorstRate = 48000.0;
constexpr int kWorstBlock = 64;
constexpr long kWorstBlocks = static_cast<long>(60.0 * kWorstRate / kWorstBlock);
constexpr int kWorstMinutes = 3;
struct WorstBlock {
    double slowest = 0.0;     // the slowest block, each its least of the minutes
    double p999 = 0.0;        // the 99.9th percentile of the same
    double mean = 0.0;
    double rawSlowest = 0.0;  // the slowest single block measured (the machine included)
    long slowestBlock = 0;    // its number in the minute
    double faultsPerMinute = 0.0;  // pages the audio thread touched for the first time
};
WorstBlock worstBlock;

float tone(int i, double step, double wobble) {
    return static_cast<float>(0.5 * std::sin(i * step + std::sin(i * wobble)));
}

void fillTone(gw::GrainEffect& fx, int buffer, int frames, double step, double wobble) {
    float* l = gw::BufferBank::newSampleArray(frames);
    float* r = gw::BufferBank::newSampleArray(frames);
    for (int i = 0; i < frames; ++i) l[i] = r[i] = tone(i, step, wobble);
    fx.engine().replaceBufferArrays(buffer, l, r, frames);
}

// One editor action, in a cycle of sixteen.
void editorAction(gw::GrainEffect& fx, int step) {
    const int scopeViews[] = {3, 4, 1, 2};  // grain spectrum, sum spectrum, grain, sum
    if (step % 2 == 0) grainwheel::EngineInspection::captureStateWord(fx.engine()).store(0);  // a new capture wanted
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

// The calling thread's page faults so far (each a first touch of a page: kernel time in
// the audio thread).
long threadFaults() {
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return u.ru_minflt + u.ru_majflt;
}

struct Minute {
    std::vector<double> took;  // each block's cost in microseconds
    long faults = 0;           // the audio thread's page faults in the minute
};

// One minute on a new effect.
Minute worstBlockMinute() {
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

    std::atomic<int> wanted{0};  // actions asked for
    std::atomic<int> done{0};    // actions done
    std::thread editor([&] {
        for (int step = 0;; ++step) {
            int w;
            while ((w = wanted.load()) == step) std::this_thread::yield();
            if (w < 0) return;
            editorAction(*fx, step);
            done.store(step + 1);
        }
    });
    std::vector<double> took(static_cast<std::size_t>(kWorstBlocks));
    long faults = 0;
    for (long n = 0; n < kWorstBlocks; ++n) {
        const long f0 = threadFaults();
        const double t0 = threadMicros();
        block(warmUp + n);
        took[static_cast<std::size_t>(n)] = threadMicros() - t0;
        const long f = threadFaults() - f0;
        faults += f;
        if (f > 0 && std::getenv("GW_BENCH_FAULTS"))
            std::fprintf(stderr, "block %ld: %ld page faults, %.1f us\n", n, f, took[static_cast<std::size_t>(n)]);
        if (n % 150 == 149) {
            const int step = static_cast<int>(n / 150);
            wanted.store(step + 1);
            while (done.load() != step + 1) std::this_thread::yield();
        }
    }
    wanted.store(-1);
    editor.join();
    return {std::move(took), faults};
}

void BM_WorstBlock(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<double> least(static_cast<std::size_t>(kWorstBlocks), 1e300);
        double raw = 0.0;
        long faults = 0;
        for (int m = 0; m < kWorstMinutes; ++m) {
            const Minute minute = worstBlockMinute();
            faults += minute.faults;
            for (std::size_t n = 0; n < least.size(); ++n) {
                least[n] = std::min(least[n], minute.took[n]);
                raw = std::max(raw, minute.took[n]);
            }
        }
        double total = 0.0;
        for (const double t : least) total += t;
        const long slowestBlock = std::max_element(least.begin(), least.end()) - least.begin();
        std::sort(least.begin(), least.end());
        worstBlock = {least.back(), least[least.size() * 999 / 1000], total / static_cast<double>(least.size()), raw,
                      slowestBlock, static_cast<double>(faults) / kWorstMinutes};
    }
    const double period = kWorstBlock / kWorstRate * 1e6;
    state.counters["slowest_us"] = worstBlock.slowest;
    state.counters["p999_us"] = worstBlock.p999;
    state.counters["slowest_pct"] = 100.0 * worstBlock.slowest / period;
    state.counters["slowest_block"] = static_cast<double>(worstBlock.slowestBlock);
    state.counters["faults_per_minute"] = worstBlock.faultsPerMinute;
}
BENCHMARK(BM_WorstBlock)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

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
    if (worstBlock.slowest > 0.0) {
        const double period = kWorstBlock / kWorstRate * 1e6;
        const auto share = [&](double micros) { return 100.0 * micros / period; };
        std::printf("\nA minute of %d-frame blocks at %.0f kHz with scope spectra, morphs and program changes from a "
                    "second thread (each block the least of %d minutes, in the audio thread's CPU time)\n"
                    "  slowest block %.1f us = %.1f %% of the %.0f us period (kept below 10 %%); 99.9th percentile "
                    "%.1f us = %.1f %%; mean %.1f us\n"
                    "  (the slowest single block measured, what the machine added included: %.1f us = %.1f %%)\n"
                    "  slowest block: number %ld of the minute; page faults in the audio thread: %.1f a minute "
                    "(GW_BENCH_FAULTS=1 lists the blocks)\n",
                    kWorstBlock, kWorstRate / 1000.0, kWorstMinutes, worstBlock.slowest, share(worstBlock.slowest),
                    period, worstBlock.p999, share(worstBlock.p999), worstBlock.mean, worstBlock.rawSlowest,
                    share(worstBlock.rawSlowest), worstBlock.slowestBlock, worstBlock.faultsPerMinute);
    }
    benchmark::Shutdown();
    return 0;
}
