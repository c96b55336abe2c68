#pragma once
// The recursive cosine oscillator of the cosine grain envelopes and of the scope's window.

#include <cmath>

namespace grainwheel {

// y[n] = c y[n-1] - y[n-2] with c = 2 cos(w). Started from y[-1] = -cos(w) and
// y[-2] = -cos(2w), it yields y[n] = -cos(n w) for n = 0, 1, 2, ..., so (y[n] + 1) / 2
// rises from 0 to 1 over pi / w steps (a raised cosine). Double precision; a copy steps
// exactly as the original, so a stretch of samples may run on a local copy.
struct CosineOscillator {
    double coefficient = 0.0;  // c
    double y1 = 0.0;           // y[n-1]
    double y2 = 0.0;           // y[n-2]

    static CosineOscillator starting(double w) noexcept {
        return {2.0 * std::cos(w), -std::cos(w), -std::cos(2.0 * w)};
    }
    // The next value y[n].
    double next() noexcept {
        const double y = coefficient * y1 - y2;
        y2 = y1;
        y1 = y;
        return y;
    }
    // (y + 1) / 2: an oscillator value as an envelope level.
    static float raised(double y) noexcept { return static_cast<float>((y + 1.0) / 2.0); }
};

}  // namespace grainwheel
