#include "engine/dsp/morph.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <type_traits>

#include "engine/dsp/filters.h"
#include "engine/dsp/sine_cosine.h"
#include "engine/dsp/spectrum_transform.h"
#include "engine/dsp/vector_code.h"

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

constexpr int kBatch = SynthesisScratch::kBatch;
constexpr float kTwoPiOverN = 2.0f * kStoredPi / static_cast<float>(kTransformSize);
constexpr std::int32_t kBits2047 = std::bit_cast<std::int32_t>(2047.0f);
constexpr std::uint32_t kBitsOne = std::bit_cast<std::uint32_t>(1.0f);

// Bin h of each paired bin (between c and d), its angles from c and d to h, and its
// split into bins s and s + 1.
GW_CLONES void placeBatch(const float* GW_RESTRICT c, const float* GW_RESTRICT d, int n, float g, float f,
                          std::int32_t* GW_RESTRICT bin, float* GW_RESTRICT lambda, float* GW_RESTRICT shift) {
    for (int i = 0; i < n; ++i) {
        // h - 1 from 2047 on, compared on the bits to keep the loop free of branches: as
        // integers they order as the floats for every value that is not negative, and a
        // negative h is below 2047 either way (a NaN stays NaN).
        const float h0 = g * c[i] + f * d[i];
        const std::uint32_t past = 0u - static_cast<std::uint32_t>(std::bit_cast<std::int32_t>(h0) >= kBits2047);
        const float h = h0 - std::bit_cast<float>(past & kBitsOne);
        const int s = std::min(std::max(static_cast<int>(h), 0), kM - 2);
        bin[i] = s;
        lambda[i] = h - static_cast<float>(s);
        shift[i] = kTwoPiOverN * (h - c[i]);
        shift[n + i] = kTwoPiOverN * (h - d[i]);
    }
}

// Value of a packed spectrum at the fractional bin c: the magnitude interpolated
// between bin k and k + 1, the phase of bin k advanced by the fraction times pi. Stores
// the value before that rotation at x, y and, where the rotation applies (not at a whole
// bin), appends its angle and entry to the batch's list; returns the list's new length.
GW_INLINE int valueAt(const float* s, const float* mag, float c, SynthesisScratch& w, int entry, int rotations) {
    const auto e = static_cast<std::size_t>(entry);
    int k = static_cast<int>(c);
    k = std::clamp(k, 0, kM - 1);
    const float phi = c - static_cast<float>(k);
    if (phi == 0.0f || k + 1 > kM - 1) {
        w.x[e] = s[k];
        w.y[e] = s[kM + k];
        return rotations;
    }
    if (mag[k] > 0.0f) {
        const float r = ((1.0f - phi) * mag[k] + phi * mag[k + 1]) / mag[k];
        w.x[e] = s[k] * r;
        w.y[e] = s[kM + k] * r;
    } else {  // no phase at bin k: take bin k + 1's, weighted by the fraction
        w.x[e] = s[k + 1] * phi;
        w.y[e] = s[kM + k + 1] * phi;
    }
    w.fraction[static_cast<std::size_t>(rotations)] = phi * kStoredPi;
    w.rotated[static_cast<std::size_t>(rotations)] = entry;
    return rotations + 1;
}

// The values at c and d advanced to h, weighted g and f and summed, then split into the
// shares of bins s and s + 1.
GW_CLONES void rotateBatch(const float* GW_RESTRICT x, const float* GW_RESTRICT y, const float* GW_RESTRICT sine,
                           const float* GW_RESTRICT cosine, const float* GW_RESTRICT lambda, int n, float g,
                           float f, float* GW_RESTRICT lowRe, float* GW_RESTRICT highRe, float* GW_RESTRICT lowIm,
                           float* GW_RESTRICT highIm) {
    for (int i = 0; i < n; ++i) {
        const float aRe = x[i], aIm = y[i], bRe = x[kBatch + i], bIm = y[kBatch + i];
        const float ca = cosine[i], sa = sine[i];
        const float cb = cosine[n + i], sb = sine[n + i];
        const float re = g * (aRe * ca - aIm * sa) + f * (bRe * cb - bIm * sb);
        const float im = g * (aRe * sa + aIm * ca) + f * (bRe * sb + bIm * cb);
        lowRe[i] = (1.0f - lambda[i]) * re;
        highRe[i] = lambda[i] * re;
        lowIm[i] = (1.0f - lambda[i]) * im;
        highIm[i] = lambda[i] * im;
    }
}

