#pragma once
// Spectral morph between two buffers: grain analysis, peak finder and synthesis.
//
// The audio loop drives the morph and keeps its state (arming, trigger dispatch, the
// wait flag, selecting the pending buffer, morphState, morphStep, headRun);
// SpectralMorph holds the work arrays and performs the analysis and synthesis steps,
// each within one output sample. All arrays are inline (about 100 KB): nothing is
// allocated after construction.

#include <array>
#include <cstdint>

#include "engine/dsp/buffer_view.h"
#include "engine/dsp/constants.h"
#include "engine/dsp/grain_voice.h"

namespace grainwheel {

class SpectrumTransform;

// Morph Algorithm setting.
enum MorphAlgorithm : int {
    kMorphOff = 0,       // "off"
    kMorphWeighted = 1,  // "1 - a/b weighted copy"
    kMorphLinear = 2,    // "2 - a/b linear copy"
    kMorphEqual = 3,     // "3 - equally distributed"
};

constexpr int kMaxPeaks = kHalfTransform;  // 2048

// Found peaks of one spectrum: peak n covers bins start[n] .. start[n] + width[n] - 1.
struct PeakList {
    std::array<std::int16_t, kMaxPeaks> start;
    std::array<std::int16_t, kMaxPeaks> width;
    int count = 0;

    PeakList() { clear(); }
    void clear() {
        start.fill(1);
        width.fill(1);
        count = 0;
    }
};

// Number N of the synthesis formulas for a Morph Stepsize setting (0..19): N = S + 3.
// The morph plays N - 2 = S + 1 morphed grains, grain m (1-based) with f = m / (N - 1).
inline int morphStepCount(int stepsize) { return stepsize + 3; }
inline float morphFraction(int morphStep, int stepsize) {
    return static_cast<float>(morphStep) / static_cast<float>(morphStepCount(stepsize) - 1);
}

// Renders a grain just started by startMorphGrain into v.precomputedGrain for analysis:
// interpolation between the frame and the next one (the guard frame at the end), the
// envelope applied, channels averaged. Afterwards v.remaining = samples rendered and
// the rest of the array is zero.
void renderAnalysisGrain(GrainVoice& v, const BufferView& buffer, float pitch, int envelopeType);

// Peak finder: fills m (2048 magnitudes; m[0] = S[0] itself)
// and the peak list. Returns the peak count.
int findPeaks(const float* spectrum, float* magnitudes, PeakList& peaks);

// Work arrays of the synthesis: the paired bins are gathered a batch at a time, the
// sines and cosines of their rotations evaluated together (sineCosine), then the bins
// added into the result in the order they were paired.
struct SynthesisScratch {
    static constexpr int kBatch = 256;
    std::array<float, kBatch> c, d;                    // fractional bins in A and B
    std::array<std::int32_t, kBatch> bin;              // bin s of h and the weight of s + 1
    std::array<float, kBatch> lambda;
    std::array<float, 2 * kBatch> shift, shiftSin, shiftCos;  // A's angles to h, then B's
    std::array<float, 2 * kBatch> x, y;                // values at c (first kBatch) and d
    std::array<float, 2 * kBatch> fraction, fractionSin, fractionCos;  // rotations within a bin
    std::array<std::int32_t, 2 * kBatch> rotated;      // the x, y entry each of them turns
    std::array<float, kBatch> lowRe, highRe, lowIm, highIm;  // the shares of bins s and s + 1
};

// Synthesis of the packed result spectrum from source A and target B with weight f.
// Each paired bin is rotated by angles whose sine and cosine come from sineCosine (within
// kSineCosineError of the exact values).
void synthesizeSpectrum(const float* a, const float* magA, const PeakList& peaksA, const float* b,
                        const float* magB, const PeakList& peaksB, int algorithm, float f,
                        float* result, SynthesisScratch& scratch);
using SynthesisFunction = decltype(&synthesizeSpectrum);

// Scope values from a packed spectrum: entry k - 1 = |bin k| for k = 1..2047 (NaN as
// 1.0), entries 2047..4095 zero.
void spectrumToScope(const float* spectrum, float* scope);

// Result of one synthesis step.
struct MorphSynthesis {
    bool last = false;        // that was morphed grain N - 2: the morph ends here
    bool scopeReady = false;  // scopeValues() holds the result's magnitudes
};

// The morph's work arrays and its analysis and synthesis steps. The morph state
// (morphState, morphStep, the wait flag, pendingBuffer, headRun) belongs to the audio
// loop, which updates it around these calls:
//   analyseSource  -> morphState = SourceDone, headRun = 0, then selectBuffer(pendingBuffer)
//   analyseTarget  -> morphState = Running, then synthesise
//   synthesise     -> if last: morphStep = 1, morphState = Idle, headRun = 1; else morphStep += 1
class SpectralMorph {
public:
    // Analyses the source (old buffer) grain on voice v, just started by startMorphGrain
    // on that buffer; the voice then plays the rendered grain unchanged. With
    // `scopeSingleGrain` (Scope View Mode 3) and a non-empty buffer, scopeValues() then
    // holds the source magnitudes for the capture and the call returns true.
    bool analyseSource(GrainVoice& v, const BufferView& buffer, float pitch, int envelopeType,
                       SpectrumTransform& transform, bool scopeSingleGrain);
    // Analyses the target (new buffer) grain on voice v, just started by startMorphGrain.
    void analyseTarget(GrainVoice& v, const BufferView& buffer, float pitch, int envelopeType,
                       SpectrumTransform& transform);
    // Builds morphed grain `morphStep` (1-based) into the voice's array, which the voice
    // then plays from its start without a further envelope.
    MorphSynthesis synthesise(GrainVoice& v, int algorithm, int stepsize, int morphStep,
                              SpectrumTransform& transform, bool scopeSingleGrain);

    const float* scopeValues() const { return scope_.data(); }

    // Work arrays, public for inspection by tests and the scope.
    std::array<float, kTransformSize> sourceSpectrum{};
    std::array<float, kTransformSize> targetSpectrum{};
    std::array<float, kTransformSize> resultSpectrum{};
    std::array<float, kHalfTransform> sourceMagnitudes{};
    std::array<float, kHalfTransform> targetMagnitudes{};
    PeakList sourcePeaks;
    PeakList targetPeaks;
    SynthesisScratch synthesisScratch{};  // written here, so that no page of it is new to the audio thread
    // The synthesis that synthesise runs: tests put a reference formulation in its place.
    SynthesisFunction synthesis = synthesizeSpectrum;

private:
    void analyse(GrainVoice& v, const BufferView& buffer, float pitch, int envelopeType,
                 SpectrumTransform& transform, float* spectrum, float* magnitudes,
                 PeakList& peaks);

    std::array<float, kTransformSize> scope_{};
};

}  // namespace grainwheel
