#include "engine/dsp/spectrum_transform.h"
#include "engine/dsp/vector_code.h"

#include <cmath>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define GW_MAGNITUDE_SSE2 1
#include <emmintrin.h>
#endif

#include "engine/dsp/filters.h"

// The real transform runs as a 2048-point complex transform of the even/odd sample
// pairs (radix-4 Stockham passes on split real/imaginary arrays, so every inner loop
// is a contiguous, vectorisable sweep, and a closing radix-2 pass), followed by the split
// step that separates the spectra of the even and odd samples. The inverse undoes the
// split step and runs the same complex passes with real and imaginary parts exchanged.
// Passes 1 and 2 run as one sweep on vector types (firstTwoPasses; with compilers
// without them, as plain loops), the radix-2 pass within the sweep after it.
#if defined(__GNUC__)
#define GW_TRANSFORM_LANES 1
#endif

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

#if !defined(GW_TRANSFORM_LANES)
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
#endif

constexpr int twiddleOffset(int pass) {  // pass 0..4, m = 512 / 4^pass
    int offset = 0;
    int m = kQuarter;
    for (int i = 0; i < pass; ++i) {
        offset += 6 * m;
        m /= 4;
    }
    return offset;
}

#if defined(GW_TRANSFORM_LANES)
// Passes 1 and 2 (strides 1 and 4) as one sweep on whole vectors. The lanes are W
// consecutive butterfly groups p of pass 2; the four pass-1 butterflies feeding group p
// are those of groups p + 128 r, so every load (data and twiddles) is W consecutive
// values, and the sixteen results of each group are transposed into place on the way
// out. Every value is computed by the same operations as in the plain loops.

typedef float Lanes4 __attribute__((vector_size(16)));
#if defined(GW_WIDE_TARGET)
typedef float Lanes8 __attribute__((vector_size(32)));
#endif

template <class V>
GW_INLINE void loadLanes(V& v, const float* p) {
    std::memcpy(&v, p, sizeof(V));
}

template <class V>
GW_INLINE void storeLanes(float* p, const V& v) {
    std::memcpy(p, &v, sizeof(V));
}

// Pairs z[t] = x[2t] + i x[2t+1] of the real block, W of them from x.
GW_INLINE void loadPairs(Lanes4& re, Lanes4& im, const float* x) {
    Lanes4 a, b;
    loadLanes(a, x);
    loadLanes(b, x + 4);
    re = __builtin_shufflevector(a, b, 0, 2, 4, 6);
    im = __builtin_shufflevector(a, b, 1, 3, 5, 7);
}

#if defined(GW_WIDE_TARGET)
GW_INLINE void loadPairs(Lanes8& re, Lanes8& im, const float* x) {
    Lanes8 a, b;
    loadLanes(a, x);
    loadLanes(b, x + 8);
    re = __builtin_shufflevector(a, b, 0, 2, 4, 6, 8, 10, 12, 14);
    im = __builtin_shufflevector(a, b, 1, 3, 5, 7, 9, 11, 13, 15);
}
#endif

// Rows t[j] (lane l = group l) to y[16 l + j]: each group's sixteen results side by side.
GW_INLINE void storeTransposed(float* y, const Lanes4 (&t)[16]) {
    for (int g = 0; g < 4; ++g) {
        const Lanes4* r = t + 4 * g;
        const Lanes4 ab0 = __builtin_shufflevector(r[0], r[1], 0, 4, 1, 5);
        const Lanes4 ab1 = __builtin_shufflevector(r[0], r[1], 2, 6, 3, 7);
        const Lanes4 cd0 = __builtin_shufflevector(r[2], r[3], 0, 4, 1, 5);
        const Lanes4 cd1 = __builtin_shufflevector(r[2], r[3], 2, 6, 3, 7);
        storeLanes(y + 4 * g, __builtin_shufflevector(ab0, cd0, 0, 1, 4, 5));
        storeLanes(y + 16 + 4 * g, __builtin_shufflevector(ab0, cd0, 2, 3, 6, 7));
        storeLanes(y + 32 + 4 * g, __builtin_shufflevector(ab1, cd1, 0, 1, 4, 5));
        storeLanes(y + 48 + 4 * g, __builtin_shufflevector(ab1, cd1, 2, 3, 6, 7));
    }
}

