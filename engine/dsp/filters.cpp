#include "engine/dsp/filters.h"

#include <cmath>
#include <type_traits>

#include "engine/dsp/constants.h"
#include "engine/dsp/sse2.h"

namespace grainwheel {

float engineSqrt(float x) {
    if (x < 1e-36f) return 0.0f;
    // A Newton iteration from x / 2 stopped at a relative correction of 1e-5 has an
    // error far below float resolution, so the hardware root gives the same value.
    return std::sqrt(x);
}

void PitchFilter::design(float pitch) {
    float ta[kCoefficients];
    float tb[kCoefficients];
    for (int i = 0; i < kCoefficients; ++i) A[i] = B[i] = 0.0f;
    A[2] = B[2] = 1.0f;
    const float fc = 0.5f * pitch;
    const float np = 4.0f;
    order = np;
    const float pi = kStoredPi;
    for (int k = 1; k <= static_cast<int>(np / 2.0f); ++k) {
        const float angle = pi / (2.0f * np) + static_cast<float>(k - 1) * pi / np;
        float rp = -std::cos(angle);
        float ip = std::sin(angle);
        const float es = std::sqrt(0.010075503f);
        const float vx = std::log(1.0f / es + std::sqrt(1.0f / (es * es) + 1.0f)) / np;
        float kx = std::log(1.0f / es + std::sqrt(1.0f / (es * es) - 1.0f)) / np;
        kx = (std::exp(kx) + std::exp(-kx)) / 2.0f;
        rp = rp * ((std::exp(vx) - std::exp(-vx)) / 2.0f) / kx;
        ip = ip * ((std::exp(vx) + std::exp(-vx)) / 2.0f) / kx;

        const float t = 2.0f * std::tan(0.5f);
        const float m = rp * rp + ip * ip;
        const float d = 4.0f - 4.0f * rp * t + m * t * t;
        const float x0 = t * t / d;
        const float x1 = 2.0f * x0;
        const float x2 = x0;
        const float y1 = (8.0f - 2.0f * m * t * t) / d;
        const float y2 = (-4.0f - 4.0f * rp * t - m * t * t) / d;

        const float kk = std::sin(0.5f - pi * fc) / std::sin(0.5f + pi * fc);
        const float dd = 1.0f + y1 * kk - y2 * kk * kk;
        const float a0 = (x0 - x1 * kk + x2 * kk * kk) / dd;
        const float a1 = (-2.0f * x0 * kk + x1 + x1 * kk * kk - 2.0f * x2 * kk) / dd;
        const float a2 = (x0 * kk * kk - x1 * kk + x2) / dd;
        const float b1 = (2.0f * kk + y1 + y1 * kk * kk - 2.0f * y2 * kk) / dd;
        const float b2 = (-kk * kk - y1 * kk + y2) / dd;

        for (int i = 0; i < kCoefficients; ++i) {
            ta[i] = A[i];
            tb[i] = B[i];
        }
        for (int i = 2; i < kCoefficients; ++i) {
            A[i] = a0 * ta[i] + a1 * ta[i - 1] + a2 * ta[i - 2];
            B[i] = tb[i] - b1 * tb[i - 1] - b2 * tb[i - 2];
        }
    }
    B[2] = 0.0f;
    for (int i = 0; i <= 20; ++i) {
        A[i] = A[i + 2];
        B[i] = -B[i + 2];
    }
    float sa = 0.0f;
    float sb = 0.0f;
    for (int i = 0; i <= 20; ++i) {
        sa += A[i];
        sb += B[i];
    }
    const float gain = sa / (1.0f - sb);
    for (int i = 0; i <= 20; ++i) A[i] = A[i] / gain;
    for (int c = 0; c < 2; ++c)
        for (int k = 0; k < kHistory; ++k)
            if (std::isnan(y[c][k])) y[c][k] = 0.0f;
}

namespace {

// Shifts a history by one (k = n down to 1) and stores the new input. Written out for
// the designed order so that it stays a few register moves.
inline void shiftHistory(float* h, int n, float in) {
    if (n == 4) {
        h[4] = h[3];
        h[3] = h[2];
        h[2] = h[1];
        h[1] = h[0];
    } else {
        for (int k = n; k >= 1; --k) h[k] = h[k - 1];
    }
    h[0] = in;
}

}  // namespace

void PitchFilter::run(float& left, float& right, float pitch) {
    int n = static_cast<int>(order);
    if (n < 0) n = 0;
    if (n > kHistory - 1) n = kHistory - 1;
    float* io[2] = {&left, &right};
    for (int c = 0; c < 2; ++c) {
        float* xs = x[c];
        float* ys = y[c];
        shiftHistory(xs, n, *io[c]);
        shiftHistory(ys, n, 0.0f);
        float out;
        if (pitch >= 1.0f) {
            out = xs[0];
        } else if (pitch > 0.9f) {
            out = 0.8001101f * xs[0] + 1.60022f * xs[1] - 1.556269f * ys[1] + 0.8001101f * xs[2] -
                  0.6441713f * ys[2];
        } else if (pitch > 0.05f) {
            out = 0.0f;
            for (int k = 0; k <= n; ++k) out += A[k] * xs[k] + B[k] * ys[k];
        } else {
            out = 0.0008663387f * xs[0] + 0.001732678f * xs[1] + 1.919129f * ys[1] +
                  0.0008663387f * xs[2] - 0.9225943f * ys[2];
        }
        ys[0] = out;
    }
    if (std::isnan(y[0][0]) || std::isnan(y[1][0])) {
        for (int c = 0; c < 2; ++c)
            for (int k = 0; k < kHistory && static_cast<float>(k) < order; ++k) x[c][k] = y[c][k] = 0.0f;
    }
    left = y[0][0];
    right = y[1][0];
}

void PitchFilter::reset() {
    for (int c = 0; c < 2; ++c)
        for (int k = 0; k < kHistory; ++k) x[c][k] = y[c][k] = 0.0f;
}

namespace {

// Which formula of run a pitch selects.
enum class PitchBranch { Pass, Top, Chebyshev, Bottom };

// Calls run(branch) with the branch of run's formula for the pitch, as a constant.
template <typename Run>
void withBranch(float pitch, Run&& run) {
    using Branch = PitchBranch;
    if (pitch >= 1.0f)
        run(std::integral_constant<Branch, Branch::Pass>{});
    else if (pitch > 0.9f)
        run(std::integral_constant<Branch, Branch::Top>{});
    else if (pitch > 0.05f)
        run(std::integral_constant<Branch, Branch::Chebyshev>{});
    else
        run(std::integral_constant<Branch, Branch::Bottom>{});
}

// One channel's history of the designed order 4 (indices 0..4), in locals.
struct History4 {
    float x0, x1, x2, x3, x4;
    float y0, y1, y2, y3, y4;

