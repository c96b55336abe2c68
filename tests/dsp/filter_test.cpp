// Output filters, the engine's square root and the denormal guard.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <vector>

#include "engine/dsp/denormals.h"
#include "engine/dsp/filters.h"

namespace grainwheel {
namespace {

using cd = std::complex<double>;

// Independent double-precision design of the same filter: the poles of a 4-pole
// Chebyshev low-pass with 0.5 % ripple normalised to its -3 dB point, mapped by a
// bilinear transform pre-warped to the cutoff, four zeros at Nyquist, unity DC gain.
// Returns feed-forward a[0..4] and feedback b[1..4] in the form y = sum a x + sum b y.
void referenceDesign(double fc, double a[5], double b[5]) {
    const double pi = 3.141592653589793;
    const int n = 4;
    const double eps = std::sqrt(std::pow(100.0 / 99.5, 2) - 1.0);
    const double v = std::asinh(1.0 / eps) / n;
    const double norm = std::cosh(std::acosh(1.0 / eps) / n);
    const double kb = 1.0 / std::tan(pi * fc);
    std::vector<cd> poly{1.0};  // denominator in z^-1
    for (int k = 0; k < n; ++k) {
        const double theta = pi * (2 * k + 1) / (2.0 * n);
        const cd s(-std::sinh(v) * std::sin(theta) / norm, std::cosh(v) * std::cos(theta) / norm);
        const cd z = (kb + s) / (kb - s);
        std::vector<cd> next(poly.size() + 1, 0.0);
        for (std::size_t i = 0; i < poly.size(); ++i) {
            next[i] += poly[i];
            next[i + 1] -= z * poly[i];
        }
        poly = next;
    }
    double dc = 0.0;
    for (const cd& c : poly) dc += c.real();
    const double gain = dc / 16.0;
    const double binom[5] = {1, 4, 6, 4, 1};
    for (int i = 0; i <= 4; ++i) {
        a[i] = gain * binom[i];
        b[i] = i == 0 ? 0.0 : -poly[static_cast<std::size_t>(i)].real();
    }
}

TEST(PitchFilterDesign, CoefficientsMatchADoublePrecisionDesign) {
    for (float p : {0.1f, 0.25f, 0.5f, 0.75f, 0.9f}) {
        PitchFilter f;
        f.design(p);
        EXPECT_EQ(f.order, 4.0f);
        double a[5], b[5];
        referenceDesign(0.5 * p, a, b);
        for (int i = 0; i <= 4; ++i) {
            EXPECT_NEAR(f.A[i], a[i], 2e-3 * std::fabs(a[2]) + 1e-7) << "p " << p << " A" << i;
            EXPECT_NEAR(f.B[i], b[i], 2e-4 * (1.0 + std::fabs(b[i]))) << "p " << p << " B" << i;
        }
        for (int i = 5; i <= 20; ++i) {
            EXPECT_EQ(f.A[i], 0.0f);
            EXPECT_EQ(f.B[i], 0.0f);
        }
    }
}

// Magnitude of the designed filter at frequency fr (fraction of the sample rate).
double response(const PitchFilter& f, double fr) {
    const cd z1 = std::polar(1.0, -2.0 * 3.141592653589793 * fr);
    cd num = 0.0, den = 1.0, zk = 1.0;
    for (int k = 0; k <= 4; ++k) {
        num += static_cast<double>(f.A[k]) * zk;
        den -= static_cast<double>(f.B[k]) * zk;
        zk *= z1;
    }
    return std::abs(num / den);
}

TEST(PitchFilterDesign, UnityAtDcMinus3dBAtCutoffRippleBounded) {
    PitchFilter f;
    f.design(0.5f);  // cutoff 0.25 of the sample rate
    EXPECT_NEAR(response(f, 0.0), 1.0, 1e-4);
    EXPECT_NEAR(response(f, 0.25), std::sqrt(0.5), 0.02);
    for (double fr = 0.0; fr < 0.2; fr += 0.005) EXPECT_LT(response(f, fr), 1.0051 + 1e-3);
    EXPECT_LT(response(f, 0.4), 0.01);
}

TEST(PitchFilterRun, BranchesByPitch) {
    // Pitch 1 and above: pass-through.
    PitchFilter f;
    float l = 0.3f, r = -0.7f;
    f.run(l, r, 1.0f);
    EXPECT_EQ(l, 0.3f);
    EXPECT_EQ(r, -0.7f);
    // Every branch has unity gain at DC and settles on a constant input.
    for (float p : {0.95f, 0.5f, 0.02f}) {
        PitchFilter g;
        if (p < 0.9f) g.design(p);
        float outL = 0, outR = 0;
        for (int n = 0; n < 20000; ++n) {
            outL = 1.0f;
            outR = -1.0f;
            g.run(outL, outR, p);
        }
        EXPECT_NEAR(outL, 1.0f, 1e-3) << p;
        EXPECT_NEAR(outR, -1.0f, 1e-3) << p;
    }
    // The top branch's impulse response starts with its fixed coefficients.
    PitchFilter h;
    float il = 1.0f, ir = 0.0f;
    h.run(il, ir, 0.95f);
    EXPECT_FLOAT_EQ(il, 0.8001101f);
    il = 0.0f;
    h.run(il, ir, 0.95f);
    EXPECT_NEAR(il, 1.60022f - 1.556269f * 0.8001101f, 1e-6);
}

// The block versions must give the per-sample values bit for bit, NaN resets included.
TEST(FilterBlocks, EqualPerSampleRunningBitForBit) {
    std::vector<float> inL(700), inR(700);
    for (int i = 0; i < 700; ++i) {
        inL[static_cast<size_t>(i)] = std::sin(0.05f * static_cast<float>(i)) * (i % 97 == 0 ? 40.0f : 0.7f);
        inR[static_cast<size_t>(i)] = std::cos(0.31f * static_cast<float>(i)) * 0.5f;
    }
    inL[300] = std::nanf("");
    // Each filter's block run in turn, and both in one pass (runOutputFilters).
    for (const bool fused : {false, true})
    for (float p : {1.0f, 1.7f, 0.95f, 0.7f, 0.3f, 0.02f}) {
        PitchFilter a, b;
        ResonantFilter ra, rb;
        if (p < 1.0f) a.design(p), b.design(p);
        for (ResonantFilter* r : {&ra, &rb}) {
            r->setCutoff(0.45f);
            r->setResonance(0.9f);
        }
        std::vector<float> bl = inL, br = inR;
        int at = 0;
        for (int n : {1, 64, 17, 256, 362}) {
            if (fused) {
                runOutputFilters(b, rb, bl.data() + at, br.data() + at, n, p);
            } else {
                b.runBlock(bl.data() + at, br.data() + at, n, p);
                rb.runBlock(bl.data() + at, br.data() + at, n);
            }
            at += n;
        }
        for (int i = 0; i < 700; ++i) {
            float l = inL[static_cast<size_t>(i)], r = inR[static_cast<size_t>(i)];
            a.run(l, r, p);
            ra.run(l, r);
            ASSERT_EQ(std::memcmp(&l, &bl[static_cast<size_t>(i)], sizeof l), 0) << p << " " << i << " " << fused;
            ASSERT_EQ(std::memcmp(&r, &br[static_cast<size_t>(i)], sizeof r), 0) << p << " " << i;
        }
        EXPECT_EQ(std::memcmp(a.x, b.x, sizeof a.x), 0);
        EXPECT_EQ(std::memcmp(a.y, b.y, sizeof a.y), 0);
        EXPECT_EQ(std::memcmp(ra.s1, rb.s1, sizeof ra.s1), 0);
        EXPECT_EQ(std::memcmp(ra.s2, rb.s2, sizeof ra.s2), 0);
    }
}

TEST(PitchFilterRun, NotANumberResetsTheHistory) {
    PitchFilter f;
    f.design(0.5f);
    float l = 1.0f, r = 1.0f;
    for (int n = 0; n < 10; ++n) f.run(l, r, 0.5f);
    l = std::nanf("");
    r = 0.5f;
    f.run(l, r, 0.5f);
    EXPECT_EQ(l, 0.0f);
    EXPECT_EQ(r, 0.0f);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(f.x[0][k], 0.0f);
        EXPECT_EQ(f.y[1][k], 0.0f);
    }
    l = 1.0f;
    r = 1.0f;
    f.run(l, r, 0.5f);
    EXPECT_TRUE(std::isfinite(l));
    // A redesign clears NaN left in the output history.
    f.y[1][3] = std::nanf("");
    f.design(0.3f);
    EXPECT_EQ(f.y[1][3], 0.0f);
}

TEST(ResonantFilterTest, ResonanceAndFeedback) {
    ResonantFilter f;
    EXPECT_EQ(f.f.load(), 0.5f);
    f.setResonance(0.25f);
    EXPECT_NEAR(f.q.load(), 0.983f * 0.5f, 1e-6);
    EXPECT_NEAR(f.fb.load(), 0.4915f + 0.4915f / (1.0001f - 0.5f), 1e-5);
    f.setCutoff(1.0f);
    EXPECT_EQ(f.fb.load(), f.q.load());
    f.setResonance(0.0f);
    EXPECT_EQ(f.q.load(), 0.0f);
    EXPECT_EQ(f.fb.load(), 0.0f);
}

TEST(ResonantFilterTest, TransparentAtFullCutoffWithoutResonance) {
    ResonantFilter f;
    f.setCutoff(1.0f);
    for (int n = 0; n < 100; ++n) {
        float l = std::sin(n * 0.3f), r = std::cos(n * 0.7f);
        const float inL = l, inR = r;
        f.run(l, r);
        ASSERT_NEAR(l, inL, 1e-6);
        ASSERT_NEAR(r, inR, 1e-6);
    }
}

TEST(ResonantFilterTest, NotANumberResetsAllStates) {
    ResonantFilter f;
    f.setCutoff(0.3f);
    f.setResonance(0.8f);
    float l = 1.0f, r = 1.0f;
    f.run(l, r);
    l = 0.0f;
    r = std::nanf("");
    f.run(l, r);
    EXPECT_EQ(l, 0.0f);
    EXPECT_EQ(r, 0.0f);
    EXPECT_EQ(f.s1[0], 0.0f);
    EXPECT_EQ(f.s2[1], 0.0f);
}

// The literal iteration: Newton from x/2 until the last correction is at most 1e-5 of
// the estimate.
double newtonRoot(double x) {
    if (x < 1e-36) return 0.0;
    double c = x / 2.0;
    for (;;) {
        const double correction = std::fabs(x / c - c);
        c = (c + x / c) / 2.0;
        if (correction <= 1e-5 * c) return c;
    }
}

TEST(EngineSqrt, MatchesTheNewtonIteration) {
    for (double x = 1e-35; x < 1e12; x *= 1.37) {
        const float xf = static_cast<float>(x);
        ASSERT_NEAR(engineSqrt(xf), newtonRoot(xf), 3e-7 * newtonRoot(xf)) << x;
    }
    EXPECT_EQ(engineSqrt(0.0f), 0.0f);
    EXPECT_EQ(engineSqrt(9e-37f), 0.0f);
    EXPECT_EQ(engineSqrt(-4.0f), 0.0f);
    EXPECT_TRUE(std::isnan(engineSqrt(std::nanf(""))));  // terminates; the caller maps NaN
}

bool subnormal(float v) { return std::fpclassify(v) == FP_SUBNORMAL; }

TEST(Denormals, LoudInputThenLongSilenceLeavesNoSubnormals) {
#if GW_HAVE_MXCSR
    const unsigned before = _mm_getcsr();
#endif
    {
        ScopedFlushDenormals flush;
        PitchFilter pf;
        pf.design(0.4f);
        ResonantFilter rf;
        rf.setCutoff(0.2f);
        rf.setResonance(0.9f);
        for (int n = 0; n < 44100 * 5; ++n) {
            float l = n < 4410 ? std::sin(n * 0.05f) * 10.0f : 0.0f;
            float r = -l;
            pf.run(l, r, 0.4f);
            rf.run(l, r);
            if (n >= 4410) {
                ASSERT_FALSE(subnormal(l) || subnormal(r)) << n;
            }
        }
        for (int c = 0; c < 2; ++c) {
            for (int k = 0; k < PitchFilter::kHistory; ++k) {
                EXPECT_FALSE(subnormal(pf.x[c][k]));
                EXPECT_FALSE(subnormal(pf.y[c][k]));
            }
            EXPECT_FALSE(subnormal(rf.s1[c]));
            EXPECT_FALSE(subnormal(rf.s2[c]));
        }
#if GW_HAVE_MXCSR
        EXPECT_EQ(_mm_getcsr() & 0x8040u, 0x8040u);
#endif
    }
#if GW_HAVE_MXCSR
    EXPECT_EQ(_mm_getcsr(), before);  // the caller's mode is back
#endif
}

}  // namespace
}  // namespace grainwheel