#if defined(GW_WIDE_TARGET)
GW_INLINE void storeTransposed(float* y, const Lanes8 (&t)[16]) {
    for (int h = 0; h < 2; ++h) {
        const Lanes8* r = t + 8 * h;
        Lanes8 lo[4], hi[4];  // rows 2k and 2k + 1 interleaved, per 128-bit half
        for (int k = 0; k < 4; ++k) {
            lo[k] = __builtin_shufflevector(r[2 * k], r[2 * k + 1], 0, 8, 1, 9, 4, 12, 5, 13);
            hi[k] = __builtin_shufflevector(r[2 * k], r[2 * k + 1], 2, 10, 3, 11, 6, 14, 7, 15);
        }
        Lanes8 q[8];  // q[c] and q[4 + c]: rows 0-3 and 4-7 of columns c (low half) and c + 4 (high)
        for (int k = 0; k < 2; ++k) {
            q[4 * k] = __builtin_shufflevector(lo[2 * k], lo[2 * k + 1], 0, 1, 8, 9, 4, 5, 12, 13);
            q[4 * k + 1] = __builtin_shufflevector(lo[2 * k], lo[2 * k + 1], 2, 3, 10, 11, 6, 7, 14, 15);
            q[4 * k + 2] = __builtin_shufflevector(hi[2 * k], hi[2 * k + 1], 0, 1, 8, 9, 4, 5, 12, 13);
            q[4 * k + 3] = __builtin_shufflevector(hi[2 * k], hi[2 * k + 1], 2, 3, 10, 11, 6, 7, 14, 15);
        }
        for (int c = 0; c < 4; ++c) {
            storeLanes(y + 16 * c + 8 * h, __builtin_shufflevector(q[c], q[4 + c], 0, 1, 2, 3, 8, 9, 10, 11));
            storeLanes(y + 16 * (c + 4) + 8 * h,
                       __builtin_shufflevector(q[c], q[4 + c], 4, 5, 6, 7, 12, 13, 14, 15));
        }
    }
}
#endif

// The radix-4 butterfly of radix4Pass on lanes of groups p .. p + W - 1, in place on
// inputs and outputs re[k * step], im[k * step], k = 0..3; tw as there (m groups).
template <class V>
GW_INLINE void butterflyLanes(V* re, V* im, int step, const float* tw, int m, int p) {
    V c1, d1, c2, d2, c3, d3;
    loadLanes(c1, tw + p);
    loadLanes(d1, tw + m + p);
    loadLanes(c2, tw + 2 * m + p);
    loadLanes(d2, tw + 3 * m + p);
    loadLanes(c3, tw + 4 * m + p);
    loadLanes(d3, tw + 5 * m + p);
    V& ar = re[0];
    V& ai = im[0];
    V& br = re[step];
    V& bi = im[step];
    V& cr = re[2 * step];
    V& ci = im[2 * step];
    V& dr = re[3 * step];
    V& di = im[3 * step];
    const V apcR = ar + cr, apcI = ai + ci;
    const V amcR = ar - cr, amcI = ai - ci;
    const V bpdR = br + dr, bpdI = bi + di;
    const V bmdR = br - dr, bmdI = bi - di;
    ar = apcR + bpdR;
    ai = apcI + bpdI;
    const V u1r = amcR + bmdI, u1i = amcI - bmdR;  // (a - c) - i (b - d)
    br = u1r * c1 - u1i * d1;
    bi = u1r * d1 + u1i * c1;
    const V u2r = apcR - bpdR, u2i = apcI - bpdI;
    cr = u2r * c2 - u2i * d2;
    ci = u2r * d2 + u2i * c2;
    const V u3r = amcR - bmdI, u3i = amcI + bmdR;  // (a - c) + i (b - d)
    dr = u3r * c3 - u3i * d3;
    di = u3r * d3 + u3i * c3;
}