    void load(const float* xs, const float* ys) {
        x0 = xs[0], x1 = xs[1], x2 = xs[2], x3 = xs[3], x4 = xs[4];
        y0 = ys[0], y1 = ys[1], y2 = ys[2], y3 = ys[3], y4 = ys[4];
    }
    void store(float* xs, float* ys) const {
        xs[0] = x0, xs[1] = x1, xs[2] = x2, xs[3] = x3, xs[4] = x4;
        ys[0] = y0, ys[1] = y1, ys[2] = y2, ys[3] = y3, ys[4] = y4;
    }
    // The shift of run, then its formula for the branch (the same operations in the
    // same order, ys[0] being the 0 just shifted in).
    template <PitchBranch Branch>
    void step(float in, const float* a, const float* b) {
        x4 = x3, x3 = x2, x2 = x1, x1 = x0, x0 = in;
        y4 = y3, y3 = y2, y2 = y1, y1 = y0;
        const float ys0 = 0.0f;
        float out;
        if constexpr (Branch == PitchBranch::Pass) {
            out = x0;
        } else if constexpr (Branch == PitchBranch::Top) {
            out = 0.8001101f * x0 + 1.60022f * x1 - 1.556269f * y1 + 0.8001101f * x2 - 0.6441713f * y2;
        } else if constexpr (Branch == PitchBranch::Chebyshev) {
            out = 0.0f;
            out += a[0] * x0 + b[0] * ys0;
            out += a[1] * x1 + b[1] * y1;
            out += a[2] * x2 + b[2] * y2;
            out += a[3] * x3 + b[3] * y3;
            out += a[4] * x4 + b[4] * y4;
        } else {
            out = 0.0008663387f * x0 + 0.001732678f * x1 + 1.919129f * y1 + 0.0008663387f * x2 -
                  0.9225943f * y2;
        }
        y0 = out;
    }
    // The NaN reset of run for order 4 clears indices 0..3.
    void clear() { x0 = x1 = x2 = x3 = y0 = y1 = y2 = y3 = 0.0f; }
};

template <PitchBranch Branch>
void runOrder4(PitchFilter& f, float* __restrict left, float* __restrict right, int count) {
    float a[5];
    float b[5];
    for (int k = 0; k < 5; ++k) {
        a[k] = f.A[k];
        b[k] = f.B[k];
    }
    History4 l;
    History4 r;
    l.load(f.x[0], f.y[0]);
    r.load(f.x[1], f.y[1]);
    for (int i = 0; i < count; ++i) {
        l.step<Branch>(left[i], a, b);
        r.step<Branch>(right[i], a, b);
        if (std::isnan(l.y0) || std::isnan(r.y0)) {
            l.clear();
            r.clear();
        }
        left[i] = l.y0;
        right[i] = r.y0;
    }
    l.store(f.x[0], f.y[0]);
    r.store(f.x[1], f.y[1]);
}

}  // namespace

void PitchFilter::runBlock(float* left, float* right, int count, float pitch) {
    // The designed order is always 4; any other keeps the general per-sample code.
    if (order != 4.0f) {
        for (int i = 0; i < count; ++i) run(left[i], right[i], pitch);
        return;
    }
    withBranch(pitch, [&](auto branch) { runOrder4<branch>(*this, left, right, count); });
}

namespace {

// The resonant filter's recursion over a stretch, its state in locals (runBlock's step).
struct ResonantRun {
    float cf, feedback, a0, a1, b0, b1;

