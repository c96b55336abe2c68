// Signal-processing benchmarks. Every figure printed at the end is a ratio measured in
// this run: the transform against FFTW, the resampler against libsoxr, voice rendering
// as a multiple of real time, a morph step as a share of one 64-frame block at 48 kHz.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/dsp/denormals.h"
#include "engine/dsp/filters.h"
#include "engine/dsp/grain_voice.h"
#include "engine/dsp/morph.h"
#include "engine/dsp/resampler.h"
#include "engine/dsp/spectrum_transform.h"
#include "engine/dsp/voice_block.h"

#ifdef GW_HAVE_FFTW
#include <fftw3.h>
#endif
#ifdef GW_HAVE_SOXR
#include <soxr.h>
#endif

namespace gw = grainwheel;

namespace {

constexpr int kN = gw::kTransformSize;
constexpr int kRate = 44100;

std::vector<float> noiseBlock(unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    std::vector<float> x(kN);
    for (float& v : x) v = d(rng);
    return x;
}

// A stereo buffer of tones and noise, with its guard frame.
struct Buffer {
    Buffer(int length, float base, float noise = 0.1f) : left(static_cast<std::size_t>(length) + 1), right(left.size()) {
        std::mt19937 rng(7);
        std::uniform_real_distribution<float> d(-noise, noise);
        for (int i = 0; i < length; ++i) {
            const float t = static_cast<float>(i);
            const float v = 0.3f * std::sin(base * t) + 0.2f * std::sin(2.7f * base * t) + 0.1f * std::sin(0.9f * t) + d(rng);
            left[static_cast<std::size_t>(i)] = v;
            right[static_cast<std::size_t>(i)] = 0.8f * v;
        }
        left.back() = left[0];
        right.back() = right[0];
        view = {left.data(), right.data(), length};
    }
    std::vector<float> left, right;
    gw::BufferView view;
};

void BM_Transform(benchmark::State& state) {
    auto t = std::make_unique<gw::SpectrumTransform>();
    std::vector<float> x = noiseBlock(1), spectrum(kN), back(kN);
    for (auto _ : state) {
        t->forward(x.data(), spectrum.data());
        t->inverse(spectrum.data(), back.data());
        benchmark::DoNotOptimize(back.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Transform)->Repetitions(5);

#ifdef GW_HAVE_FFTW
void BM_FFTW(benchmark::State& state) {
    float* in = fftwf_alloc_real(kN);
    float* back = fftwf_alloc_real(kN);
    fftwf_complex* spectrum = fftwf_alloc_complex(kN / 2 + 1);
    fftwf_plan fwd = fftwf_plan_dft_r2c_1d(kN, in, spectrum, FFTW_MEASURE);
    fftwf_plan inv = fftwf_plan_dft_c2r_1d(kN, spectrum, back, FFTW_MEASURE);
    const std::vector<float> x = noiseBlock(1);
    std::copy(x.begin(), x.end(), in);
    for (auto _ : state) {
        fftwf_execute(fwd);
        fftwf_execute(inv);
        benchmark::DoNotOptimize(back);
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(fwd);
    fftwf_destroy_plan(inv);
    fftwf_free(in);
    fftwf_free(back);
    fftwf_free(spectrum);
}
BENCHMARK(BM_FFTW)->Repetitions(5);
#endif

// A minute of stereo audio at a rate (tones and noise), and room for its conversion.
struct StereoMinute {
    StereoMinute(double inRate, double outRate, std::int64_t extraFrames)
        : frames(static_cast<std::int64_t>(60.0 * inRate) + extraFrames),
          outFrames(static_cast<std::int64_t>(std::llround(static_cast<double>(frames) * outRate / inRate))),
          left(static_cast<std::size_t>(frames)), right(left.size()), outLeft(static_cast<std::size_t>(outFrames) + 64),
          outRight(outLeft.size()) {
        std::mt19937 rng(11);
        std::uniform_real_distribution<float> d(-0.05f, 0.05f);
        for (std::size_t i = 0; i < left.size(); ++i) {
            const auto t = static_cast<double>(i) / inRate;
            left[i] = static_cast<float>(0.4 * std::sin(2765.0 * t) + 0.2 * std::sin(61000.0 * t)) + d(rng);
            right[i] = static_cast<float>(0.4 * std::sin(3141.0 * t) + 0.2 * std::sin(17000.0 * t)) + d(rng);
        }
    }
    std::int64_t frames, outFrames;
    std::vector<float> left, right, outLeft, outRight;
};

// The engine's converter, tables included, channel by channel. extraFrames 1 makes a
// length that does not convert to a whole number of frames at the exact ratio: the
// conversion between interpolated phases.
void resampleMinute(benchmark::State& state, double inRate, double outRate, std::int64_t extraFrames) {
    StereoMinute m(inRate, outRate, extraFrames);
    for (auto _ : state) {
        const gw::Resampler r(inRate, outRate);
        r.convertLooped(m.left.data(), m.frames, m.outLeft.data());
        r.convertLooped(m.right.data(), m.frames, m.outRight.data());
        benchmark::DoNotOptimize(m.outLeft.data());
        benchmark::DoNotOptimize(m.outRight.data());
        benchmark::ClobberMemory();
    }
}
void BM_Resample48To44(benchmark::State& state) { resampleMinute(state, 48000, 44100, 0); }
void BM_Resample96To48(benchmark::State& state) { resampleMinute(state, 96000, 48000, 0); }
void BM_Resample48To44Interpolated(benchmark::State& state) { resampleMinute(state, 48000, 44100, 1); }
void BM_Resample96To48Interpolated(benchmark::State& state) { resampleMinute(state, 96000, 48000, 1); }
BENCHMARK(BM_Resample48To44)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_Resample96To48)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_Resample48To44Interpolated)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_Resample96To48Interpolated)->Unit(benchmark::kMillisecond)->Repetitions(3);

#ifdef GW_HAVE_SOXR
// libsoxr at its high-quality setting, one thread, both channels in one call.
void soxrMinute(benchmark::State& state, double inRate, double outRate) {
    StereoMinute m(inRate, outRate, 0);
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_S, SOXR_FLOAT32_S);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    for (auto _ : state) {
        const float* in[2] = {m.left.data(), m.right.data()};
        float* out[2] = {m.outLeft.data(), m.outRight.data()};
        std::size_t used = 0, made = 0;
        const soxr_error_t error = soxr_oneshot(inRate, outRate, 2, in, static_cast<std::size_t>(m.frames), &used, out,
                                                static_cast<std::size_t>(m.outFrames), &made, &io, &quality, &runtime);
        if (error) state.SkipWithError(error);
        benchmark::DoNotOptimize(m.outLeft.data());
        benchmark::ClobberMemory();
    }
}
void BM_Soxr48To44(benchmark::State& state) { soxrMinute(state, 48000, 44100); }
void BM_Soxr96To48(benchmark::State& state) { soxrMinute(state, 96000, 48000); }
BENCHMARK(BM_Soxr48To44)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_Soxr96To48)->Unit(benchmark::kMillisecond)->Repetitions(5);
#endif