// Adds the batch's n paired bins (their c, d and values set, the `rotations` within a bin
// they need listed) into the result, each bin's sum in the order they were paired.
void flushBatch(SynthesisScratch& w, int n, int rotations, float g, float f, float* result) {
    if (n == 0) return;
    placeBatch(w.c.data(), w.d.data(), n, g, f, w.bin.data(), w.lambda.data(), w.shift.data());
    sineCosine(w.fraction.data(), w.fractionSin.data(), w.fractionCos.data(), rotations);
    for (int j = 0; j < rotations; ++j) {
        const auto e = static_cast<std::size_t>(w.rotated[static_cast<std::size_t>(j)]);
        const float cp = w.fractionCos[static_cast<std::size_t>(j)];
        const float sp = w.fractionSin[static_cast<std::size_t>(j)];
        const float x = w.x[e];
        const float y = w.y[e];
        w.x[e] = x * cp - y * sp;
        w.y[e] = x * sp + y * cp;
    }
    sineCosine(w.shift.data(), w.shiftSin.data(), w.shiftCos.data(), 2 * n);
    rotateBatch(w.x.data(), w.y.data(), w.shiftSin.data(), w.shiftCos.data(), w.lambda.data(), n, g, f,
                w.lowRe.data(), w.highRe.data(), w.lowIm.data(), w.highIm.data());
    const std::int32_t* bin = w.bin.data();
    for (int i = 0; i < n; ++i) {
        const int s = bin[i];
        const auto u = static_cast<std::size_t>(i);
        result[s] += w.lowRe[u];
        result[kM + s] += w.lowIm[u];
        result[s + 1] += w.highRe[u];
        result[kM + s + 1] += w.highIm[u];
    }
}