    explicit ResonantRun(const ResonantFilter& r)
        : cf(r.f.load(std::memory_order_relaxed)), feedback(r.fb.load(std::memory_order_relaxed)),
          a0(r.s1[0]), a1(r.s1[1]), b0(r.s2[0]), b1(r.s2[1]) {}
    void step(float& left, float& right) {
        a0 = a0 + cf * ((left - a0) + feedback * (a0 - b0));
        a1 = a1 + cf * ((right - a1) + feedback * (a1 - b1));
        b0 = b0 + cf * (a0 - b0);
        b1 = b1 + cf * (a1 - b1);
        a0 += ResonantFilter::kDenormalGuard;
        if (std::isnan(a0) || std::isnan(a1)) a0 = a1 = b0 = b1 = 0.0f;
        left = b0;
        right = b1;
    }
    void store(ResonantFilter& r) const {
        r.s1[0] = a0;
        r.s1[1] = a1;
        r.s2[0] = b0;
        r.s2[1] = b1;
    }
};

// Both filters in one pass: the two recursions are independent of each other, so
// their dependency chains overlap instead of following one another.
template <PitchBranch Branch>
void runBothOrder4(PitchFilter& f, ResonantFilter& rf, float* __restrict left, float* __restrict right,
                   int count) {
    float a[5];
    float b[5];
    for (int k = 0; k < 5; ++k) {
        a[k] = f.A[k];
        b[k] = f.B[k];
    }
    History4 l;
    History4 r;
    l.load(f.x[0], f.y[0]);
    r.load(f.x[1], f.y[1]);
    ResonantRun res(rf);
    for (int i = 0; i < count; ++i) {
        l.step<Branch>(left[i], a, b);
        r.step<Branch>(right[i], a, b);
        if (std::isnan(l.y0) || std::isnan(r.y0)) {
            l.clear();
            r.clear();
        }
        float outL = l.y0;
        float outR = r.y0;
        res.step(outL, outR);
        left[i] = outL;
        right[i] = outR;
    }
    l.store(f.x[0], f.y[0]);
    r.store(f.x[1], f.y[1]);
    res.store(rf);
}

#if GW_SSE2
// runBothOrder4 with the two channels side by side in the low lanes of one register (the
// upper two carry zeros): each lane goes through the operations of the scalar step in
// the same order, so both give the same values bit for bit at half the instructions.
struct PairedHistory {
    __m128 x0, x1, x2, x3, x4;
    __m128 y0, y1, y2, y3, y4;