// x: the real block (kPairs) or the real parts, with xi the imaginary parts. Output in
// pass 2's order, as radix4Pass<4> leaves it.
template <class V, bool kPairs>
GW_INLINE void firstTwoPasses(const float* GW_RESTRICT x, const float* GW_RESTRICT xi, float* GW_RESTRICT yr,
                              float* GW_RESTRICT yi, const float* GW_RESTRICT tw) {
    constexpr int W = static_cast<int>(sizeof(V) / sizeof(float));
    constexpr int m = kQuarter / 4;  // pass 2's groups
    const float* tw2 = tw + twiddleOffset(1);
    for (int p = 0; p < m; p += W) {
        // Entry 4 r + k: input k, then output k, of the pass-1 butterfly of group p + m r;
        // then entry 4 r + q: output r of the pass-2 butterfly q.
        V re[16], im[16];
#pragma GCC unroll 4
        for (int r = 0; r < 4; ++r) {
            const int g = p + m * r;
#pragma GCC unroll 4
            for (int k = 0; k < 4; ++k) {
                if constexpr (kPairs) {
                    loadPairs(re[4 * r + k], im[4 * r + k], x + 2 * (g + kQuarter * k));
                } else {
                    loadLanes(re[4 * r + k], x + g + kQuarter * k);
                    loadLanes(im[4 * r + k], xi + g + kQuarter * k);
                }
            }
            butterflyLanes(re + 4 * r, im + 4 * r, 1, tw, kQuarter, g);
        }
#pragma GCC unroll 4
        for (int q = 0; q < 4; ++q) butterflyLanes(re + q, im + q, 4, tw2, m, p);
        storeTransposed(yr + 16 * p, re);
        storeTransposed(yi + 16 * p, im);
    }
}

#if defined(GW_WIDE_TARGET)
template <bool kPairs>
GW_WIDE_TARGET void firstTwoPassesWide(const float* x, const float* xi, float* yr, float* yi, const float* tw) {
    firstTwoPasses<Lanes8, kPairs>(x, xi, yr, yi, tw);
}
#endif

template <bool kPairs>
void firstTwoPassesAny(const float* x, const float* xi, float* yr, float* yi, const float* tw) {
#if defined(GW_WIDE_TARGET)
    if (wideLanesSupported()) {
        firstTwoPassesWide<kPairs>(x, xi, yr, yi, tw);
        return;
    }
#endif
    firstTwoPasses<Lanes4, kPairs>(x, xi, yr, yi, tw);
}
#endif  // GW_TRANSFORM_LANES

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

// Radix-4 passes 3 to 5, from (re1, im1) after pass 2 to (re0, im0); `swapped` exchanges
// real and imaginary parts (the inverse). The sweep that follows does the closing
// radix-2 pass (splitForward, radix2Interleaved).
GW_INLINE void complexPasses(const Work& w, bool swapped) {
    float* r0 = swapped ? w.im0 : w.re0;
    float* i0 = swapped ? w.re0 : w.im0;
    float* r1 = swapped ? w.im1 : w.re1;
    float* i1 = swapped ? w.re1 : w.im1;
    radix4Pass<0>(r1, i1, r0, i0, 16, w.tw + twiddleOffset(2));
    radix4Pass<0>(r0, i0, r1, i1, 64, w.tw + twiddleOffset(3));
    radix4Pass<0>(r1, i1, r0, i0, 256, w.tw + twiddleOffset(4));
}

