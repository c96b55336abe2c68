#pragma once
// Sine and cosine of arrays of single-precision angles, computed by the engine itself
// (no platform library), in a loop the compiler vectorises: the same bits on every
// machine and every instruction set.
//
// Method: x = k pi/2 + r with k the nearest integer to x 2/pi and r in [-pi/4, pi/4]
// (pi/2 split into three parts; the first two have 8 and 11 significant bits, so their
// products by k are exact for |k| < 2^13), then a degree-7 odd polynomial for sin r and a
// degree-8 even one for cos r, and the quadrant k mod 4 picks and negates. Each product
// and sum is rounded on its own (the code is built without floating-point contraction),
// and the quadrant comes from the bits of a float sum, not from a conversion: the same
// bits from the baseline and the AVX2 variant, and on every platform.
//
// Accuracy: for |x| <= 1024 each result is within kSineCosineError of the exact value
// (9.3e-8 at worst over every float in [-4, 4]; the tests sweep [-1024, 1024] against
// double precision). sin 0 = 0 and cos 0 = 1 exactly. NaN and infinities give NaN; far
// beyond 1024 the results lose their accuracy.

namespace grainwheel {

// Largest absolute error of sineCosine against the exact sine and cosine, |x| <= 1024.
constexpr float kSineCosineError = 1.0e-7f;

// sine[i] = sin(angle[i]), cosine[i] = cos(angle[i]) for i < count. The arrays must not
// overlap.
void sineCosine(const float* angle, float* sine, float* cosine, int count);

}  // namespace grainwheel
