// The band-limited resampler: its frame count, a flat passband, aliases and images at
// least 100 dB down (measured with the engine's own transform), tones keeping their
// frequency, a seamless loop point, and extreme ratios.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <numeric>
#include <random>
#include <vector>

#include "engine/dsp/resampler.h"
#include "engine/dsp/spectrum_transform.h"

namespace grainwheel {
namespace {

constexpr double kTwoPi = 2.0 * 3.14159265358979323846;
constexpr int N = kTransformSize;

struct Pair {
    double in;
    double out;
};

// cos and sin of 2 pi k / n, k = 0..n-1, for the lengths in use.
struct Circle {
    std::vector<double> cos, sin;
};
const Circle& circle(std::int64_t n) {
    static std::map<std::int64_t, Circle> cache;
    Circle& c = cache[n];
    if (c.cos.empty())
        for (std::int64_t k = 0; k < n; ++k) {
            c.cos.push_back(std::cos(kTwoPi * static_cast<double>(k) / static_cast<double>(n)));
            c.sin.push_back(std::sin(kTwoPi * static_cast<double>(k) / static_cast<double>(n)));
        }
    return c;
}

// A sine of `cycles` whole cycles over n frames: periodic when looped.
std::vector<float> sineLoop(std::int64_t n, std::int64_t cycles, double amplitude, double phase = 0.3) {
    const Circle& c = circle(n);
    const double a = amplitude * std::cos(phase), b = amplitude * std::sin(phase);
    std::vector<float> x(static_cast<std::size_t>(n));
    for (std::int64_t i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>((i * cycles) % n);
        x[static_cast<std::size_t>(i)] = static_cast<float>(a * c.sin[k] + b * c.cos[k]);
    }
    return x;
}

std::vector<float> convert(const Resampler& r, const std::vector<float>& x) {
    std::vector<float> y(static_cast<std::size_t>(r.outputFrames(static_cast<std::int64_t>(x.size()))), -99.0f);
    r.convertLooped(x.data(), static_cast<std::int64_t>(x.size()), y.data());
    return y;
}

// The amplitude of the component with `cycles` whole cycles over the looped signal
// (exact for a periodic signal: the other components are orthogonal).
struct Fit {
    double amplitude;
    double maxResidual;  // largest difference between the signal and that sine
};
Fit fitSine(const std::vector<float>& y, std::int64_t cycles) {
    const auto n = static_cast<std::int64_t>(y.size());
    const Circle& c = circle(n);
    double re = 0.0, im = 0.0;
    for (std::int64_t i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>((i * cycles) % n);
        re += y[static_cast<std::size_t>(i)] * c.cos[k];
        im += y[static_cast<std::size_t>(i)] * c.sin[k];
    }
    re *= 2.0 / static_cast<double>(n);
    im *= 2.0 / static_cast<double>(n);
    double worst = 0.0;
    for (std::int64_t i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>((i * cycles) % n);
        worst = std::max(worst, std::fabs(y[static_cast<std::size_t>(i)] - (re * c.cos[k] + im * c.sin[k])));
    }
    return {std::hypot(re, im), worst};
}

// Spectrum levels in dB relative to a full-scale sine, bins 0..2048, of 4096 frames of
// the looped signal from `start`, through a 7-term Blackman-Harris window (side lobes
// below -180 dB, main lobe 7 bins either side).
class Analyser {
public:
    Analyser() : window_(N) {
        static constexpr double a[7] = {0.27105140069342, 0.43329793923448, 0.21812299954311, 0.06592544638803,
                                        0.01081174209837, 0.00077658482522, 0.00001388721735};
        double sum = 0.0;
        for (int i = 0; i < N; ++i) {
            double w = 0.0;
            for (int k = 0; k < 7; ++k) w += (k % 2 ? -a[k] : a[k]) * std::cos(kTwoPi * k * i / N);
            window_[static_cast<std::size_t>(i)] = w;
            sum += w;
        }
        fullScale_ = sum / 2.0;
    }
    std::vector<double> levels(const std::vector<float>& y, std::int64_t start) {
        const auto n = static_cast<std::int64_t>(y.size());
        std::vector<float> block(N), spectrum(N);
        for (int i = 0; i < N; ++i)
            block[static_cast<std::size_t>(i)] = static_cast<float>(
                window_[static_cast<std::size_t>(i)] * y[static_cast<std::size_t>((start + i) % n)]);
        transform_->forward(block.data(), spectrum.data());
        std::vector<double> db(N / 2 + 1);
        for (int k = 0; k <= N / 2; ++k) {
            const double re = spectrum[static_cast<std::size_t>(k)];
            const double im = k > 0 && k < N / 2 ? spectrum[static_cast<std::size_t>(N / 2 + k)] : 0.0;
            db[static_cast<std::size_t>(k)] = 20.0 * std::log10(std::max(std::hypot(re, im), 1e-30) / fullScale_);
        }
        return db;
    }

private:
    std::vector<double> window_;
    double fullScale_ = 1.0;
    std::unique_ptr<SpectrumTransform> transform_ = std::make_unique<SpectrumTransform>();
};

// Input lengths for a pair: one whose conversion lands every output on a phase of the
// exact ratio, and one that does not (about `outputs` output frames either way).
std::vector<std::int64_t> inputLengths(const Pair& p, std::int64_t outputs) {
    const auto in = static_cast<std::int64_t>(p.in), out = static_cast<std::int64_t>(p.out);
    const std::int64_t g = std::gcd(in, out);
    const std::int64_t m = in / g, l = out / g;
    const std::int64_t exact = m * ((outputs + l - 1) / l);
    return {exact, exact + 1};
}

std::int64_t cyclesFor(double freq, double rate, std::int64_t n) {
    return std::max<std::int64_t>(1, std::llround(freq * static_cast<double>(n) / rate));
}

TEST(Resampler, FrameCountRoundsAndCoversTheDuration) {
    const Resampler r(48000, 44100);
    ASSERT_TRUE(r.usable());
    EXPECT_EQ(r.outputFrames(0), 0);
    EXPECT_EQ(r.outputFrames(-5), 0);
    EXPECT_EQ(r.outputFrames(1), 1);
    EXPECT_EQ(r.outputFrames(48000), 44100);
    EXPECT_EQ(r.outputFrames(2880000), 2646000);
    EXPECT_EQ(Resampler(384000, 8000).outputFrames(1), 1);
    EXPECT_EQ(Resampler(384000, 8000).outputFrames(23), 1);
    EXPECT_EQ(Resampler(384000, 8000).outputFrames(25), 1);
    EXPECT_EQ(Resampler(384000, 8000).outputFrames(72), 2);
    EXPECT_EQ(Resampler(8000, 384000).outputFrames(3), 144);
    // The duration in seconds is kept within one frame (half a frame: the rounding).
    for (const Pair p : {Pair{48000, 44100}, Pair{96000, 48000}, Pair{44100, 48000}, Pair{22050, 96000}, Pair{8000, 384000},
                         Pair{384000, 8000}, Pair{44100, 44101}}) {
        const Resampler rs(p.in, p.out);
        for (std::int64_t n = 1; n < 200000; n = n * 3 + 1) {
            const double exact = static_cast<double>(n) * p.out / p.in;
            EXPECT_LE(std::fabs(static_cast<double>(rs.outputFrames(n)) - std::max(exact, 1.0)), 0.5 + 1e-9)
                << p.in << " -> " << p.out << ", " << n << " frames";
        }
    }
}

TEST(Resampler, RefusesRatesOutsideTheRange) {
    for (const Pair p : {Pair{7999, 44100}, Pair{44100, 384001}, Pair{0, 44100}, Pair{-44100, 44100}, Pair{44100, NAN},
                         Pair{INFINITY, 44100}}) {
        const Resampler r(p.in, p.out);
        EXPECT_FALSE(r.usable()) << p.in << " -> " << p.out;
        EXPECT_EQ(r.outputFrames(1000), 0);
    }
    EXPECT_TRUE(Resampler(8000, 384000).usable());
    EXPECT_TRUE(Resampler(384000, 8000).usable());
}

// The analyser's own floor: a sine made at the output rate shows nothing above -130 dB
// outside its main lobe, so the -100 dB limits below measure the resampler.
TEST(Resampler, MeasurementFloorIsFarBelowTheLimits) {
    Analyser analyser;
    for (const std::int64_t cycles : {std::int64_t{1}, std::int64_t{777}, std::int64_t{3001}, std::int64_t{4090}}) {
        const std::vector<float> y = sineLoop(8192, cycles, 1.0);
        const std::vector<double> db = analyser.levels(y, 1000);
        const double bin = static_cast<double>(cycles) * N / 8192.0;
        double worst = -400.0;
        for (int k = 0; k <= N / 2; ++k)
            if (std::fabs(k - bin) > 8) worst = std::max(worst, db[static_cast<std::size_t>(k)]);
        EXPECT_LT(worst, -130.0) << cycles;
        EXPECT_NEAR(*std::max_element(db.begin(), db.end()), 0.0, 1.0);
    }
}

TEST(Resampler, PassbandIsFlatToNineTenthsOfTheLowerNyquist) {
    double worstDb = 0.0, worstAt = 0.0;
    for (const Pair p : {Pair{48000, 44100}, Pair{44100, 48000}, Pair{96000, 48000}, Pair{48000, 96000}, Pair{8000, 384000},
                         Pair{384000, 8000}, Pair{44100, 44101}}) {
        const Resampler r(p.in, p.out);
        const double top = 0.9 * 0.5 * std::min(p.in, p.out);
        for (const std::int64_t n : inputLengths(p, 2048))
            for (int i = 0; i <= 40; ++i) {
                const double freq = i == 0 ? 20.0 : top * i / 40.0;
                const std::int64_t cycles = cyclesFor(freq, p.in, n);
                if (static_cast<double>(cycles) * p.in / static_cast<double>(n) > top) continue;
                const std::vector<float> x = sineLoop(n, cycles, 0.5);
                const double gainDb = 20.0 * std::log10(fitSine(convert(r, x), cycles).amplitude / 0.5);
                EXPECT_LE(std::fabs(gainDb), 0.01) << p.in << " -> " << p.out << " at " << freq << " Hz, " << n << " frames";
                if (std::fabs(gainDb) > std::fabs(worstDb)) {
                    worstDb = gainDb;
                    worstAt = freq;
                }
            }
    }
    std::printf("passband: largest deviation %.6f dB (at %.0f Hz)\n", worstDb, worstAt);
}

// Downsampling: a sine between the output's and the input's Nyquist frequency leaves
// nothing in the output above -100 dB. The analysed frames straddle the loop point.
TEST(Resampler, AliasesAreAtLeast100DbDown) {
    Analyser analyser;
    double worst = -400.0;
    Pair worstPair{};
    double worstFreq = 0.0;
    for (const Pair p : {Pair{48000, 44100}, Pair{96000, 48000}, Pair{192000, 44100}, Pair{44100, 32000}, Pair{384000, 8000}}) {
        const Resampler r(p.in, p.out);
        for (const std::int64_t n : inputLengths(p, 4200)) {
            const double low = 0.5 * p.out, high = 0.5 * p.in;
            for (int i = 0; i <= 30; ++i) {
                const double freq = low + (high - low) * (0.0005 + 0.999 * i / 30.0);
                const std::int64_t cycles = cyclesFor(freq, p.in, n);
                if (static_cast<double>(cycles) * p.in / static_cast<double>(n) <= low) continue;
                const std::vector<float> y = convert(r, sineLoop(n, cycles, 1.0));
                const std::vector<double> db = analyser.levels(y, static_cast<std::int64_t>(y.size()) - N / 2);
                const double level = *std::max_element(db.begin(), db.end());
                EXPECT_LT(level, -100.0) << p.in << " -> " << p.out << " at " << freq << " Hz, " << n << " frames";
                if (level > worst) {
                    worst = level;
                    worstPair = p;
                    worstFreq = freq;
                }
            }
        }
    }
    std::printf("aliases: strongest %.1f dB (%.0f -> %.0f, input sine at %.0f Hz)\n", worst, worstPair.in, worstPair.out,
                worstFreq);
}

// Upsampling: a sine below the input's Nyquist frequency comes out alone; everything
// away from its main lobe (images, and anything else) is at least 100 dB down.
TEST(Resampler, ImagesAreAtLeast100DbDown) {
    Analyser analyser;
    double worst = -400.0;
    Pair worstPair{};
    double worstFreq = 0.0;
    for (const Pair p : {Pair{44100, 48000}, Pair{48000, 96000}, Pair{22050, 44100}, Pair{44100, 192000}, Pair{8000, 384000},
                         Pair{44100, 44101}}) {
        const Resampler r(p.in, p.out);
        for (const std::int64_t n : inputLengths(p, 4200)) {
            for (int i = 0; i <= 30; ++i) {
                const double freq = 20.0 + (0.99 * 0.5 * p.in - 20.0) * i / 30.0;
                const std::int64_t cycles = cyclesFor(freq, p.in, n);
                const std::vector<float> y = convert(r, sineLoop(n, cycles, 1.0));
                const std::vector<double> db = analyser.levels(y, static_cast<std::int64_t>(y.size()) - N / 2);
                const double bin = static_cast<double>(cycles) / static_cast<double>(y.size()) * N;
                double level = -400.0;
                for (int k = 0; k <= N / 2; ++k)
                    if (std::fabs(k - bin) > 12) level = std::max(level, db[static_cast<std::size_t>(k)]);
                EXPECT_LT(level, -100.0) << p.in << " -> " << p.out << " at " << freq << " Hz, " << n << " frames";
                if (level > worst) {
                    worst = level;
                    worstPair = p;
                    worstFreq = freq;
                }
            }
        }
    }
    std::printf("images: strongest %.1f dB (%.0f -> %.0f, input sine at %.0f Hz)\n", worst, worstPair.in, worstPair.out,
                worstFreq);
}

// A 1 kHz tone of one and a half seconds stays a 1 kHz tone of the same duration.
TEST(Resampler, ToneKeepsItsFrequencyAndDuration) {
    Analyser analyser;
    for (const Pair p : {Pair{48000, 44100}, Pair{96000, 48000}, Pair{96000, 44100}, Pair{44100, 48000}, Pair{8000, 384000}}) {
        const Resampler r(p.in, p.out);
        const auto n = static_cast<std::int64_t>(1.5 * p.in);
        const std::vector<float> y = convert(r, sineLoop(n, 1500, 0.7));
        EXPECT_NEAR(static_cast<double>(y.size()) / p.out, 1.5, 1.0 / p.out) << p.in << " -> " << p.out;
        // A sine of exactly 1000 Hz at the output rate fits it to the last bit of float.
        const Fit fit = fitSine(y, 1500);
        EXPECT_NEAR(fit.amplitude, 0.7, 0.7 * 1e-4) << p.in << " -> " << p.out;
        EXPECT_LT(fit.maxResidual, 1e-5) << p.in << " -> " << p.out;
        const std::vector<double> db = analyser.levels(y, 12345);
        const auto peak = std::max_element(db.begin(), db.end()) - db.begin();
        EXPECT_NEAR(static_cast<double>(peak), 1000.0 * N / p.out, 1.0) << p.in << " -> " << p.out;
    }
}

// A looped sine of whole periods converts without a step at the wrap, whether or not
// its length converts to a whole number of frames at the exact ratio.
TEST(Resampler, LoopPointIsSeamless) {
    for (const Pair p : {Pair{48000, 44100}, Pair{44100, 48000}, Pair{96000, 48000}, Pair{44100, 96000}, Pair{384000, 8000}}) {
        const Resampler r(p.in, p.out);
        // 1 kHz at 48 kHz: 48 frames a period; 7 periods, 100 periods, 100 periods and a frame.
        for (const auto& [n, cycles] : {std::pair<std::int64_t, std::int64_t>{336, 7}, {4800, 100}, {4801, 100}, {160, 1},
                                        {30011, 1237}}) {
            const std::vector<float> y = convert(r, sineLoop(n, cycles, 0.9));
            if (cycles >= static_cast<std::int64_t>(y.size()) / 2) continue;
            const double nyquistShare = 2.0 * static_cast<double>(cycles) / static_cast<double>(y.size());
            if (nyquistShare > 0.9) continue;
            const Fit fit = fitSine(y, cycles);
            EXPECT_LT(fit.maxResidual, 1e-5) << p.in << " -> " << p.out << ", " << n << " frames, " << cycles << " cycles";
            EXPECT_NEAR(fit.amplitude, 0.9, 0.9 * 1.2e-3);
        }
    }
}

TEST(Resampler, EqualRatesCopyAndNearlyEqualRatesKeepTheSignal) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    std::vector<float> x(10007);
    for (float& v : x) v = d(rng);
    const Resampler same(44100, 44100);
    EXPECT_EQ(convert(same, x), x);
    for (const Pair p : {Pair{44100, 44101}, Pair{48000, 47999}}) {
        const Resampler r(p.in, p.out);
        const std::vector<float> y = convert(r, sineLoop(44100, 441, 0.5));
        ASSERT_EQ(static_cast<std::int64_t>(y.size()), std::llround(44100.0 * p.out / p.in)) << p.in << " -> " << p.out;
        const Fit fit = fitSine(y, 441);
        EXPECT_NEAR(fit.amplitude, 0.5, 0.5 * 1e-4);
        EXPECT_LT(fit.maxResidual, 1e-5);
    }
}

// The extreme ratios, on noise and a full-scale square wave, and on inputs of a few
// frames (the filter wraps around them many times): every output finite and bounded,
// every output frame written, a constant staying that constant.
TEST(Resampler, ExtremeRatiosStayFiniteAndBounded) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    for (const Pair p : {Pair{8000, 384000}, Pair{384000, 8000}, Pair{8000, 384000 - 1}, Pair{384000 - 1, 8000}}) {
        const Resampler r(p.in, p.out);
        ASSERT_TRUE(r.usable());
        for (const std::int64_t n : {1, 2, 3, 5, 47, 48, 49, 1000, 9601}) {
            std::vector<float> noise(static_cast<std::size_t>(n)), square(static_cast<std::size_t>(n));
            for (std::int64_t i = 0; i < n; ++i) {
                noise[static_cast<std::size_t>(i)] = d(rng);
                square[static_cast<std::size_t>(i)] = (i / 7) % 2 ? 1.0f : -1.0f;
            }
            for (const auto& x : {noise, square}) {
                const std::vector<float> y = convert(r, x);
                ASSERT_EQ(static_cast<std::int64_t>(y.size()), r.outputFrames(n));
                for (const float v : y) {
                    ASSERT_TRUE(std::isfinite(v)) << p.in << " -> " << p.out << ", " << n << " frames";
                    ASSERT_LE(std::fabs(v), 2.0f) << p.in << " -> " << p.out << ", " << n << " frames";
                }
            }
            const std::vector<float> y = convert(r, std::vector<float>(static_cast<std::size_t>(n), 0.25f));
            for (const float v : y) ASSERT_NEAR(v, 0.25f, 1e-6f) << p.in << " -> " << p.out << ", " << n << " frames";
        }
    }
}

}  // namespace
}  // namespace grainwheel
