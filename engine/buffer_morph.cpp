#include "engine/buffer_morph.h"

#include "engine/audio_buffer.h"

namespace grainwheel {

MorphStart BufferMorph::dispatch(int& pending) const noexcept {
    const MorphStage state = morphState;
    pending = pendingBuffer;
    if (state == MorphStage::SourceDone) return MorphStart::Target;
    if (pending < 0 || pending >= kNumBuffers) {
        if (state == MorphStage::Idle) return MorphStart::Normal;
        return state == MorphStage::Running ? MorphStart::Next : MorphStart::Held;
    }
    return morphWait == 0 ? MorphStart::Wait : MorphStart::Source;
}

void BufferMorph::wait(Sequencer& seq) noexcept {
    morphWait = 1;
    const int length = seq.grainLength;
    if (length > kTransformSize) seq.triggerCountdown = static_cast<float>(length - kTransformSize);
}

bool BufferMorph::analyseSource(GrainVoice& v, const BufferView& buffer, float pitch, int envelopeType,
                                SpectrumTransform& transform, bool scopeGrain, Sequencer& seq) noexcept {
    const bool scopeReady = work_.analyseSource(v, buffer, pitch, envelopeType, transform, scopeGrain);
    morphState = MorphStage::SourceDone;
    seq.headRun = 0;
    return scopeReady;
}

void BufferMorph::analyseTarget(GrainVoice& v, const BufferView& buffer, float pitch, int envelopeType,
                                SpectrumTransform& transform) noexcept {
    work_.analyseTarget(v, buffer, pitch, envelopeType, transform);
    morphState = MorphStage::Running;
}

MorphSynthesis BufferMorph::synthesise(GrainVoice& v, int algorithm, int stepsize, SpectrumTransform& transform,
                                       bool scopeGrain, Sequencer& seq) noexcept {
    const MorphSynthesis out = work_.synthesise(v, algorithm, stepsize, morphStep, transform, scopeGrain);
    if (out.last) {
        morphStep = 1;
        morphState = MorphStage::Idle;
        seq.headRun = 1;
    } else {
        morphStep = morphStep + 1;
    }
    return out;
}

int BufferMorph::abandon(Sequencer& seq) noexcept {
    const int pending = pendingBuffer;
    if (morphState == MorphStage::Idle && morphWait == 0 && seq.headRun == 1 && pending < 0) return -1;
    morphState = MorphStage::Idle;
    morphStep = 1;
    morphWait = 0;
    seq.headRun = 1;
    return (pending >= 0 && pending < kNumBuffers) ? pending : -1;
}

}  // namespace grainwheel