    static __m128 pair(float left, float right) { return _mm_unpacklo_ps(_mm_set_ss(left), _mm_set_ss(right)); }
    static __m128 load(const float (&h)[2][PitchFilter::kHistory], int k) { return pair(h[0][k], h[1][k]); }
    static void store(float (&h)[2][PitchFilter::kHistory], int k, __m128 v) {
        h[0][k] = _mm_cvtss_f32(v);
        h[1][k] = laneOf<1>(v);
    }

    explicit PairedHistory(const PitchFilter& f)
        : x0(load(f.x, 0)), x1(load(f.x, 1)), x2(load(f.x, 2)), x3(load(f.x, 3)), x4(load(f.x, 4)),
          y0(load(f.y, 0)), y1(load(f.y, 1)), y2(load(f.y, 2)), y3(load(f.y, 3)), y4(load(f.y, 4)) {}
    void storeTo(PitchFilter& f) const {
        const __m128 xs[5] = {x0, x1, x2, x3, x4};
        const __m128 ys[5] = {y0, y1, y2, y3, y4};
        for (int k = 0; k < 5; ++k) {
            store(f.x, k, xs[k]);
            store(f.y, k, ys[k]);
        }
    }

    static __m128 mul(float c, __m128 v) { return _mm_mul_ps(_mm_set1_ps(c), v); }