// One second at 44.1 kHz of six sounding voices with both output filters, the way
// the sample loop runs them: grains restart as soon as a voice ends.
void renderSecond(benchmark::State& state, float pitch) {
    static Buffer buffer(200000, 0.03f);
    auto voices = std::make_unique<gw::GrainVoice[]>(gw::kNumVoices);
    auto pf = std::make_unique<gw::PitchFilter>();
    auto rf = std::make_unique<gw::ResonantFilter>();
    if (pitch < 1.0f) pf->design(pitch);
    rf->setCutoff(0.6f);
    rf->setResonance(0.5f);
    gw::ScopedFlushDenormals flush;
    float position = 0.0f;
    int active = 0;
    for (auto _ : state) {
        for (int n = 0; n < kRate; ++n) {
            float sumL = 0.0f, sumR = 0.0f;
            for (int i = 0; i < gw::kNumVoices; ++i) {
                gw::GrainVoice& v = voices[static_cast<std::size_t>(i)];
                if (v.idle()) startGrain(v, gw::GrainStart{0, buffer.view.length, position, 2816, gw::kEnvRaisedCosine, 0.2f});
                const gw::StereoSample o = renderVoiceSample(v, buffer.view, pitch, gw::kEnvRaisedCosine);
                sumL += o.left;
                sumR += o.right;
            }
            pf->run(sumL, sumR, pitch);
            rf->run(sumL, sumR);
            benchmark::DoNotOptimize(sumL);
            benchmark::DoNotOptimize(sumR);
            position += 1.0f;
            if (position >= static_cast<float>(buffer.view.length)) position = 0.0f;
        }
    }
    for (int i = 0; i < gw::kNumVoices; ++i) active += voices[static_cast<std::size_t>(i)].idle() ? 0 : 1;
    state.counters["voices"] = active;
}
// The same second with each voice rendered in stretches of 64 samples (the block
// renderer a loop can use between events), the filters still per sample.
void renderSecondInBlocks(benchmark::State& state, float pitch) {
    static Buffer buffer(200000, 0.03f);
    auto voices = std::make_unique<gw::GrainVoice[]>(gw::kNumVoices);
    auto pf = std::make_unique<gw::PitchFilter>();
    auto rf = std::make_unique<gw::ResonantFilter>();
    if (pitch < 1.0f) pf->design(pitch);
    rf->setCutoff(0.6f);
    rf->setResonance(0.5f);
    gw::ScopedFlushDenormals flush;
    constexpr int kBlock = 64;
    float sumL[kBlock], sumR[kBlock];
    float position = 0.0f;
    for (auto _ : state) {
        for (int n = 0; n + kBlock <= kRate; n += kBlock) {
            for (int i = 0; i < kBlock; ++i) sumL[i] = sumR[i] = 0.0f;
            for (int i = 0; i < gw::kNumVoices; ++i) {
                gw::GrainVoice& v = voices[static_cast<std::size_t>(i)];
                int done = 0;
                while (done < kBlock) {
                    if (v.idle()) startGrain(v, gw::GrainStart{0, buffer.view.length, position, 2816, gw::kEnvRaisedCosine, 0.2f});
                    done += renderVoiceBlock(v, buffer.view, pitch, gw::kEnvRaisedCosine, sumL + done, sumR + done, kBlock - done);
                }
            }
            for (int i = 0; i < kBlock; ++i) {
                pf->run(sumL[i], sumR[i], pitch);
                rf->run(sumL[i], sumR[i]);
            }
            benchmark::DoNotOptimize(sumL);
            benchmark::DoNotOptimize(sumR);
            position += static_cast<float>(kBlock);
            if (position >= static_cast<float>(buffer.view.length)) position = 0.0f;
        }
    }
}
void BM_VoicesPitchFilter(benchmark::State& state) { renderSecond(state, 0.7f); }
void BM_VoicesBlockPitchFilter(benchmark::State& state) { renderSecondInBlocks(state, 0.7f); }
void BM_VoicesBlockPitchOne(benchmark::State& state) { renderSecondInBlocks(state, 1.0f); }
void BM_VoicesPitchOne(benchmark::State& state) { renderSecond(state, 1.0f); }
BENCHMARK(BM_VoicesPitchFilter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VoicesPitchOne)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VoicesBlockPitchFilter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VoicesBlockPitchOne)->Unit(benchmark::kMillisecond);

