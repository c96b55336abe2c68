#pragma once
// Numeric constants shared by the signal-processing code.

namespace grainwheel {

// The engine's stored value of pi (single precision filter and morph formulas).
constexpr float kStoredPi = 3.1415925f;
// Full double-precision pi, used by the cosine envelopes.
constexpr double kPiDouble = 3.141592653589793;

// Length of the spectrum transform, of a precomputed grain and of the scope capture.
constexpr int kTransformSize = 4096;
constexpr int kHalfTransform = kTransformSize / 2;  // 2048: the Nyquist bin

}  // namespace grainwheel