// The analysis grain of a non-empty buffer: analysisSample over `count` samples with
// the running values in locals, the envelope stepped in the same loop as the reads
// (walkEnvelope). The envelope's recursion and the read position's are chains of
// dependent operations, each as long as the grain: interleaved, they run side by side.
//
// Steady: the position starts inside the buffer and the step is neither negative nor as
// long as the buffer (nor NaN). The position then never leaves the buffer and one
// subtraction wraps it (a sum of two floats below L, an integer, rounds below 2L): the
// fold and the long wrap, which call the library, drop out of the loop, and with them
// the spills of the running values around those calls.
template <int Env, bool Steady>
void analysisRun(GrainVoice& v, const BufferView& buffer, float pitch, int count) {
    const float* left = buffer.left;
    const float* right = buffer.right;
    const float length = static_cast<float>(buffer.length);
    float* grain = v.precomputedGrain.data();
    float pos = v.readPosition;
    int n = 0;
    const auto sample = [&](float e) {
        if constexpr (!Steady) PlayHead::fold(pos, length);
        const int idx = static_cast<int>(pos);
        const float frac = pos - static_cast<float>(idx);
        float l = left[idx];
        float r = right[idx];
        if (frac != 0.0f) {
            l = l + frac * (left[idx + 1] - l);
            r = r + frac * (right[idx + 1] - r);
        }
        grain[n++] = (e * l + e * r) / 2.0f;
        pos += pitch;
        if constexpr (Steady) {
            if (pos >= length) pos -= length;
        } else {
            PlayHead::wrap(pos, length);
        }
    };
    walkEnvelope<Env>(v, count, sample);
    v.readPosition = pos;
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
        const int count = std::clamp(v.remaining, 0, kTransformSize);
        const float length = static_cast<float>(buffer.length);
        const bool steady = v.readPosition >= 0.0f && v.readPosition < length && pitch >= 0.0f && pitch < length;
        const auto run = [&](auto env) {
            if (steady)
                analysisRun<env, true>(v, buffer, pitch, count);
            else
                analysisRun<env, false>(v, buffer, pitch, count);
        };
        switch (envelopeType) {
        case kEnvTrapezoid: run(std::integral_constant<int, kEnvTrapezoid>{}); break;
        case kEnvRaisedCosine: run(std::integral_constant<int, kEnvRaisedCosine>{}); break;
        case kEnvHanning: run(std::integral_constant<int, kEnvHanning>{}); break;
        default: run(std::integral_constant<int, kEnvRectangular>{}); break;
        }
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
                        float* result, SynthesisScratch& scratch) {
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
    int ia = 0;
    int ib = 0;
    float sA = 0.0f;
    float sB = 0.0f;
    int n = 0;          // paired bins waiting in the batch
    int rotations = 0;  // rotations within a bin they need
    while (ia < nA && ib < nB) {
        const float a0 = peaksA.start[static_cast<std::size_t>(ia)];
        const int wa = peaksA.width[static_cast<std::size_t>(ia)];
        const float b0 = peaksB.start[static_cast<std::size_t>(ib)];
        const int wb = peaksB.width[static_cast<std::size_t>(ib)];
        const int count = std::max(wa, wb);
        // The narrower peak is stretched over the wider one's bins: bin t of the pair is
        // c = a0 + t stepA, d = b0 + t stepB (a width of 1 stays on its bin, a step of 0).
        float stepA = 1.0f;
        float stepB = 1.0f;
        if (wa < wb)
            stepA = wb == 1 ? 0.0f : static_cast<float>(wa - 1) / static_cast<float>(wb - 1);
        else if (wb < wa)
            stepB = wa == 1 ? 0.0f : static_cast<float>(wb - 1) / static_cast<float>(wa - 1);
        // The wider peak's side steps by whole bins: its values are the bins themselves
        // (where they lie inside the spectrum, as found peaks do).
        const bool wholeA = wa >= wb && a0 >= 0.0f && a0 + static_cast<float>(count - 1) <= kM - 1;
        const bool wholeB = wb >= wa && b0 >= 0.0f && b0 + static_cast<float>(count - 1) <= kM - 1;
        const int firstA = static_cast<int>(a0);
        const int firstB = static_cast<int>(b0);
        for (int t = 0; t < count; ++t) {
            const float c = a0 + static_cast<float>(t) * stepA;
            const float d = b0 + static_cast<float>(t) * stepB;
            const auto i = static_cast<std::size_t>(n);
            scratch.c[i] = c;
            scratch.d[i] = d;
            if (wholeA) {
                scratch.x[i] = a[firstA + t];
                scratch.y[i] = a[kM + firstA + t];
            } else {
                rotations = valueAt(a, magA, c, scratch, n, rotations);
            }
            if (wholeB) {
                scratch.x[kBatch + i] = b[firstB + t];
                scratch.y[kBatch + i] = b[kM + firstB + t];
            } else {
                rotations = valueAt(b, magB, d, scratch, kBatch + n, rotations);
            }
            if (++n == kBatch) {
                flushBatch(scratch, n, rotations, g, f, result);
                n = 0;
                rotations = 0;
            }
        }
        sA += rA;
        sB += rB;
        ia = static_cast<int>(sA);
        ib = static_cast<int>(sB);
    }
    flushBatch(scratch, n, rotations, g, f, result);
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
    synthesis(sourceSpectrum.data(), sourceMagnitudes.data(), sourcePeaks, targetSpectrum.data(),
              targetMagnitudes.data(), targetPeaks, algorithm, morphFraction(morphStep, stepsize),
              resultSpectrum.data(), synthesisScratch);
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