// The same second as the audio loop now renders a quiet stretch: the voices slot by
// slot through the stretch kernels (the read-step-1 path at pitch 1), both filters in
// one pass, 64 samples a stretch.
void renderSecondInStretches(benchmark::State& state, float pitch) {
    static Buffer buffer(200000, 0.03f);
    auto voices = std::make_unique<gw::GrainVoice[]>(gw::kNumVoices);
    auto pf = std::make_unique<gw::PitchFilter>();
    auto rf = std::make_unique<gw::ResonantFilter>();
    if (pitch < 1.0f) pf->design(pitch);
    rf->setCutoff(0.6f);
    rf->setResonance(0.5f);
    gw::ScopedFlushDenormals flush;
    constexpr int kBlock = 64;
    float sumL[kBlock], sumR[kBlock];
    float position = 0.0f;
    const gw::BufferView views[1] = {buffer.view};
    for (auto _ : state) {
        for (int n = 0; n + kBlock <= kRate; n += kBlock) {
            for (int i = 0; i < kBlock; ++i) sumL[i] = sumR[i] = 0.0f;
            for (int i = 0; i < gw::kNumVoices; ++i)
                if (voices[static_cast<std::size_t>(i)].idle())
                    startGrain(voices[static_cast<std::size_t>(i)],
                               gw::GrainStart{0, buffer.view.length, position, 2816, gw::kEnvRaisedCosine, 0.2f});
            gw::renderVoiceStretch(voices.get(), gw::kNumVoices, views, 1, pitch, gw::kEnvRaisedCosine, sumL, sumR, kBlock);
            gw::runOutputFilters(*pf, *rf, sumL, sumR, kBlock, pitch);
            benchmark::DoNotOptimize(sumL);
            benchmark::DoNotOptimize(sumR);
            position += static_cast<float>(kBlock);
            if (position >= static_cast<float>(buffer.view.length)) position = 0.0f;
        }
    }
}
void BM_VoicesStretchPitchFilter(benchmark::State& state) { renderSecondInStretches(state, 0.7f); }
void BM_VoicesStretchPitchOne(benchmark::State& state) { renderSecondInStretches(state, 1.0f); }
BENCHMARK(BM_VoicesStretchPitchFilter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VoicesStretchPitchOne)->Unit(benchmark::kMillisecond);

