#pragma once
// The morph synthesis as the engine computed it before its rotations came from
// sineCosine: each paired bin rotated with the platform library's sine and cosine, one
// bin at a time. The tests compare the engine's synthesis with it within the stated
// bound (kMorphSampleBound and the per-bin bound of the dsp tests).

#include <algorithm>
#include <cmath>
#include <utility>

#include "engine/dsp/morph.h"

namespace morphreference {

using namespace grainwheel;

constexpr int kM = kHalfTransform;

inline void valueAt(const float* s, const float* mag, float c, float& re, float& im) {
    int k = static_cast<int>(c);
    k = std::clamp(k, 0, kM - 1);
    const float phi = c - static_cast<float>(k);
    if (phi == 0.0f || k + 1 > kM - 1) {
        re = s[k];
        im = s[kM + k];
        return;
    }
    float x;
    float y;
    if (mag[k] > 0.0f) {
        const float r = ((1.0f - phi) * mag[k] + phi * mag[k + 1]) / mag[k];
        x = s[k] * r;
        y = s[kM + k] * r;
    } else {
        x = s[k + 1] * phi;
        y = s[kM + k + 1] * phi;
    }
    const float cp = std::cos(phi * kStoredPi);
    const float sp = std::sin(phi * kStoredPi);
    re = x * cp - y * sp;
    im = x * sp + y * cp;
}

// The pairing walk of the synthesis: fn(c, d, h) for each paired bin in order (its
// fractional bins in A and B and the result bin h between them). Returns where the walk
// stopped in A's and B's peaks.
template <typename Fn>
std::pair<int, int> forEachPairedBin(const PeakList& peaksA, const PeakList& peaksB, int algorithm, float f, Fn&& fn) {
    const float g = 1.0f - f;
    const int nA = peaksA.count;
    const int nB = peaksB.count;
    float rA = 1.0f;
    float rB = 1.0f;
    if (algorithm == kMorphEqual) {
        if (nB < nA)
            rB = static_cast<float>(nB) / static_cast<float>(nA);
        else
            rA = static_cast<float>(nA) / static_cast<float>(nB);
    }
    int ia = 0;
    int ib = 0;
    float sA = 0.0f;
    float sB = 0.0f;
    while (ia < nA && ib < nB) {
        const float a0 = peaksA.start[static_cast<std::size_t>(ia)];
        const int wa = peaksA.width[static_cast<std::size_t>(ia)];
        const float b0 = peaksB.start[static_cast<std::size_t>(ib)];
        const int wb = peaksB.width[static_cast<std::size_t>(ib)];
        const int count = std::max(wa, wb);
        float ratio = 0.0f;
        if (wa < wb)
            ratio = wb == 1 ? 0.0f : static_cast<float>(wa - 1) / static_cast<float>(wb - 1);
        else if (wb < wa)
            ratio = wa == 1 ? 0.0f : static_cast<float>(wb - 1) / static_cast<float>(wa - 1);
        for (int t = 0; t < count; ++t) {
            const float ft = static_cast<float>(t);
            float c;
            float d;
            if (wa < wb) {
                c = wa == 1 ? a0 : a0 + ft * ratio;
                d = b0 + ft;
            } else if (wb < wa) {
                c = a0 + ft;
                d = wb == 1 ? b0 : b0 + ft * ratio;
            } else {
                c = a0 + ft;
                d = b0 + ft;
            }
            float h = g * c + f * d;
            if (h >= 2047.0f) h -= 1.0f;
            fn(c, d, h);
        }
        sA += rA;
        sB += rB;
        ia = static_cast<int>(sA);
        ib = static_cast<int>(sB);
    }
    return {ia, ib};
}

// Same arguments as synthesizeSpectrum (the scratch arrays unused).
inline void synthesize(const float* a, const float* magA, const PeakList& peaksA, const float* b, const float* magB,
                       const PeakList& peaksB, int algorithm, float f, float* result, SynthesisScratch&) {
    const float g = 1.0f - f;
    const int nA = peaksA.count;
    const int nB = peaksB.count;
    if (nA == 0 || nB == 0) {
        for (int k = 0; k < kTransformSize; ++k) result[k] = g * a[k] + f * b[k];
        return;
    }
    std::fill(result, result + kTransformSize, 0.0f);
    result[0] = g * a[0] + f * b[0];
    constexpr float twoPiOverN = 2.0f * kStoredPi / static_cast<float>(kTransformSize);
    const auto [ia, ib] = forEachPairedBin(peaksA, peaksB, algorithm, f, [&](float c, float d, float h) {
        float aRe, aIm, bRe, bIm;
        valueAt(a, magA, c, aRe, aIm);
        valueAt(b, magB, d, bRe, bIm);
        const float ta = twoPiOverN * (h - c);
        const float tb = twoPiOverN * (h - d);
        const float ca = std::cos(ta), sa = std::sin(ta);
        const float cb = std::cos(tb), sb = std::sin(tb);
        const float re = g * (aRe * ca - aIm * sa) + f * (bRe * cb - bIm * sb);
        const float im = g * (aRe * sa + aIm * ca) + f * (bRe * sb + bIm * cb);
        int s = static_cast<int>(h);
        s = std::clamp(s, 0, kM - 2);
        const float lambda = h - static_cast<float>(s);
        result[s] += (1.0f - lambda) * re;
        result[s + 1] += lambda * re;
        result[kM + s] += (1.0f - lambda) * im;
        result[kM + s + 1] += lambda * im;
    });
    if (nA != nB && (algorithm == kMorphLinear || algorithm == kMorphWeighted)) {
        const bool weighted = algorithm == kMorphWeighted;
        if (ia >= nA && ib < nB) {
            const float w = weighted ? f : 1.0f;
            for (int k = std::max<int>(peaksB.start[static_cast<std::size_t>(ib)], 0); k <= kM - 1; ++k) {
                result[k] += w * b[k];
                result[kM + k] += w * b[kM + k];
            }
        } else if (ib >= nB && ia < nA) {
            const float w = weighted ? g : 1.0f;
            for (int k = std::max<int>(peaksA.start[static_cast<std::size_t>(ia)], 0); k <= kM - 1; ++k) {
                result[k] += w * a[k];
                result[kM + k] += w * a[kM + k];
            }
        }
    }
}

// The magnitudes the paired bins bring to each result bin: budget[k] (k < kM) sums, over
// the paired bins that add into bin k, their share times |g| |A(c)| + |f| |B(d)| (the
// values before any rotation). A rotation whose sine and cosine are each off by e moves
// a value by at most sqrt(2) e times its magnitude, so the synthesis's bin k moves by at
// most a small multiple of e times budget[k] when its sines and cosines change.
inline void pairedBudget(const float* a, const float* magA, const PeakList& peaksA, const float* b, const float* magB,
                         const PeakList& peaksB, int algorithm, float f, double* budget) {
    std::fill(budget, budget + kM, 0.0);
    const float g = 1.0f - f;
    if (peaksA.count == 0 || peaksB.count == 0) return;
    // |value at c| before its rotation: the rotation itself keeps the magnitude.
    const auto magnitudeAt = [](const float* s, const float* mag, float c) {
        float re, im;
        int k = std::clamp(static_cast<int>(c), 0, kM - 1);
        const float phi = c - static_cast<float>(k);
        if (phi == 0.0f || k + 1 > kM - 1) return std::hypot(static_cast<double>(s[k]), static_cast<double>(s[kM + k]));
        valueAt(s, mag, c, re, im);
        return std::hypot(static_cast<double>(re), static_cast<double>(im));
    };
    forEachPairedBin(peaksA, peaksB, algorithm, f, [&](float c, float d, float h) {
        const double m = std::fabs(g) * magnitudeAt(a, magA, c) + std::fabs(f) * magnitudeAt(b, magB, d);
        const int s = std::clamp(static_cast<int>(h), 0, kM - 2);
        const double lambda = h - static_cast<float>(s);  // outside 0..1 where h is clamped
        budget[s] += std::fabs(1.0 - lambda) * m;
        budget[s + 1] += std::fabs(lambda) * m;
    });
}

}  // namespace morphreference
