#pragma once
// 4096-point real Fourier transform in single precision.
//
// Packed spectrum, both directions, for X[k] = sum_n x[n] e^(-2 pi i k n / 4096):
//   entry k,        k = 0..2048: Re X[k] (0 the DC term, 2048 the Nyquist term)
//   entry 2048 + k, k = 1..2047: -Im X[k]
// Each instance owns its tables and scratch (about 90 KB, all inline: no allocation
// ever), so instances on different threads never share mutable memory. One instance
// is not reentrant.

#include <array>

#include "engine/dsp/constants.h"

namespace grainwheel {

class SpectrumTransform {
public:
    SpectrumTransform();

    // in: 4096 time samples; out: 4096 packed values. in and out may be the same array.
    void forward(const float* in, float* out);
    // in: 4096 packed values; out: 4096 x the time block (unscaled). May alias.
    void inverse(const float* in, float* out);
    // Multiplies 4096 values in place by 1/4096.
    static void rescale(float* data);

    // Magnitudes of bins first .. last - 1 of a packed spectrum into out[k]:
    // engineSqrt(re^2 + im^2), four bins at a time where the processor allows.
    static void binMagnitudes(const float* spectrum, float* out, int first, int last);

    // Magnitude spectrum of a 4096-sample block as the scope shows it: entry k - 1 holds
    // the magnitude of bin k (1..2047), entries 2047..4095 are 0, and a magnitude that
    // is not a number is 1.0. Returns this object's 4096-entry result array.
    const float* magnitudeSpectrum(const float* block);

private:
    static constexpr int kComplex = kTransformSize / 2;  // 2048-point complex core

    // Stage twiddles of the radix-4 passes, per pass: w^p, w^2p, w^3p (re, im).
    static constexpr int kStageTwiddles = 6 * (512 + 128 + 32 + 8 + 2);
    std::array<float, kStageTwiddles> stageTwiddles_{};
    // Split twiddles cos and sin of 2 pi k / 4096, k = 0..1023.
    std::array<float, kComplex / 2> splitCos_{};
    std::array<float, kComplex / 2> splitSin_{};
    // Scratch: two ping-pong complex arrays and the magnitude result.
    std::array<float, kComplex> re0_{};
    std::array<float, kComplex> im0_{};
    std::array<float, kComplex> re1_{};
    std::array<float, kComplex> im1_{};
    std::array<float, kTransformSize> spectrum_{};
    std::array<float, kTransformSize> magnitudes_{};
};

}  // namespace grainwheel