// Tones over quiet noise by default; loud noise gives the most peaks to pair.
struct MorphRig {
    explicit MorphRig(float noise = 0.1f) : source(100000, 0.02f, noise), target(100000, 0.11f, noise) {}
    Buffer source;
    Buffer target;
    std::unique_ptr<gw::SpectralMorph> morph = std::make_unique<gw::SpectralMorph>();
    std::unique_ptr<gw::SpectrumTransform> transform = std::make_unique<gw::SpectrumTransform>();
    std::unique_ptr<gw::GrainVoice> voice = std::make_unique<gw::GrainVoice>();

    // The sample on which the source grain is analysed.
    void sourceSample() {
        startMorphGrain(*voice, gw::GrainStart{0, source.view.length, 5000.0f, 4096, gw::kEnvRaisedCosine, 0.0f});
        morph->analyseSource(*voice, source.view, 0.9f, gw::kEnvRaisedCosine, *transform, true);
    }
    // The sample on which the target is analysed and a morphed grain built (by default
    // the first of a morph in 10 steps, from frame 5000).
    void targetSample(float position = 5000.0f, int step = 1) {
        startMorphGrain(*voice, gw::GrainStart{1, target.view.length, position, 4096, gw::kEnvRaisedCosine, 0.0f});
        morph->analyseTarget(*voice, target.view, 0.9f, gw::kEnvRaisedCosine, *transform);
        morph->synthesise(*voice, gw::kMorphLinear, 10, step, *transform, true);
    }
};

void BM_MorphSourceSample(benchmark::State& state) {
    MorphRig rig;
    for (auto _ : state) rig.sourceSample();
    state.counters["peaks"] = rig.morph->sourcePeaks.count;
}
void BM_MorphTargetSample(benchmark::State& state) {
    MorphRig rig;
    rig.sourceSample();
    for (auto _ : state) rig.targetSample();
    state.counters["peaks"] = rig.morph->targetPeaks.count;
}
void BM_MorphTargetSampleNoise(benchmark::State& state) {
    MorphRig rig(0.9f);
    rig.sourceSample();
    for (auto _ : state) rig.targetSample();
    state.counters["peaks"] = rig.morph->targetPeaks.count;
}
BENCHMARK(BM_MorphSourceSample)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MorphTargetSample)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MorphTargetSampleNoise)->Unit(benchmark::kMicrosecond);

