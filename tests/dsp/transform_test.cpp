// The 4096-point real transform against a direct DFT, its packing and scaling.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "engine/dsp/spectrum_transform.h"
#include "tests/support/bits_hash.h"

namespace grainwheel {
namespace {

constexpr int N = kTransformSize;
const double kTwoPi = 2.0 * 3.141592653589793;

// Direct DFT in double precision, packed: k = 0..2048 Re X[k], 2048 + k = -Im X[k].
std::vector<double> directPacked(const std::vector<float>& x) {
    std::vector<double> cosT(N), sinT(N);
    for (int i = 0; i < N; ++i) {
        cosT[static_cast<std::size_t>(i)] = std::cos(kTwoPi * i / N);
        sinT[static_cast<std::size_t>(i)] = std::sin(kTwoPi * i / N);
    }
    std::vector<double> out(N);
    for (int k = 0; k <= N / 2; ++k) {
        double re = 0, im = 0;
        for (int n = 0; n < N; ++n) {
            const std::size_t idx = static_cast<std::size_t>((static_cast<long>(k) * n) % N);
            re += x[static_cast<std::size_t>(n)] * cosT[idx];
            im -= x[static_cast<std::size_t>(n)] * sinT[idx];
        }
        out[static_cast<std::size_t>(k)] = re;
        if (k >= 1 && k < N / 2) out[static_cast<std::size_t>(N / 2 + k)] = -im;
    }
    return out;
}

std::vector<float> randomBlock(unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    std::vector<float> x(N);
    for (float& v : x) v = d(rng);
    return x;
}

std::vector<std::vector<float>> testInputs() {
    std::vector<std::vector<float>> inputs;
    inputs.push_back(randomBlock(1));
    inputs.push_back(randomBlock(2));
    std::vector<float> impulse(N, 0.0f);
    impulse[5] = 1.0f;
    inputs.push_back(impulse);
    std::vector<float> mixed(N);
    for (int n = 0; n < N; ++n)
        mixed[static_cast<std::size_t>(n)] = static_cast<float>(0.3 + std::sin(kTwoPi * 17.3 * n / N) +
                                                               0.5 * std::cos(kTwoPi * 1000 * n / N) + (n % 2 ? 0.25 : -0.25));
    inputs.push_back(mixed);
    return inputs;
}

TEST(Transform, ForwardMatchesDirectDft) {
    auto t = std::make_unique<SpectrumTransform>();
    for (const auto& x : testInputs()) {
        const std::vector<double> ref = directPacked(x);
        double l1 = 0;
        for (float v : x) l1 += std::fabs(v);
        std::vector<float> out(N);
        t->forward(x.data(), out.data());
        for (int i = 0; i < N; ++i)
            ASSERT_NEAR(out[static_cast<std::size_t>(i)], ref[static_cast<std::size_t>(i)], 1e-5 * l1 + 1e-5) << "entry " << i;
    }
}

TEST(Transform, ImpulseCosineAndSinePacking) {
    auto t = std::make_unique<SpectrumTransform>();
    std::vector<float> x(N, 0.0f), out(N);
    x[0] = 1.0f;
    t->forward(x.data(), out.data());
    for (int i = 0; i <= 2048; ++i) ASSERT_NEAR(out[static_cast<std::size_t>(i)], 1.0f, 1e-6) << i;
    for (int i = 2049; i < N; ++i) ASSERT_NEAR(out[static_cast<std::size_t>(i)], 0.0f, 1e-6) << i;
    for (int k : {1, 7, 1024, 2047}) {
        for (int n = 0; n < N; ++n) x[static_cast<std::size_t>(n)] = static_cast<float>(std::cos(kTwoPi * k * n / N));
        t->forward(x.data(), out.data());
        for (int i = 0; i < N; ++i)
            ASSERT_NEAR(out[static_cast<std::size_t>(i)], i == k ? 2048.0f : 0.0f, 2e-3) << "cos " << k << " entry " << i;
        for (int n = 0; n < N; ++n) x[static_cast<std::size_t>(n)] = static_cast<float>(std::sin(kTwoPi * k * n / N));
        t->forward(x.data(), out.data());
        for (int i = 0; i < N; ++i)
            ASSERT_NEAR(out[static_cast<std::size_t>(i)], i == 2048 + k ? 2048.0f : 0.0f, 2e-3) << "sin " << k << " entry " << i;
    }
}

TEST(Transform, InverseIsUnscaledAndRescaleRestores) {
    auto t = std::make_unique<SpectrumTransform>();
    for (const auto& x : testInputs()) {
        std::vector<float> spectrum(N), back(N);
        t->forward(x.data(), spectrum.data());
        t->inverse(spectrum.data(), back.data());
        for (int n = 0; n < N; ++n)
            ASSERT_NEAR(back[static_cast<std::size_t>(n)], 4096.0f * x[static_cast<std::size_t>(n)], 0.05) << n;
        SpectrumTransform::rescale(back.data());
        for (int n = 0; n < N; ++n) ASSERT_NEAR(back[static_cast<std::size_t>(n)], x[static_cast<std::size_t>(n)], 1e-5) << n;
    }
    // A spectrum built directly: entry k = 1 alone is 2 cos(2 pi k n / N) unscaled,
    // entry 2048 + k alone is 2 sin, the Nyquist entry alone alternates +-1.
    for (int k : {3, 2000}) {
        std::vector<float> spectrum(N, 0.0f), back(N);
        spectrum[static_cast<std::size_t>(k)] = 1.0f;
        t->inverse(spectrum.data(), back.data());
        for (int n = 0; n < N; ++n)
            ASSERT_NEAR(back[static_cast<std::size_t>(n)], 2.0 * std::cos(kTwoPi * k * n / N), 1e-4) << n;
        spectrum[static_cast<std::size_t>(k)] = 0.0f;
        spectrum[static_cast<std::size_t>(2048 + k)] = 1.0f;
        t->inverse(spectrum.data(), back.data());
        for (int n = 0; n < N; ++n)
            ASSERT_NEAR(back[static_cast<std::size_t>(n)], 2.0 * std::sin(kTwoPi * k * n / N), 1e-4) << n;
    }
    std::vector<float> spectrum(N, 0.0f), back(N);
    spectrum[2048] = 1.0f;
    t->inverse(spectrum.data(), back.data());
    for (int n = 0; n < N; ++n) ASSERT_NEAR(back[static_cast<std::size_t>(n)], n % 2 ? -1.0f : 1.0f, 1e-5);
}

TEST(Transform, InPlaceGivesTheSameValues) {
    auto t = std::make_unique<SpectrumTransform>();
    std::vector<float> x = randomBlock(9), spectrum(N), inplace = x;
    t->forward(x.data(), spectrum.data());
    t->forward(inplace.data(), inplace.data());
    EXPECT_EQ(spectrum, inplace);
    std::vector<float> back(N);
    t->inverse(spectrum.data(), back.data());
    t->inverse(inplace.data(), inplace.data());
    EXPECT_EQ(back, inplace);
}

TEST(Transform, MagnitudeSpectrumForTheScope) {
    auto t = std::make_unique<SpectrumTransform>();
    std::vector<float> x(N);
    for (int n = 0; n < N; ++n) x[static_cast<std::size_t>(n)] = static_cast<float>(std::cos(kTwoPi * 40 * n / N + 0.3) + 5.0);
    const float* mags = t->magnitudeSpectrum(x.data());
    for (int i = 0; i < N; ++i) ASSERT_NEAR(mags[i], i == 39 ? 2048.0f : 0.0f, 0.05) << i;  // bin k at k - 1; DC unseen
    x[100] = std::nanf("");
    mags = t->magnitudeSpectrum(x.data());
    for (int i = 0; i < 2047; ++i) ASSERT_EQ(mags[i], 1.0f);
    for (int i = 2047; i < N; ++i) ASSERT_EQ(mags[i], 0.0f);
}


// This binary runs the AVX2 variant where the processor has it, dsp_transform_baseline
// the baseline code: both give these bits (every product and sum rounded on its own), so
// the rendered output is the same on every processor.
TEST(Transform, EveryCodePathGivesTheSameBits) {
    std::vector<float> x(N), spectrum(N), back(N);
    std::uint32_t state = 12345;
    for (float& v : x) {
        state = state * 1664525u + 1013904223u;
        v = static_cast<float>(state >> 8) / 8388608.0f - 1.0f;
    }
    auto t = std::make_unique<SpectrumTransform>();
    t->forward(x.data(), spectrum.data());
    t->inverse(spectrum.data(), back.data());
    EXPECT_EQ(gwtest::bitsHash(spectrum), 0x1ab67085cf57bc19ull);
    EXPECT_EQ(gwtest::bitsHash(back), 0xaad37a267df09d2aull);
}

TEST(Transform, TwoInstancesOnTwoThreads) {
    const std::vector<float> a = randomBlock(3), b = randomBlock(4);
    std::vector<float> refA(N), refB(N);
    {
        auto t = std::make_unique<SpectrumTransform>();
        t->forward(a.data(), refA.data());
        t->forward(b.data(), refB.data());
    }
    auto run = [](const std::vector<float>& in, const std::vector<float>& ref, bool& ok) {
        auto t = std::make_unique<SpectrumTransform>();
        std::vector<float> out(N), back(N);
        ok = true;
        for (int i = 0; i < 300 && ok; ++i) {
            t->forward(in.data(), out.data());
            ok = out == ref;
            t->inverse(out.data(), back.data());
        }
    };
    bool okA = false, okB = false;
    std::thread ta(run, std::cref(a), std::cref(refA), std::ref(okA));
    std::thread tb(run, std::cref(b), std::cref(refB), std::ref(okB));
    ta.join();
    tb.join();
    EXPECT_TRUE(okA);
    EXPECT_TRUE(okB);
}

}  // namespace
}  // namespace grainwheel
