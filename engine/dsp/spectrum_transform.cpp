#include "engine/dsp/spectrum_transform.h"
#include "engine/dsp/vector_code.h"

#include <cmath>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define GW_MAGNITUDE_SSE2 1
#include <emmintrin.h>
#endif

#include "engine/dsp/filters.h"

// The real transform runs as a 2048-point complex transform of the even/odd sample
// pairs (radix-4 Stockham passes on split real/imaginary arrays, so every inner loop
// is a contiguous, vectorisable sweep), followed by the split step that separates the
// spectra of the even and odd samples. The inverse undoes the split step and runs the
// same complex passes with real and imaginary parts exchanged.

namespace grainwheel {

namespace {

constexpr int kN = kTransformSize;  // 4096
constexpr int kM = kN / 2;          // 2048 complex points
constexpr int kQuarter = kM / 4;    // 512

// One radix-4 pass with stride s over m = 512 / s butterfly groups.
// tw holds w1 re, w1 im, w2 re, w2 im, w3 re, w3 im, m entries each.
template <int S>
GW_INLINE void radix4Pass(const float* GW_RESTRICT xr, const float* GW_RESTRICT xi, float* GW_RESTRICT yr,
                float* GW_RESTRICT yi, int sRuntime, const float* GW_RESTRICT tw) {
    const int s = S > 0 ? S : sRuntime;
    const int m = kQuarter / s;
    const float* w1r = tw;
    const float* w1i = tw + m;
    const float* w2r = tw + 2 * m;
    const float* w2i = tw + 3 * m;
    const float* w3r = tw + 4 * m;
    const float* w3i = tw + 5 * m;
    for (int p = 0; p < m; ++p) {
        const float c1 = w1r[p], d1 = w1i[p], c2 = w2r[p], d2 = w2i[p], c3 = w3r[p], d3 = w3i[p];
        const float* ar = xr + s * p;
        const float* ai = xi + s * p;
        const float* br = ar + kQuarter;
        const float* bi = ai + kQuarter;
        const float* cr = ar + 2 * kQuarter;
        const float* ci = ai + 2 * kQuarter;
        const float* dr = ar + 3 * kQuarter;
        const float* di = ai + 3 * kQuarter;
        float* y0r = yr + 4 * s * p;
        float* y0i = yi + 4 * s * p;
        float* y1r = y0r + s;
        float* y1i = y0i + s;
        float* y2r = y0r + 2 * s;
        float* y2i = y0i + 2 * s;
        float* y3r = y0r + 3 * s;
        float* y3i = y0i + 3 * s;
        for (int q = 0; q < s; ++q) {
            const float apcR = ar[q] + cr[q], apcI = ai[q] + ci[q];
            const float amcR = ar[q] - cr[q], amcI = ai[q] - ci[q];
            const float bpdR = br[q] + dr[q], bpdI = bi[q] + di[q];
            const float bmdR = br[q] - dr[q], bmdI = bi[q] - di[q];
            y0r[q] = apcR + bpdR;
            y0i[q] = apcI + bpdI;
            const float u1r = amcR + bmdI, u1i = amcI - bmdR;  // (a - c) - i (b - d)
            y1r[q] = u1r * c1 - u1i * d1;
            y1i[q] = u1r * d1 + u1i * c1;
            const float u2r = apcR - bpdR, u2i = apcI - bpdI;
            y2r[q] = u2r * c2 - u2i * d2;
            y2i[q] = u2r * d2 + u2i * c2;
            const float u3r = amcR - bmdI, u3i = amcI + bmdR;  // (a - c) + i (b - d)
            y3r[q] = u3r * c3 - u3i * d3;
            y3i[q] = u3r * d3 + u3i * c3;
        }
    }
}

// First pass (stride 1) reading the real block as complex pairs z[t] = x[2t] + i x[2t+1].
GW_INLINE void firstPassInterleaved(const float* GW_RESTRICT x, float* GW_RESTRICT yr, float* GW_RESTRICT yi,
                          const float* GW_RESTRICT tw) {
    const int m = kQuarter;
    for (int p = 0; p < m; ++p) {
        const float ar = x[2 * p], ai = x[2 * p + 1];
        const float br = x[2 * (p + m)], bi = x[2 * (p + m) + 1];
        const float cr = x[2 * (p + 2 * m)], ci = x[2 * (p + 2 * m) + 1];
        const float dr = x[2 * (p + 3 * m)], di = x[2 * (p + 3 * m) + 1];
        const float apcR = ar + cr, apcI = ai + ci, amcR = ar - cr, amcI = ai - ci;
        const float bpdR = br + dr, bpdI = bi + di, bmdR = br - dr, bmdI = bi - di;
        const float c1 = tw[p], d1 = tw[m + p], c2 = tw[2 * m + p], d2 = tw[3 * m + p];
        const float c3 = tw[4 * m + p], d3 = tw[5 * m + p];
        yr[4 * p] = apcR + bpdR;
        yi[4 * p] = apcI + bpdI;
        const float u1r = amcR + bmdI, u1i = amcI - bmdR;
        yr[4 * p + 1] = u1r * c1 - u1i * d1;
        yi[4 * p + 1] = u1r * d1 + u1i * c1;
        const float u2r = apcR - bpdR, u2i = apcI - bpdI;
        yr[4 * p + 2] = u2r * c2 - u2i * d2;
        yi[4 * p + 2] = u2r * d2 + u2i * c2;
        const float u3r = amcR - bmdI, u3i = amcI + bmdR;
        yr[4 * p + 3] = u3r * c3 - u3i * d3;
        yi[4 * p + 3] = u3r * d3 + u3i * c3;
    }
}

// Closing radix-2 pass (stride 1024).
GW_INLINE void radix2Pass(const float* GW_RESTRICT xr, const float* GW_RESTRICT xi, float* GW_RESTRICT yr,
                float* GW_RESTRICT yi) {
    constexpr int h = kM / 2;
    for (int q = 0; q < h; ++q) {
        const float ar = xr[q], ai = xi[q], br = xr[q + h], bi = xi[q + h];
        yr[q] = ar + br;
        yi[q] = ai + bi;
        yr[q + h] = ar - br;
        yi[q + h] = ai - bi;
    }
}

constexpr int twiddleOffset(int pass) {  // pass 0..4, m = 512 / 4^pass
    int offset = 0;
    int m = kQuarter;
    for (int i = 0; i < pass; ++i) {
        offset += 6 * m;
        m /= 4;
    }
    return offset;
}

}  // namespace

SpectrumTransform::SpectrumTransform() {
    static_assert(twiddleOffset(5) == kStageTwiddles, "one table entry per pass twiddle");
    int m = kQuarter;
    int n = kM;
    for (int pass = 0; pass < 5; ++pass) {
        float* tw = stageTwiddles_.data() + twiddleOffset(pass);
        for (int p = 0; p < m; ++p) {
            for (int r = 1; r <= 3; ++r) {
                const double angle = -2.0 * kPiDouble * static_cast<double>(r * p) / n;
                tw[(2 * r - 2) * m + p] = static_cast<float>(std::cos(angle));
                tw[(2 * r - 1) * m + p] = static_cast<float>(std::sin(angle));
            }
        }
        m /= 4;
        n /= 4;
    }
    for (int k = 0; k < kM / 2; ++k) {
        const double angle = 2.0 * kPiDouble * k / kN;
        splitCos_[static_cast<std::size_t>(k)] = static_cast<float>(std::cos(angle));
        splitSin_[static_cast<std::size_t>(k)] = static_cast<float>(std::sin(angle));
    }
}

namespace {

// Scratch and tables of one instance, as the kernels see them.
struct Work {
    float* re0;
    float* im0;
    float* re1;
    float* im1;
    const float* tw;
    const float* splitCos;
    const float* splitSin;
};

// Radix-4 passes 2 to 5 and the closing radix-2 pass, from (re0, im0) after pass 1 to
// (re1, im1); `swapped` exchanges real and imaginary parts (the inverse).
GW_INLINE void complexPasses(const Work& w, bool swapped) {
    float* r0 = swapped ? w.im0 : w.re0;
    float* i0 = swapped ? w.re0 : w.im0;
    float* r1 = swapped ? w.im1 : w.re1;
    float* i1 = swapped ? w.re1 : w.im1;
    radix4Pass<4>(r0, i0, r1, i1, 4, w.tw + twiddleOffset(1));
    radix4Pass<0>(r1, i1, r0, i0, 16, w.tw + twiddleOffset(2));
    radix4Pass<0>(r0, i0, r1, i1, 64, w.tw + twiddleOffset(3));
    radix4Pass<0>(r1, i1, r0, i0, 256, w.tw + twiddleOffset(4));
    radix2Pass(r0, i0, r1, i1);
}

// The split step of the forward transform: X[k] = E[k] + W^k O[k] with E, O the
// spectra of even and odd samples. A function of its own with arrays that do not
// overlap, so that its two sweeps (an index up, its mirror down) vectorise.
GW_CLONES void splitForward(const float* GW_RESTRICT zr, const float* GW_RESTRICT zi,
                                        const float* GW_RESTRICT splitCos, const float* GW_RESTRICT splitSin,
                                        float* GW_RESTRICT out) {
    out[0] = zr[0] + zi[0];
    out[kM] = zr[0] - zi[0];
    for (int k = 1; k < kM / 2; ++k) {
        const int j = kM - k;
        const float er = 0.5f * (zr[k] + zr[j]);
        const float ei = 0.5f * (zi[k] - zi[j]);
        const float a = 0.5f * (zi[k] + zi[j]);
        const float b = 0.5f * (zr[j] - zr[k]);
        const float c = splitCos[k];
        const float s = splitSin[k];
        const float p = c * a + s * b;
        const float q = c * b - s * a;
        out[k] = er + p;
        out[kM + k] = -(ei + q);
        out[j] = er - p;
        out[kM + j] = ei - q;
    }
    out[kM / 2] = zr[kM / 2];
    out[kM + kM / 2] = zi[kM / 2];
}

// Undoes the split step of the inverse: Z'[k] = (X[k] + X*[M-k]) + i W^-k (X[k] - X*[M-k]).
GW_CLONES void splitInverse(const float* GW_RESTRICT in, const float* GW_RESTRICT splitCos,
                                        const float* GW_RESTRICT splitSin, float* GW_RESTRICT zr,
                                        float* GW_RESTRICT zi) {
    zr[0] = in[0] + in[kM];
    zi[0] = in[0] - in[kM];
    for (int k = 1; k < kM / 2; ++k) {
        const int j = kM - k;
        const float xr = in[k], xi = -in[kM + k];
        const float yr = in[j], yi = -in[kM + j];
        const float fr = xr + yr, fi = xi - yi;
        const float gr = xr - yr, gi = xi + yi;
        const float c = splitCos[k];
        const float s = splitSin[k];
        const float u = s * gr + c * gi;
        const float v = c * gr - s * gi;
        zr[k] = fr - u;
        zi[k] = fi + v;
        zr[j] = fr + u;
        zi[j] = v - fi;
    }
    zr[kM / 2] = 2.0f * in[kM / 2];
    zi[kM / 2] = 2.0f * in[kM + kM / 2];
}

GW_CLONES void forwardKernel(const Work& w, const float* in, float* out) {
    firstPassInterleaved(in, w.re0, w.im0, w.tw);
    complexPasses(w, false);
    splitForward(w.re1, w.im1, w.splitCos, w.splitSin, out);
}

GW_CLONES void inverseKernel(const Work& w, const float* in, float* out) {
    splitInverse(in, w.splitCos, w.splitSin, w.re1, w.im1);
    // Inverse complex transform = forward transform with re and im exchanged.
    radix4Pass<1>(w.im1, w.re1, w.im0, w.re0, 1, w.tw);
    complexPasses(w, true);
    float* GW_RESTRICT o = out;  // the scratch never overlaps the caller's array
    const float* GW_RESTRICT zr = w.re1;
    const float* GW_RESTRICT zi = w.im1;
    for (int t = 0; t < kM; ++t) {
        o[2 * t] = zr[t];
        o[2 * t + 1] = zi[t];
    }
}

}  // namespace

void SpectrumTransform::forward(const float* in, float* out) {
    const Work w{re0_.data(), im0_.data(), re1_.data(), im1_.data(), stageTwiddles_.data(),
                 splitCos_.data(), splitSin_.data()};
    forwardKernel(w, in, out);
}

void SpectrumTransform::inverse(const float* in, float* out) {
    const Work w{re0_.data(), im0_.data(), re1_.data(), im1_.data(), stageTwiddles_.data(),
                 splitCos_.data(), splitSin_.data()};
    inverseKernel(w, in, out);
}

void SpectrumTransform::rescale(float* data) {
    constexpr float scale = 1.0f / static_cast<float>(kN);
    for (int i = 0; i < kN; ++i) data[i] *= scale;
}

void SpectrumTransform::binMagnitudes(const float* spectrum, float* out, int first, int last) {
    int k = first;
#if defined(GW_MAGNITUDE_SSE2)
    // The square root of the sum rounded once, as the scalar root does; below 1e-36 the
    // engine's root is 0 (a NaN stays NaN: it compares false).
    const __m128 tiny = _mm_set1_ps(1e-36f);
    for (; k + 4 <= last; k += 4) {
        const __m128 re = _mm_loadu_ps(spectrum + k);
        const __m128 im = _mm_loadu_ps(spectrum + kM + k);
        const __m128 power = _mm_add_ps(_mm_mul_ps(re, re), _mm_mul_ps(im, im));
        _mm_storeu_ps(out + k, _mm_andnot_ps(_mm_cmplt_ps(power, tiny), _mm_sqrt_ps(power)));
    }
#endif
    for (; k < last; ++k) {
        const float re = spectrum[k];
        const float im = spectrum[kM + k];
        out[k] = engineSqrt(re * re + im * im);
    }
}

const float* SpectrumTransform::magnitudeSpectrum(const float* block) {
    forward(block, spectrum_.data());
    float* m = magnitudes_.data();
    binMagnitudes(spectrum_.data(), m, 1, kM);
    for (int k = 1; k < kM; ++k) {  // bin k to entry k - 1
        const float mag = m[k];
        m[k - 1] = std::isnan(mag) ? 1.0f : mag;
    }
    for (int i = kM - 1; i < kN; ++i) magnitudes_[static_cast<std::size_t>(i)] = 0.0f;
    return magnitudes_.data();
}

}  // namespace grainwheel
