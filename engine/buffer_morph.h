#pragma once
// The spectral morph from the current buffer to the next one selected, as the engine's
// grain trigger runs it: armed by a buffer selection while Morph Algorithm is on (the
// pending buffer), a wait so that the source grain fits the transform, the source grain
// analysed (the play head held, the pending buffer made current), the target grain
// analysed, then the morphed grains one per grain start. The state words are whole
// (the parameters and the editor read them); the work arrays are the audio thread's.

#include <cstdint>

#include "engine/dsp/morph.h"
#include "engine/parameter_index.h"
#include "engine/sequencer.h"
#include "engine/shared_value.h"

namespace grainwheel {

// What a due grain does while Morph Algorithm is on.
enum class MorphStart {
    Normal,  // no morph under way: a normal grain
    Target,  // the source was analysed: the target grain, then the first morphed grain
    Next,    // the morph runs: the next morphed grain
    Held,    // a morph grain on the held head
    Wait,    // armed: the source grain waits until the transform's length is left
    Source,  // the source grain, then the pending buffer becomes current
};

class BufferMorph {
public:
    Shared<MorphStage> morphState{MorphStage::Idle};
    Shared<std::int32_t> morphStep{1};
    Shared<std::uint8_t> morphWait{0};
    Shared<std::int32_t> pendingBuffer{-1};  // the buffer armed, -1 for none

    // Audio thread, from here on. What a due grain does; `pending` is the buffer armed.
    MorphStart dispatch(int& pending) const noexcept;
    // The wait of an armed morph: the grain after it is the source grain.
    void wait(Sequencer& seq) noexcept;
    // Analyses the source grain just started on v and holds the head. True when the
    // scope's values (scopeValues()) are ready.
    bool analyseSource(GrainVoice& v, const BufferView& buffer, float pitch, int envelopeType,
                       SpectrumTransform& transform, bool scopeGrain, Sequencer& seq) noexcept;
    // Analyses the target grain just started on v: the morph runs.
    void analyseTarget(GrainVoice& v, const BufferView& buffer, float pitch, int envelopeType,
                       SpectrumTransform& transform) noexcept;
    // The next morphed grain into v; after the last one the morph ends and the head moves.
    MorphSynthesis synthesise(GrainVoice& v, int algorithm, int stepsize, SpectrumTransform& transform,
                              bool scopeGrain, Sequencer& seq) noexcept;
    // Morph Algorithm was switched off: the morph ends and the head moves again. Answers
    // the pending buffer, which becomes current now, or -1.
    int abandon(Sequencer& seq) noexcept;

    const float* scopeValues() const noexcept { return work_.scopeValues(); }
    const SpectralMorph& spectral() const noexcept { return work_; }
    // For tests that run another synthesis formulation.
    SpectralMorph& spectral() noexcept { return work_; }

private:
    SpectralMorph work_;
};

}  // namespace grainwheel