// Keeps the mean CPU time per iteration of every benchmark run, in nanoseconds, one
// entry per repetition (on a shared machine the wall-clock time also counts the time
// the benchmark was not running).
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, std::vector<double>> nanos;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration && r.iterations > 0) {
                std::string name = r.benchmark_name();
                name = name.substr(0, name.find("/repeats:"));
                nanos[name].push_back(r.cpu_accumulated_time * 1e9 / static_cast<double>(r.iterations));
            }
        ConsoleReporter::ReportRuns(runs);
    }
};

// Median, smallest and largest of some values.
struct Spread {
    double median = 0.0, low = 0.0, high = 0.0;
};
Spread spreadOf(std::vector<double> v) {
    if (v.empty()) return {};
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v.front(), v.back()};
}

// Median and 99th percentile of single calls, in microseconds of wall-clock time.
template <typename F>
std::pair<double, double> callMicros(F&& f, int runs) {
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        f();
        const auto t1 = std::chrono::steady_clock::now();
        t.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    std::sort(t.begin(), t.end());
    return {t[t.size() / 2], t[t.size() * 99 / 100]};
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto& t = reporter.nanos;
    auto get = [&](const char* name) {
        const auto it = t.find(name);
        return it == t.end() ? 0.0 : spreadOf(it->second).median;
    };
    const double blockMicros = 64.0 / 48000.0 * 1e6;
    std::printf("\nRatios measured in this run (median of the repetitions, smallest to largest)\n");
    if (t.count("BM_Transform") && t.count("BM_FFTW")) {
        // Repetition i of the transform against repetition i of FFTW.
        const auto& a = t.at("BM_Transform");
        const auto& b = t.at("BM_FFTW");
        std::vector<double> ratios;
        for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) ratios.push_back(a[i] / b[i]);
        const Spread r = spreadOf(ratios);
        std::printf("  transform forward+inverse: %.2f x FFTW r2c+c2r (FFTW_MEASURE), 4096 points (%.2f - %.2f, %zu runs)\n",
                    r.median, r.low, r.high, ratios.size());
    }
    // The resampler against libsoxr (high quality), repetition by repetition.
    const auto resampleLine = [&](const char* ours, const char* soxr, const char* text) {
        if (!t.count(ours)) return;
        if (!t.count(soxr)) {
            std::printf("  resampler, %s: %.1f ms (no libsoxr reference in this build)\n", text, get(ours) / 1e6);
            return;
        }
        const auto& a = t.at(ours);
        const auto& b = t.at(soxr);
        std::vector<double> ratios;
        for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) ratios.push_back(a[i] / b[i]);
        const Spread r = spreadOf(ratios);
        std::printf("  resampler, %s: %.2f x libsoxr SOXR_HQ (%.1f ms against %.1f ms; %.2f - %.2f, %zu runs)\n", text,
                    r.median, get(ours) / 1e6, get(soxr) / 1e6, r.low, r.high, ratios.size());
    };
    resampleLine("BM_Resample48To44", "BM_Soxr48To44", "60 s stereo 48 kHz -> 44.1 kHz");
    resampleLine("BM_Resample96To48", "BM_Soxr96To48", "60 s stereo 96 kHz -> 48 kHz");
    resampleLine("BM_Resample48To44Interpolated", "BM_Soxr48To44", "the same plus one frame, 48 kHz -> 44.1 kHz (interpolated phases)");
    resampleLine("BM_Resample96To48Interpolated", "BM_Soxr96To48", "the same plus one frame, 96 kHz -> 48 kHz (interpolated phases)");
    const std::pair<const char*, const char*> voiceFigures[] = {
        {"BM_VoicesPitchFilter", "6 voices, pitch filter (pitch 0.7), resonance"},
        {"BM_VoicesPitchOne", "6 voices, pitch 1.0, resonance"},
        {"BM_VoicesBlockPitchFilter", "the same, voices in 64-sample stretches, pitch 0.7"},
        {"BM_VoicesBlockPitchOne", "the same, voices in 64-sample stretches, pitch 1.0"},
        {"BM_VoicesStretchPitchFilter", "the same, through the stretch kernels, pitch 0.7"},
        {"BM_VoicesStretchPitchOne", "the same, through the stretch kernels, pitch 1.0"},
    };
    for (const auto& [name, text] : voiceFigures)
        if (get(name) > 0) std::printf("  %s: %.0f x real time at 44.1 kHz\n", text, 1e9 / get(name));
    gw::ScopedFlushDenormals flush;
    MorphRig rig;
    rig.sourceSample();
    rig.targetSample();
    // Five rounds of 1000 single calls each; the median round's figures with the range.
    std::vector<double> sourceMedian, sourceP99, targetMedian, targetP99;
    for (int round = 0; round < 5; ++round) {
        const auto source = callMicros([&] { rig.sourceSample(); }, 1000);
        const auto target = callMicros([&] { rig.targetSample(); }, 1000);
        sourceMedian.push_back(source.first);
        sourceP99.push_back(source.second);
        targetMedian.push_back(target.first);
        targetP99.push_back(target.second);
    }
    const auto morphLine = [&](const char* name, const std::vector<double>& median, const std::vector<double>& p99) {
        const Spread m = spreadOf(median);
        const Spread p = spreadOf(p99);
        std::printf("  morph sample, %s: median %.1f us (%.1f %% of a 64-frame block at 48 kHz), "
                    "99th percentile %.1f us (%.1f %%; %.1f - %.1f %% over 5 rounds)\n",
                    name, m.median, 100.0 * m.median / blockMicros, p.median, 100.0 * p.median / blockMicros,
                    100.0 * p.low / blockMicros, 100.0 * p.high / blockMicros);
    };
    morphLine("source analysis", sourceMedian, sourceP99);
    morphLine("target analysis + synthesis", targetMedian, targetP99);
    // The same calls back to back measure this machine too: a call that an interrupt
    // meets pays for it (here the 250 Hz timer tick costs about 25 us, in the thread's CPU
    // time as well), and a call of 40 us meets one about once in a hundred. The morph's
    // own spread: 500 target grains from across the buffer at every step of the morph,
    // each input's cost the least of three calls (three in a row all met by interrupts
    // is a chance of a few in a million).
    {
        std::vector<double> own;
        for (int i = 0; i < 500; ++i) {
            const float position = 1000.0f + 190.0f * static_cast<float>(i);
            const int step = 1 + i % 10;
            double least = 1e300;
            for (int k = 0; k < 3; ++k) least = std::min(least, callMicros([&] { rig.targetSample(position, step); }, 1).first);
            own.push_back(least);
        }
        std::sort(own.begin(), own.end());
        const double median = own[own.size() / 2], p99 = own[own.size() * 99 / 100];
        std::printf("  morph sample, target analysis + synthesis over 500 inputs (least of three calls each): "
                    "median %.1f us (%.1f %%), 99th percentile %.1f us (%.1f %%), largest %.1f us (%.1f %%)\n",
                    median, 100.0 * median / blockMicros, p99, 100.0 * p99 / blockMicros, own.back(),
                    100.0 * own.back() / blockMicros);
    }
    if (get("BM_MorphTargetSampleNoise") > 0)
        std::printf("  morph sample, target analysis + synthesis on loud noise: mean CPU %.1f us (%.1f %%)\n",
                    get("BM_MorphTargetSampleNoise") / 1000.0, 100.0 * get("BM_MorphTargetSampleNoise") / 1000.0 / blockMicros);
    benchmark::Shutdown();
    return 0;
}