// The closing radix-2 pass of the inverse (stride 1024), its results written as the
// interleaved time block: out[2t] the real, out[2t + 1] the imaginary part of entry t.
GW_INLINE void radix2Interleaved(const float* GW_RESTRICT xr, const float* GW_RESTRICT xi, float* GW_RESTRICT out) {
    constexpr int h = kM / 2;
    for (int q = 0; q < h; ++q) {
        const float ar = xr[q], ai = xi[q], br = xr[q + h], bi = xi[q + h];
        out[2 * q] = ar + br;
        out[2 * q + 1] = ai + bi;
        out[2 * (q + h)] = ar - br;
        out[2 * (q + h) + 1] = ai - bi;
    }
}

// The closing radix-2 pass (stride 1024) of the complex transform of (xr, xi), then
// the split step of the forward transform: X[k] = E[k] + W^k O[k] with E, O the
// spectra of even and odd samples. A function of its own with arrays that do not
// overlap, so that its two sweeps (an index up, its mirror down) vectorise.
GW_CLONES void splitForward(const float* GW_RESTRICT xr, const float* GW_RESTRICT xi,
                                        const float* GW_RESTRICT splitCos, const float* GW_RESTRICT splitSin,
                                        float* GW_RESTRICT out) {
    constexpr int h = kM / 2;
    // Entry k < 1024 of the complex transform is x[k] + x[k + 1024], entry 1024 + k is
    // x[k] - x[k + 1024]; the mirror j = 2048 - k of k = 1..1023 is entry 1024 + (1024 - k).
    const float z0r = xr[0] + xr[h], z0i = xi[0] + xi[h];
    out[0] = z0r + z0i;
    out[kM] = z0r - z0i;
    for (int k = 1; k < kM / 2; ++k) {
        const int j = kM - k;
        const float zrk = xr[k] + xr[k + h], zik = xi[k] + xi[k + h];
        const float zrj = xr[h - k] - xr[j], zij = xi[h - k] - xi[j];
        const float er = 0.5f * (zrk + zrj);
        const float ei = 0.5f * (zik - zij);
        const float a = 0.5f * (zik + zij);
        const float b = 0.5f * (zrj - zrk);
        const float c = splitCos[k];
        const float s = splitSin[k];
        const float p = c * a + s * b;
        const float q = c * b - s * a;
        out[k] = er + p;
        out[kM + k] = -(ei + q);
        out[j] = er - p;
        out[kM + j] = ei - q;
    }
    out[kM / 2] = xr[0] - xr[h];
    out[kM + kM / 2] = xi[0] - xi[h];
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
#if defined(GW_TRANSFORM_LANES)
    firstTwoPassesAny<true>(in, nullptr, w.re1, w.im1, w.tw);
#else
    firstPassInterleaved(in, w.re0, w.im0, w.tw);
    radix4Pass<4>(w.re0, w.im0, w.re1, w.im1, 4, w.tw + twiddleOffset(1));
#endif
    complexPasses(w, false);
    splitForward(w.re0, w.im0, w.splitCos, w.splitSin, out);
}

GW_CLONES void inverseKernel(const Work& w, const float* in, float* out) {
    // Inverse complex transform = forward transform with re and im exchanged.
#if defined(GW_TRANSFORM_LANES)
    splitInverse(in, w.splitCos, w.splitSin, w.re0, w.im0);
    firstTwoPassesAny<false>(w.im0, w.re0, w.im1, w.re1, w.tw);
#else
    splitInverse(in, w.splitCos, w.splitSin, w.re1, w.im1);
    radix4Pass<1>(w.im1, w.re1, w.im0, w.re0, 1, w.tw);
    radix4Pass<4>(w.im0, w.re0, w.im1, w.re1, 4, w.tw + twiddleOffset(1));
#endif
    complexPasses(w, true);
    radix2Interleaved(w.re0, w.im0, out);  // the scratch never overlaps the caller's array
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
