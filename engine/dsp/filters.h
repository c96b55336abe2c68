#pragma once
// The two output filters that run on the summed grains, and the engine's square root.

#include <atomic>

namespace grainwheel {

// Square root used for the resonance and for spectrum magnitudes: 0 for inputs below
// 1e-36, otherwise the square root (to float precision; the value of a Newton iteration
// from x/2 stopped at a relative correction of 1e-5). NaN in gives NaN out.
float engineSqrt(float x);

// Low-pass that follows falling pitch: a 4-pole Chebyshev (0.5 % ripple) below pitch
// 0.9, fixed biquads at the top and the bottom of the range, a pass-through at pitch 1
// and above. Designed on the audio thread when the unit's pitch changes; no allocation.
struct PitchFilter {
    static constexpr int kCoefficients = 23;
    static constexpr int kHistory = 20;

    float order = 4.0f;
    float A[kCoefficients] = {};  // feed-forward
    float B[kCoefficients] = {};  // feedback (added: y = sum A x + sum B y)
    float x[2][kHistory] = {};    // input history per channel, [0] newest
    float y[2][kHistory] = {};    // output history per channel

    // Design for pitch p < 1 (cutoff 0.5 p of the sample rate), single precision.
    void design(float pitch);
    // Runs one stereo sample in place with p = grainPitch.
    void run(float& left, float& right, float pitch);
    // Runs `count` stereo samples in place with one pitch: the same values as calling
    // run per sample, with the history kept in registers for the block.
    void runBlock(float* left, float* right, int count, float pitch);
    // Both histories to 0 (the coefficients stay).
    void reset();
};

// Two-pole resonant low-pass. The cutoff is set per unit on the audio thread; the
// resonance is set by the thread that changes "reso". q, fb and f are whole words read
// and written atomically; a feedback computed from a cutoff that has just changed is
// corrected at the next cutoff set (every block start).
struct ResonantFilter {
    std::atomic<float> f{0.5f};   // cutoff coefficient
    std::atomic<float> q{0.0f};   // resonance
    std::atomic<float> fb{0.0f};  // feedback
    float s1[2] = {};             // stage states per channel
    float s2[2] = {};

    static constexpr float kDenormalGuard = 1e-20f;

    void setResonance(float reso);  // q = 0.983 sqrt(reso), then the feedback
    void setCutoff(float cutoff);   // converted cutoff value, then the feedback
    void run(float& left, float& right);
    // `count` samples in place, as run per sample; the cutoff and the feedback are read
    // once for the block.
    void runBlock(float* left, float* right, int count);
    void reset();                   // states to 0

private:
    void updateFeedback();
};

// The pitch filter with p = pitch, then the resonant filter, over `count` samples in
// place: the same values as runBlock of one and then of the other.
void runOutputFilters(PitchFilter& pitchFilter, ResonantFilter& resonantFilter, float* left, float* right,
                      int count, float pitch);

}  // namespace grainwheel
