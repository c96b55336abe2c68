#include "engine/dsp/morph.h"

#include <algorithm>
#include <cmath>

#include "engine/dsp/filters.h"
#include "engine/dsp/spectrum_transform.h"
#include "engine/dsp/voice_block.h"

namespace grainwheel {

namespace {

constexpr int kM = kHalfTransform;  // 2048

// One analysis sample: interpolation towards the next frame (the guard frame after
// the last one), the envelope applied, both channels averaged into the grain array.
void analysisSample(GrainVoice& v, const BufferView& buffer, float pitch, int envelopeType) {
    if (buffer.empty()) {
        v.precomputedIndex += 1;
        return;
    }
    const float length = static_cast<float>(buffer.length);
    PlayHead::fold(v.readPosition, length);
    const float e = envelopeValue(v, envelopeType);
    const int idx = static_cast<int>(v.readPosition);
    const float frac = v.readPosition - static_cast<float>(idx);
    float l = buffer.left[idx];
    float r = buffer.right[idx];
    if (frac != 0.0f) {
        l = l + frac * (buffer.left[idx + 1] - l);
        r = r + frac * (buffer.right[idx + 1] - r);
    }
    if (v.precomputedIndex >= 0 && v.precomputedIndex < kTransformSize)
        v.precomputedGrain[static_cast<std::size_t>(v.precomputedIndex)] = (e * l + e * r) / 2.0f;
    v.precomputedIndex += 1;
    v.readPosition += pitch;
    PlayHead::wrap(v.readPosition, length);
}

// Value of a packed spectrum at the fractional bin c: the magnitude interpolated
// between bin k and k + 1, the phase of bin k advanced by the fraction times pi.
void valueAt(const float* s, const float* mag, float c, float& re, float& im) {
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
    } else {  // no phase at bin k: take bin k + 1's, weighted by the fraction
        x = s[k + 1] * phi;
        y = s[kM + k + 1] * phi;
    }
    const float cp = std::cos(phi * kStoredPi);
    const float sp = std::sin(phi * kStoredPi);
    re = x * cp - y * sp;
    im = x * sp + y * cp;
}

}  // namespace

void renderAnalysisGrain(GrainVoice& v, const BufferView& buffer, float pitch, int envelopeType) {
    v.precomputedIndex = 0;
    if (buffer.empty()) {
        while (v.remaining > 0 && v.precomputedIndex < kTransformSize) {
            v.remaining -= 1;
            analysisSample(v, buffer, pitch, envelopeType);
        }
    } else {
        // analysisSample over the grain with its running values in locals, the envelope
        // computed a chunk at a time (it does not depend on the position).
        constexpr int kChunk = 256;
        const int count = std::clamp(v.remaining, 0, kTransformSize);
        const float* left = buffer.left;
        const float* right = buffer.right;
        const float length = static_cast<float>(buffer.length);
        float* grain = v.precomputedGrain.data();
        float pos = v.readPosition;
        float e[kChunk];
        for (int n0 = 0; n0 < count; n0 += kChunk) {
            const int m = std::min(kChunk, count - n0);
            envelopeValues(v, envelopeType, e, m);
            for (int i = 0; i < m; ++i) {
                PlayHead::fold(pos, length);
                const int idx = static_cast<int>(pos);
                const float frac = pos - static_cast<float>(idx);
                float l = left[idx];
                float r = right[idx];
                if (frac != 0.0f) {
                    l = l + frac * (left[idx + 1] - l);
                    r = r + frac * (right[idx + 1] - r);
                }
                grain[n0 + i] = (e[i] * l + e[i] * r) / 2.0f;
                pos += pitch;
                PlayHead::wrap(pos, length);
            }
        }
        v.readPosition = pos;
        v.precomputedIndex = count;
    }
    v.remaining = v.precomputedIndex;
    for (int i = v.precomputedIndex; i < kTransformSize; ++i)
        v.precomputedGrain[static_cast<std::size_t>(i)] = 0.0f;
}

int findPeaks(const float* spectrum, float* m, PeakList& peaks) {
    peaks.clear();
    auto& st = peaks.start;
    auto& wd = peaks.width;
    int n = 0;
    m[0] = spectrum[0];
    // The scan below reads every magnitude up to bin kM - 1: all computed at once.
    SpectrumTransform::binMagnitudes(spectrum, m, 1, kM);
    int j = 0;
    for (int k = 1; k <= kM - 2; ++k) {
        if (m[k] > 1.0f) {
            st[0] = static_cast<std::int16_t>(k);
            wd[0] = 1;
            j = k;
            break;
        }
    }
    for (int k = j + 1; k < kM - 1 && n < kMaxPeaks; ++k) {
        const float prev = m[k - 1];
        const float cur = m[k];
        const float next = m[k + 1];
        if (prev <= cur) {
            if (cur > 1.0f) {
                st[n] = static_cast<std::int16_t>(k);
                wd[n] = static_cast<std::int16_t>(wd[n] + 1);
            }
        } else if (prev > 1.0f) {
            if (cur > next && cur > 1.0f) {
                st[n] = static_cast<std::int16_t>(k);
                wd[n] = static_cast<std::int16_t>(wd[n] + 1);
            } else {
                st[n] = static_cast<std::int16_t>(st[n] - (wd[n] - 1));
                wd[n] = static_cast<std::int16_t>(wd[n] + 1);
                n += 1;
            }
        }
    }
    peaks.count = n;
    return n;
}

