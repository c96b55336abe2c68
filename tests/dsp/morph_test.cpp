// Spectral morph: analysis grains, the peak finder, synthesis and the step count.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <memory>
#include <vector>

#include "engine/dsp/filters.h"
#include "engine/dsp/morph.h"
#include "engine/dsp/spectrum_transform.h"
#include "tests/support/morph_reference.h"

namespace grainwheel {
namespace {

constexpr int N = kTransformSize;
constexpr int M = kHalfTransform;

TEST(MorphSteps, FractionAndCount) {
    // Stepsize "1 -": one morphed grain with f = 1/2.
    EXPECT_EQ(morphStepCount(0), 3);
    EXPECT_FLOAT_EQ(morphFraction(1, 0), 0.5f);
    // Default 10: eleven grains, f = m / 12.
    EXPECT_EQ(morphStepCount(10) - 2, 11);
    for (int m = 1; m <= 11; ++m) EXPECT_FLOAT_EQ(morphFraction(m, 10), m / 12.0f);
    EXPECT_EQ(morphStepCount(19) - 2, 20);
}

TEST(MorphSteps, SynthesisReportsTheLastGrain) {
    auto morph = std::make_unique<SpectralMorph>();
    auto t = std::make_unique<SpectrumTransform>();
    auto v = std::make_unique<GrainVoice>();
    EXPECT_TRUE(morph->synthesise(*v, kMorphEqual, 0, 1, *t, false).last);
    for (int m = 1; m <= 10; ++m) EXPECT_FALSE(morph->synthesise(*v, kMorphEqual, 10, m, *t, false).last);
    EXPECT_TRUE(morph->synthesise(*v, kMorphEqual, 10, 11, *t, false).last);
    EXPECT_TRUE(morph->synthesise(*v, kMorphEqual, 3, 11, *t, false).last);  // stepsize lowered meanwhile
    EXPECT_EQ(v->renderMode, kRenderPrecomputed);
    EXPECT_EQ(v->precomputedIndex, 0);
}

// Packed spectrum whose bins have the given real values (imaginary parts 0).
std::vector<float> spectrumWith(const std::vector<std::pair<int, float>>& bins) {
    std::vector<float> s(N, 0.0f);
    for (auto [k, v] : bins) s[static_cast<std::size_t>(k)] = v;
    return s;
}

TEST(PeakFinder, SinglePeakCoversRiseFallAndClosingBin) {
    auto s = spectrumWith({{10, 0.5f}, {11, 3}, {12, 5}, {13, 3}, {14, 0.5f}});
    std::vector<float> m(M);
    PeakList p;
    ASSERT_EQ(findPeaks(s.data(), m.data(), p), 1);
    EXPECT_EQ(p.start[0], 11);
    EXPECT_EQ(p.width[0], 4);  // bins 11..14
    EXPECT_EQ(p.start[1], 1);
    EXPECT_EQ(p.width[1], 1);
    EXPECT_FLOAT_EQ(m[12], 5.0f);
    // Imaginary parts count towards the magnitude.
    s[M + 12] = -12.0f;
    findPeaks(s.data(), m.data(), p);
    EXPECT_FLOAT_EQ(m[12], 13.0f);
}

TEST(PeakFinder, ValleySplitsPeaksAndIsShared) {
    auto s = spectrumWith({{21, 4}, {22, 2}, {23, 4}});
    std::vector<float> m(M);
    PeakList p;
    ASSERT_EQ(findPeaks(s.data(), m.data(), p), 2);
    EXPECT_EQ(p.start[0], 21);
    EXPECT_EQ(p.width[0], 2);  // 21..22, closed at the valley
    EXPECT_EQ(p.start[1], 22);
    EXPECT_EQ(p.width[1], 3);  // 22..24
}

TEST(PeakFinder, EmptyQuietAndUnclosedSpectra) {
    std::vector<float> m(M);
    PeakList p;
    std::vector<float> zero(N, 0.0f);
    EXPECT_EQ(findPeaks(zero.data(), m.data(), p), 0);
    EXPECT_EQ(p.start[0], 1);
    EXPECT_EQ(p.width[0], 1);
    auto quiet = spectrumWith({{100, 1.0f}, {200, 0.9f}});  // threshold is "above 1.0"
    EXPECT_EQ(findPeaks(quiet.data(), m.data(), p), 0);
    // A peak still rising at the end of the scan is never closed.
    std::vector<float> rising(N, 0.0f);
    for (int k = 2040; k < M; ++k) rising[static_cast<std::size_t>(k)] = static_cast<float>(k - 2035);
    EXPECT_EQ(findPeaks(rising.data(), m.data(), p), 0);
    // The DC value itself (not its magnitude) precedes bin 1.
    auto dc = spectrumWith({{0, 5.0f}});
    EXPECT_EQ(findPeaks(dc.data(), m.data(), p), 1);
    EXPECT_EQ(p.start[0], 1);
    auto negativeDc = spectrumWith({{0, -5.0f}});
    EXPECT_EQ(findPeaks(negativeDc.data(), m.data(), p), 0);
    // A peak at bin 1.
    auto low = spectrumWith({{1, 8}, {2, 3}});
    EXPECT_EQ(findPeaks(low.data(), m.data(), p), 1);
    EXPECT_EQ(p.start[0], 1);
    EXPECT_EQ(p.width[0], 3);
    // Every other bin above the threshold: the most peaks a spectrum can have.
    std::vector<float> comb(N, 0.0f);
    for (int k = 1; k < M; k += 2) comb[static_cast<std::size_t>(k)] = 3.0f;
    EXPECT_EQ(findPeaks(comb.data(), m.data(), p), 1023);  // bins 1, 3, .. 2045; 2047 never closes
}

// Triangular peaks [5, 10, 5] centred on the given bins.
std::vector<float> peaksAt(const std::vector<int>& centres) {
    std::vector<float> s(N, 0.0f);
    for (int c : centres) {
        s[static_cast<std::size_t>(c - 1)] = 5;
        s[static_cast<std::size_t>(c)] = 10;
        s[static_cast<std::size_t>(c + 1)] = 5;
    }
    return s;
}

struct Analysed {
    std::vector<float> spectrum, mags = std::vector<float>(M);
    PeakList peaks;
    explicit Analysed(std::vector<float> s) : spectrum(std::move(s)) { findPeaks(spectrum.data(), mags.data(), peaks); }
};

// The synthesis's work arrays, shared by the cases.
const auto scratch = std::make_unique<SynthesisScratch>();

TEST(Synthesis, CrossFadeWhenASpectrumHasNoPeaks) {
    Analysed a(peaksAt({100, 200}));
    Analysed b(std::vector<float>(N, 0.5f));
    ASSERT_EQ(b.peaks.count, 0);
    std::vector<float> r(N);
    synthesizeSpectrum(a.spectrum.data(), a.mags.data(), a.peaks, b.spectrum.data(), b.mags.data(), b.peaks,
                       kMorphEqual, 0.25f, r.data(), *scratch);
    for (int i = 0; i < N; ++i)
        ASSERT_FLOAT_EQ(r[static_cast<std::size_t>(i)], 0.75f * a.spectrum[static_cast<std::size_t>(i)] + 0.25f * b.spectrum[static_cast<std::size_t>(i)]);
}

TEST(Synthesis, IdenticalSpectraReproduceThePeaks) {
    Analysed a(peaksAt({100, 300}));
    a.spectrum[0] = 7.0f;
    std::vector<float> r(N);
    synthesizeSpectrum(a.spectrum.data(), a.mags.data(), a.peaks, a.spectrum.data(), a.mags.data(), a.peaks,
                       kMorphLinear, 0.4f, r.data(), *scratch);
    for (int i = 0; i < N; ++i) ASSERT_NEAR(r[static_cast<std::size_t>(i)], a.spectrum[static_cast<std::size_t>(i)], 1e-4) << i;
}

TEST(Synthesis, PeaksSlideBetweenSourceAndTarget) {
    Analysed a(peaksAt({100}));
    Analysed b(peaksAt({200}));
    std::vector<float> r(N);
    synthesizeSpectrum(a.spectrum.data(), a.mags.data(), a.peaks, b.spectrum.data(), b.mags.data(), b.peaks,
                       kMorphEqual, 0.5f, r.data(), *scratch);
    double inside = 0, outside = 0;
    for (int k = 1; k < M; ++k) {
        const double e = std::hypot(r[static_cast<std::size_t>(k)], r[static_cast<std::size_t>(M + k)]);
        (k >= 148 && k <= 153 ? inside : outside) += e;
    }
    EXPECT_GT(inside, 15.0);
    EXPECT_LT(outside, 1e-4);
}

TEST(Synthesis, EquallyDistributedPairsEachTargetPeakTwice) {
    std::vector<int> ca, cb;
    for (int i = 0; i < 10; ++i) ca.push_back(100 + 20 * i);
    for (int i = 0; i < 5; ++i) cb.push_back(600 + 20 * i);
    Analysed a(peaksAt(ca));
    Analysed b(peaksAt(cb));
    ASSERT_EQ(a.peaks.count, 10);
    ASSERT_EQ(b.peaks.count, 5);
    std::vector<float> r(N);
    // f = 1: every pair lands on its target bins unchanged, so a target peak paired
    // twice shows up doubled; nothing is copied after the pairs. (Target peak 0, the
    // only one of width 4, is also paired with source peak 1 of width 5 and so
    // interpolated: the check starts at target peak 1.)
    synthesizeSpectrum(a.spectrum.data(), a.mags.data(), a.peaks, b.spectrum.data(), b.mags.data(), b.peaks,
                       kMorphEqual, 1.0f, r.data(), *scratch);
    for (int k = b.peaks.start[1]; k < M; ++k)
        ASSERT_NEAR(r[static_cast<std::size_t>(k)], 2.0f * b.spectrum[static_cast<std::size_t>(k)], 1e-4) << k;
}

TEST(Synthesis, LinearAndWeightedCopyTheUnpairedRest) {
    std::vector<int> ca, cb;
    for (int i = 0; i < 5; ++i) ca.push_back(100 + 20 * i);
    for (int i = 0; i < 10; ++i) cb.push_back(300 + 20 * i);
    Analysed a(peaksAt(ca));
    Analysed b(peaksAt(cb));
    for (int k = 500; k < M; ++k) b.spectrum[static_cast<std::size_t>(M + k)] = 0.01f * (k % 7);  // quiet rest
    const int restStart = b.peaks.start[5];
    EXPECT_EQ(restStart, cb[5] - 2);
    std::vector<float> r(N);
    synthesizeSpectrum(a.spectrum.data(), a.mags.data(), a.peaks, b.spectrum.data(), b.mags.data(), b.peaks,
                       kMorphLinear, 0.0f, r.data(), *scratch);
    for (int k = restStart; k < M; ++k) {
        ASSERT_FLOAT_EQ(r[static_cast<std::size_t>(k)], b.spectrum[static_cast<std::size_t>(k)]) << k;
        ASSERT_FLOAT_EQ(r[static_cast<std::size_t>(M + k)], b.spectrum[static_cast<std::size_t>(M + k)]) << k;
    }
    for (int k = 250; k < restStart; ++k) ASSERT_EQ(r[static_cast<std::size_t>(k)], 0.0f) << k;
    synthesizeSpectrum(a.spectrum.data(), a.mags.data(), a.peaks, b.spectrum.data(), b.mags.data(), b.peaks,
                       kMorphWeighted, 0.25f, r.data(), *scratch);
    for (int k = restStart; k < M; ++k)
        ASSERT_NEAR(r[static_cast<std::size_t>(k)], 0.25f * b.spectrum[static_cast<std::size_t>(k)], 1e-5) << k;
    synthesizeSpectrum(a.spectrum.data(), a.mags.data(), a.peaks, b.spectrum.data(), b.mags.data(), b.peaks,
                       kMorphEqual, 0.0f, r.data(), *scratch);
    for (int k = 400; k < M; ++k) ASSERT_EQ(r[static_cast<std::size_t>(k)], 0.0f) << k;
}

TEST(Synthesis, ZeroMagnitudeStartBinGivesFiniteValues) {
    // A later peak starts at a zero bin; stretching interpolates from it.
    Analysed a(peaksAt({100, 110}));
    Analysed b(peaksAt({300}));
    b.peaks.width[0] = 2;  // force stretching of A's wider peaks onto B
    std::vector<float> r(N);
    synthesizeSpectrum(a.spectrum.data(), a.mags.data(), a.peaks, b.spectrum.data(), b.mags.data(), b.peaks,
                       kMorphEqual, 0.5f, r.data(), *scratch);
    for (float v : r) ASSERT_TRUE(std::isfinite(v));
}

// Tones over noise, as a buffer of `length` frames plus the guard frame.
struct NoisyTones {
    NoisyTones(int length, float tone, float noise, unsigned seed) : left(static_cast<std::size_t>(length) + 1) {
        std::mt19937 random(seed);
        std::uniform_real_distribution<float> u(-1.0f, 1.0f);
        for (int i = 0; i <= length; ++i)
            left[static_cast<std::size_t>(i)] = 0.4f * std::sin(tone * static_cast<float>(i % length)) +
                                                0.2f * std::sin(3.1f * tone * static_cast<float>(i % length)) +
                                                noise * u(random);
        view = {left.data(), left.data(), length};
    }
    std::vector<float> left;
    BufferView view;
};

// The synthesis against the previous formulation (library sine and cosine per paired
// bin): each result bin within kBinBound x 2^-23 of its paired magnitude budget, and each
// sample of the synthesised grain within the inverse transform of those bounds.
//
// The bound: sineCosine and the library differ by at most 2^-23 in a sine or cosine
// (sineCosine within 1e-7 of the exact values, the library within 2^-25). A paired bin
// goes through at most two rotations, each moving it by at most sqrt(2) 2^-23 of its
// magnitude. The roundings after them fall on values that differ, at most eight of
// 2^-24 of the budget in either formulation (fraction rotation 2, shift rotation 2,
// weight 1, sum of source and target 1, share of the bin 1, the bin's sum 1). So
// 2 sqrt(2) + 8 < 12.
TEST(Synthesis, StaysWithinTheBoundOfThePreviousFormulation) {
    constexpr double kBinBound = 12.0;
    constexpr double kUnit = 1.0 / 8388608.0;  // 2^-23
    const NoisyTones source(50000, 0.02f, 0.1f, 1), target(50000, 0.11f, 0.1f, 2), noisy(50000, 0.05f, 0.9f, 3);
    auto morph = std::make_unique<SpectralMorph>();
    auto reference = std::make_unique<SpectralMorph>();
    reference->synthesis = morphreference::synthesize;
    auto t = std::make_unique<SpectrumTransform>();
    auto v = std::make_unique<GrainVoice>();
    auto w = std::make_unique<GrainVoice>();
    std::vector<float> r(N), ref(N);
    std::vector<double> budget(M);
    double worstBin = 0.0, worstSample = 0.0;
    const NoisyTones* pairs[][2] = {{&source, &target}, {&target, &noisy}, {&noisy, &source}};
    for (const auto& pair : pairs) {
        for (SpectralMorph* m : {morph.get(), reference.get()}) {
            ASSERT_TRUE(startMorphGrain(*v, GrainStart{0, 50000, 3000.0f, 4096, kEnvRaisedCosine, 0.1f}));
            m->analyseSource(*v, pair[0]->view, 0.9f, kEnvRaisedCosine, *t, false);
            ASSERT_TRUE(startMorphGrain(*v, GrainStart{1, 50000, 7000.0f, 4096, kEnvRaisedCosine, 0.1f}));
            m->analyseTarget(*v, pair[1]->view, 1.1f, kEnvRaisedCosine, *t);
        }
        ASSERT_GT(morph->sourcePeaks.count, 50);
        ASSERT_GT(morph->targetPeaks.count, 50);
        for (int algorithm : {kMorphWeighted, kMorphLinear, kMorphEqual}) {
            // Steps 1, 6 and 11 of 11, and step 20 after the stepsize was lowered to 10.
            for (int step : {1, 6, 11, 20}) {
                const float f = morphFraction(step, 10);
                synthesizeSpectrum(morph->sourceSpectrum.data(), morph->sourceMagnitudes.data(), morph->sourcePeaks,
                                   morph->targetSpectrum.data(), morph->targetMagnitudes.data(), morph->targetPeaks,
                                   algorithm, f, r.data(), *scratch);
                morphreference::synthesize(morph->sourceSpectrum.data(), morph->sourceMagnitudes.data(),
                                           morph->sourcePeaks, morph->targetSpectrum.data(),
                                           morph->targetMagnitudes.data(), morph->targetPeaks, algorithm, f,
                                           ref.data(), *scratch);
                morphreference::pairedBudget(morph->sourceSpectrum.data(), morph->sourceMagnitudes.data(),
                                             morph->sourcePeaks, morph->targetSpectrum.data(),
                                             morph->targetMagnitudes.data(), morph->targetPeaks, algorithm, f,
                                             budget.data());
                double grainBound = 0.0;
                for (int k = 0; k < M; ++k) {
                    const auto u = static_cast<std::size_t>(k);
                    const double bound = kBinBound * kUnit * budget[u];
                    grainBound += 2.0 * bound;
                    for (std::size_t i : {u, M + u}) {
                        const double d = std::fabs(static_cast<double>(r[i]) - static_cast<double>(ref[i]));
                        ASSERT_LE(d, bound) << "algorithm " << algorithm << " step " << step << " bin " << i;
                        if (bound > 0.0) worstBin = std::max(worstBin, d / (kUnit * budget[u]));
                    }
                }
                // The inverse transform and its 1/N: a sample moves by at most 2/N of the
                // bins' moves, plus the transform's own rounding (12 stages) on the two.
                morph->synthesise(*v, algorithm, 10, step, *t, false);
                reference->synthesise(*w, algorithm, 10, step, *t, false);
                double spectrum = 0.0;
                for (int i = 0; i < N; ++i) spectrum += std::fabs(static_cast<double>(ref[static_cast<std::size_t>(i)]));
                const double sampleBound = 2.0 / N * grainBound + 2.0 * 12.0 * kUnit / 2.0 * 2.0 / N * spectrum;
                for (std::size_t i = 0; i < static_cast<std::size_t>(N); ++i) {
                    const double d = std::fabs(static_cast<double>(v->precomputedGrain[i]) -
                                               static_cast<double>(w->precomputedGrain[i]));
                    ASSERT_LE(d, sampleBound) << "algorithm " << algorithm << " step " << step << " sample " << i;
                    worstSample = std::max(worstSample, d / sampleBound);
                }
            }
        }
    }
    std::printf("largest bin difference %.3g x 2^-23 of its budget; largest sample difference %.3g of its bound\n",
                worstBin, worstSample);
}

struct TestBuffer {
    explicit TestBuffer(int length) : left(static_cast<std::size_t>(length) + 1), right(left.size()) {
        for (int i = 0; i < length; ++i) {
            left[static_cast<std::size_t>(i)] = static_cast<float>(i);
            right[static_cast<std::size_t>(i)] = static_cast<float>(2 * i);
        }
        left.back() = 1000.0f;  // guard frame: made distinct to see that it is read
        right.back() = 3000.0f;
        view = {left.data(), right.data(), length};
    }
    std::vector<float> left, right;
    BufferView view;
};

TEST(AnalysisGrain, InterpolatesForwardAndReadsTheGuardFrame) {
    TestBuffer buf(16);
    auto v = std::make_unique<GrainVoice>();
    GrainStart s{0, 16, 14.5f, 5, kEnvRectangular, 0.0f};
    ASSERT_TRUE(startMorphGrain(*v, s));
    renderAnalysisGrain(*v, buf.view, 1.0f, kEnvRectangular);
    EXPECT_EQ(v->remaining, 5);
    const float expected[] = {(14.5f + 29.0f) / 2, (1000.0f * 0.5f + 15 * 0.5f + 3000.0f * 0.5f + 30 * 0.5f) / 2,
                              (0.5f + 1.0f) / 2, (1.5f + 3.0f) / 2, (2.5f + 5.0f) / 2};
    for (int i = 0; i < 5; ++i) EXPECT_FLOAT_EQ(v->precomputedGrain[static_cast<std::size_t>(i)], expected[i]) << i;
    for (int i = 5; i < N; ++i) ASSERT_EQ(v->precomputedGrain[static_cast<std::size_t>(i)], 0.0f);
}

TEST(AnalysisGrain, SourceTargetAndSynthesisOnRealBuffers) {
    const int len = 20000;
    std::vector<float> l1(len + 1), r1(len + 1), l2(len + 1), r2(len + 1);
    for (int i = 0; i <= len; ++i) {
        const int n = i % len;
        l1[static_cast<std::size_t>(i)] = r1[static_cast<std::size_t>(i)] = 0.5f * std::sin(0.05f * n);
        l2[static_cast<std::size_t>(i)] = r2[static_cast<std::size_t>(i)] = 0.5f * std::sin(0.21f * n) + 0.2f * std::sin(0.6f * n);
    }
    const BufferView a{l1.data(), r1.data(), len}, b{l2.data(), r2.data(), len};
    auto morph = std::make_unique<SpectralMorph>();
    auto t = std::make_unique<SpectrumTransform>();
    auto v = std::make_unique<GrainVoice>();
    ASSERT_TRUE(startMorphGrain(*v, GrainStart{0, len, 1000.0f, 2816, kEnvRaisedCosine, 0.2f}));
    EXPECT_TRUE(morph->analyseSource(*v, a, 1.0f, kEnvRaisedCosine, *t, true));
    EXPECT_EQ(v->renderMode, kRenderPrecomputed);
    EXPECT_EQ(v->remaining, 2816);
    EXPECT_GT(morph->sourcePeaks.count, 0);
    EXPECT_EQ(morph->scopeValues()[2047], 0.0f);
    ASSERT_TRUE(startMorphGrain(*v, GrainStart{1, len, 1000.0f, 2816, kEnvRaisedCosine, 0.2f}));
    morph->analyseTarget(*v, b, 1.0f, kEnvRaisedCosine, *t);
    EXPECT_GT(morph->targetPeaks.count, 1);
    ASSERT_TRUE(startMorphGrain(*v, GrainStart{1, len, 1000.0f, 2816, kEnvRaisedCosine, 0.2f}));
    const MorphSynthesis out = morph->synthesise(*v, kMorphEqual, 10, 1, *t, true);
    EXPECT_FALSE(out.last);
    EXPECT_TRUE(out.scopeReady);
    double energy = 0;
    for (float x : v->precomputedGrain) {
        ASSERT_TRUE(std::isfinite(x));
        energy += x * x;
    }
    EXPECT_GT(energy, 1.0);

    // An empty buffer: a zero spectrum, no peaks, a silent grain of the full length.
    ASSERT_TRUE(startMorphGrain(*v, GrainStart{2, 0, 0.0f, 500, kEnvTrapezoid, 0.0f}));
    v->precomputedGrain.fill(1.0f);
    EXPECT_FALSE(morph->analyseSource(*v, BufferView{}, 1.0f, kEnvTrapezoid, *t, true));
    EXPECT_EQ(morph->sourcePeaks.count, 0);
    EXPECT_EQ(v->remaining, 500);
    for (int i = 0; i < 500; ++i) ASSERT_EQ(v->precomputedGrain[static_cast<std::size_t>(i)], 0.0f);
    for (float x : morph->sourceSpectrum) ASSERT_EQ(x, 0.0f);
}

// The analysis grain sample by sample: the envelope step, then interpolation towards
// the next frame, both channels averaged, the position folded back into the buffer.
TEST(AnalysisGrain, EqualsItsSampleBySampleDefinitionForEveryEnvelope) {
    constexpr int kLength = 1500;
    std::vector<float> left(kLength + 1), right(kLength + 1);
    std::mt19937 rng(9);
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    for (int i = 0; i < kLength; ++i) left[static_cast<std::size_t>(i)] = d(rng), right[static_cast<std::size_t>(i)] = d(rng);
    left[kLength] = left[0];
    right[kLength] = right[0];
    const BufferView view{left.data(), right.data(), kLength};
    for (int env = 0; env < 4; ++env)
        for (float pitch : {1.0f, 0.7f, 1.9f, 0.0f, 1600.25f})  // the last longer than the buffer
            for (float start : {0.0f, 1234.5f, 1499.75f, -20.25f, 7000.0f}) {
                auto a = std::make_unique<GrainVoice>();
                auto b = std::make_unique<GrainVoice>();
                ASSERT_TRUE(startMorphGrain(*a, GrainStart{0, kLength, start, 3000, env, 0.3f}));
                *b = *a;
                renderAnalysisGrain(*a, view, pitch, env);
                float pos = b->readPosition;
                for (int n = 0; n < 3000; ++n) {
                    const float len = static_cast<float>(kLength);
                    if (!(pos >= 0.0f && pos < len)) {
                        const float folded = std::fmod(pos, len);
                        pos = (folded >= 0.0f && folded < len) ? folded : 0.0f;
                    }
                    const float e = envelopeValue(*b, env);
                    const int idx = static_cast<int>(pos);
                    const float frac = pos - static_cast<float>(idx);
                    float l = left[static_cast<std::size_t>(idx)], r = right[static_cast<std::size_t>(idx)];
                    if (frac != 0.0f) {
                        l = l + frac * (left[static_cast<std::size_t>(idx) + 1] - l);
                        r = r + frac * (right[static_cast<std::size_t>(idx) + 1] - r);
                    }
                    const float want = (e * l + e * r) / 2.0f;
                    ASSERT_EQ(std::memcmp(&want, &a->precomputedGrain[static_cast<std::size_t>(n)], sizeof want), 0)
                        << env << " " << pitch << " " << start << " " << n;
                    pos += pitch;
                    while (pos >= len) pos -= len;
                }
                EXPECT_EQ(a->readPosition, pos);
                EXPECT_EQ(a->remaining, 3000);
                EXPECT_EQ(a->linearLevel, b->linearLevel);
                EXPECT_EQ(a->oscOutput, b->oscOutput);
                for (int n = 3000; n < N; ++n) ASSERT_EQ(a->precomputedGrain[static_cast<std::size_t>(n)], 0.0f);
            }
}

TEST(BinMagnitudes, EqualTheEngineRootOfEveryBin) {
    std::vector<float> spectrum(N);
    std::mt19937 rng(10);
    std::uniform_real_distribution<float> d(-50.0f, 50.0f);
    for (float& x : spectrum) x = d(rng);
    spectrum[5] = std::nanf("");
    spectrum[M + 9] = INFINITY;
    spectrum[11] = 1e-19f, spectrum[M + 11] = 0.0f;  // power below 1e-36
    spectrum[12] = 0.0f, spectrum[M + 12] = -0.0f;
    spectrum[13] = 1e20f, spectrum[M + 13] = 1e20f;  // power overflows
    for (int first : {1, 2, 3})
        for (int last : {M, M - 1, 7}) {
            std::vector<float> out(M, -1.0f);
            SpectrumTransform::binMagnitudes(spectrum.data(), out.data(), first, last);
            for (int k = 0; k < M; ++k) {
                const float re = spectrum[static_cast<std::size_t>(k)], im = spectrum[static_cast<std::size_t>(M + k)];
                const float want = (k >= first && k < last) ? engineSqrt(re * re + im * im) : -1.0f;
                ASSERT_EQ(std::memcmp(&want, &out[static_cast<std::size_t>(k)], sizeof want), 0) << k;
            }
        }
}

}  // namespace
}  // namespace grainwheel