    // History4::step on both lanes.
    template <PitchBranch Branch>
    void step(__m128 in, const __m128* a, const __m128* b) {
        x4 = x3, x3 = x2, x2 = x1, x1 = x0, x0 = in;
        y4 = y3, y3 = y2, y2 = y1, y1 = y0;
        const __m128 ys0 = _mm_setzero_ps();
        __m128 out;
        if constexpr (Branch == PitchBranch::Pass) {
            out = x0;
        } else if constexpr (Branch == PitchBranch::Top) {
            out = _mm_sub_ps(_mm_add_ps(_mm_sub_ps(_mm_add_ps(mul(0.8001101f, x0), mul(1.60022f, x1)), mul(1.556269f, y1)),
                                        mul(0.8001101f, x2)),
                             mul(0.6441713f, y2));
        } else if constexpr (Branch == PitchBranch::Chebyshev) {
            out = _mm_setzero_ps();
            out = _mm_add_ps(out, _mm_add_ps(_mm_mul_ps(a[0], x0), _mm_mul_ps(b[0], ys0)));
            out = _mm_add_ps(out, _mm_add_ps(_mm_mul_ps(a[1], x1), _mm_mul_ps(b[1], y1)));
            out = _mm_add_ps(out, _mm_add_ps(_mm_mul_ps(a[2], x2), _mm_mul_ps(b[2], y2)));
            out = _mm_add_ps(out, _mm_add_ps(_mm_mul_ps(a[3], x3), _mm_mul_ps(b[3], y3)));
            out = _mm_add_ps(out, _mm_add_ps(_mm_mul_ps(a[4], x4), _mm_mul_ps(b[4], y4)));
        } else {
            out = _mm_sub_ps(_mm_add_ps(_mm_add_ps(_mm_add_ps(mul(0.0008663387f, x0), mul(0.001732678f, x1)),
                                                   mul(1.919129f, y1)),
                                        mul(0.0008663387f, x2)),
                             mul(0.9225943f, y2));
        }
        y0 = out;
    }
    void clear() { x0 = x1 = x2 = x3 = y0 = y1 = y2 = y3 = _mm_setzero_ps(); }
};

template <PitchBranch Branch>
void runBothOrder4Paired(PitchFilter& f, ResonantFilter& rf, float* __restrict left, float* __restrict right,
                         int count) {
    __m128 a[5];
    __m128 b[5];
    for (int k = 0; k < 5; ++k) {
        a[k] = _mm_set1_ps(f.A[k]);
        b[k] = _mm_set1_ps(f.B[k]);
    }
    PairedHistory h(f);
    // The resonant filter's states as pairs; its denormal guard goes to the left lane
    // only (adding +0 to the right one changes nothing: that state is never -0).
    const __m128 cf = _mm_set1_ps(rf.f.load(std::memory_order_relaxed));
    const __m128 feedback = _mm_set1_ps(rf.fb.load(std::memory_order_relaxed));
    const __m128 guard = _mm_set_ss(ResonantFilter::kDenormalGuard);
    __m128 s1 = PairedHistory::pair(rf.s1[0], rf.s1[1]);
    __m128 s2 = PairedHistory::pair(rf.s2[0], rf.s2[1]);
    for (int i = 0; i < count; ++i) {
        h.step<Branch>(PairedHistory::pair(left[i], right[i]), a, b);
        if (_mm_movemask_ps(_mm_cmpunord_ps(h.y0, h.y0)) != 0) h.clear();
        // ResonantRun::step.
        s1 = _mm_add_ps(s1, _mm_mul_ps(cf, _mm_add_ps(_mm_sub_ps(h.y0, s1), _mm_mul_ps(feedback, _mm_sub_ps(s1, s2)))));
        s2 = _mm_add_ps(s2, _mm_mul_ps(cf, _mm_sub_ps(s1, s2)));
        s1 = _mm_add_ps(s1, guard);
        if (_mm_movemask_ps(_mm_cmpunord_ps(s1, s1)) != 0) s1 = s2 = _mm_setzero_ps();
        left[i] = _mm_cvtss_f32(s2);
        right[i] = laneOf<1>(s2);
    }
    h.storeTo(f);
    rf.s1[0] = _mm_cvtss_f32(s1);
    rf.s1[1] = laneOf<1>(s1);
    rf.s2[0] = _mm_cvtss_f32(s2);
    rf.s2[1] = laneOf<1>(s2);
}
#endif

}  // namespace

void runOutputFilters(PitchFilter& pitchFilter, ResonantFilter& resonantFilter, float* left, float* right,
                      int count, float pitch) {
    if (pitchFilter.order != 4.0f) {
        pitchFilter.runBlock(left, right, count, pitch);
        resonantFilter.runBlock(left, right, count);
        return;
    }
    withBranch(pitch, [&](auto branch) {
#if GW_SSE2
        runBothOrder4Paired<branch>(pitchFilter, resonantFilter, left, right, count);
#else
        runBothOrder4<branch>(pitchFilter, resonantFilter, left, right, count);
#endif
    });
}

void ResonantFilter::updateFeedback() {
    const float cf = f.load(std::memory_order_relaxed);
    const float qq = q.load(std::memory_order_relaxed);
    fb.store(cf == 1.0f ? qq : qq + qq / (1.0001f - cf), std::memory_order_relaxed);
}

void ResonantFilter::setResonance(float reso) {
    q.store(reso == 0.0f ? 0.0f : 0.983f * engineSqrt(reso), std::memory_order_relaxed);
    updateFeedback();
}

void ResonantFilter::setCutoff(float cutoff) {
    f.store(cutoff, std::memory_order_relaxed);
    updateFeedback();
}

void ResonantFilter::run(float& left, float& right) {
    const float cf = f.load(std::memory_order_relaxed);
    const float feedback = fb.load(std::memory_order_relaxed);
    s1[0] = s1[0] + cf * ((left - s1[0]) + feedback * (s1[0] - s2[0]));
    s1[1] = s1[1] + cf * ((right - s1[1]) + feedback * (s1[1] - s2[1]));
    s2[0] = s2[0] + cf * (s1[0] - s2[0]);
    s2[1] = s2[1] + cf * (s1[1] - s2[1]);
    s1[0] += kDenormalGuard;
    if (std::isnan(s1[0]) || std::isnan(s1[1])) reset();
    left = s2[0];
    right = s2[1];
}

void ResonantFilter::runBlock(float* __restrict left, float* __restrict right, int count) {
    ResonantRun res(*this);
    for (int i = 0; i < count; ++i) res.step(left[i], right[i]);
    res.store(*this);
}

void ResonantFilter::reset() {
    s1[0] = s1[1] = s2[0] = s2[1] = 0.0f;
}

}  // namespace grainwheel