void synthesizeSpectrum(const float* a, const float* magA, const PeakList& peaksA, const float* b,
                        const float* magB, const PeakList& peaksB, int algorithm, float f,
                        float* result) {
    const float g = 1.0f - f;
    const int nA = peaksA.count;
    const int nB = peaksB.count;
    if (nA == 0 || nB == 0) {
        for (int k = 0; k < kTransformSize; ++k) result[k] = g * a[k] + f * b[k];
        return;
    }
    std::fill(result, result + kTransformSize, 0.0f);
    result[0] = g * a[0] + f * b[0];
    float rA = 1.0f;
    float rB = 1.0f;
    if (algorithm == kMorphEqual) {
        if (nB < nA)
            rB = static_cast<float>(nB) / static_cast<float>(nA);
        else
            rA = static_cast<float>(nA) / static_cast<float>(nB);
    }
    constexpr float twoPiOverN = 2.0f * kStoredPi / static_cast<float>(kTransformSize);
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
        }
        sA += rA;
        sB += rB;
        ia = static_cast<int>(sA);
        ib = static_cast<int>(sB);
    }
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

void spectrumToScope(const float* spectrum, float* scope) {
    SpectrumTransform::binMagnitudes(spectrum, scope, 1, kM);
    for (int k = 1; k < kM; ++k) {  // bin k to entry k - 1
        const float mag = scope[k];
        scope[k - 1] = std::isnan(mag) ? 1.0f : mag;
    }
    std::fill(scope + kM - 1, scope + kTransformSize, 0.0f);
}

void SpectralMorph::analyse(GrainVoice& v, const BufferView& buffer, float pitch, int envelopeType,
                            SpectrumTransform& transform, float* spectrum, float* magnitudes,
                            PeakList& peaks) {
    if (!buffer.empty()) {
        renderAnalysisGrain(v, buffer, pitch, envelopeType);
        transform.forward(v.precomputedGrain.data(), spectrum);
        findPeaks(spectrum, magnitudes, peaks);
    } else {
        std::fill(spectrum, spectrum + kTransformSize, 0.0f);
        const int n = std::clamp(v.remaining, 0, kTransformSize);
        std::fill(v.precomputedGrain.begin(), v.precomputedGrain.begin() + n, 0.0f);
        peaks.clear();
    }
    v.renderMode = kRenderPrecomputed;
    v.precomputedIndex = 0;
}

bool SpectralMorph::analyseSource(GrainVoice& v, const BufferView& buffer, float pitch,
                                  int envelopeType, SpectrumTransform& transform,
                                  bool scopeSingleGrain) {
    analyse(v, buffer, pitch, envelopeType, transform, sourceSpectrum.data(), sourceMagnitudes.data(),
            sourcePeaks);
    if (!scopeSingleGrain || buffer.empty()) return false;
    for (int k = 1; k < kM; ++k) {
        const float mag = sourceMagnitudes[static_cast<std::size_t>(k)];
        scope_[static_cast<std::size_t>(k - 1)] = std::isnan(mag) ? 1.0f : mag;
    }
    std::fill(scope_.begin() + kM - 1, scope_.end(), 0.0f);
    return true;
}

void SpectralMorph::analyseTarget(GrainVoice& v, const BufferView& buffer, float pitch,
                                  int envelopeType, SpectrumTransform& transform) {
    analyse(v, buffer, pitch, envelopeType, transform, targetSpectrum.data(), targetMagnitudes.data(),
            targetPeaks);
}

MorphSynthesis SpectralMorph::synthesise(GrainVoice& v, int algorithm, int stepsize, int morphStep,
                                         SpectrumTransform& transform, bool scopeSingleGrain) {
    synthesizeSpectrum(sourceSpectrum.data(), sourceMagnitudes.data(), sourcePeaks,
                       targetSpectrum.data(), targetMagnitudes.data(), targetPeaks, algorithm,
                       morphFraction(morphStep, stepsize), resultSpectrum.data());
    MorphSynthesis out;
    if (scopeSingleGrain) {
        spectrumToScope(resultSpectrum.data(), scope_.data());
        out.scopeReady = true;
    }
    transform.inverse(resultSpectrum.data(), v.precomputedGrain.data());
    SpectrumTransform::rescale(v.precomputedGrain.data());
    v.precomputedIndex = 0;
    v.renderMode = kRenderPrecomputed;
    // ">=" rather than "==": a Stepsize lowered during a morph still ends it.
    out.last = morphStep >= morphStepCount(stepsize) - 2;
    return out;
}

}  // namespace grainwheel
