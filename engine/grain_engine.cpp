// The engine's construction, notices, suspend and resume, and the transport it takes
// from its host.

#include "engine/grain_engine.h"

#include <atomic>
#include <new>

namespace grainwheel {

GrainEngine::GrainEngine(EngineHost* host, float sampleRate) : host_(host) {
    // Engine start values are the member initialisers; the live values start at 0 and
    // the per-unit values at their neutral forms until program 0 is applied.
    for (int u = 0; u < kNumUnits; ++u) {
        params.unitTime[u] = 0.8f;
        params.unitSpeed[u] = 1.0f;
        params.unitPitch[u] = 1.0f;
        params.unitCutoff[u] = 1.0f;
    }
    seq.sampleRate = sampleRate;

    programs = new (std::nothrow) ProgramRecord[kNumPrograms];
    programClipboard = new (std::nothrow) ProgramRecord;
    if (programs)
        for (int i = 0; i < kNumPrograms; ++i) programs[i].initialise();
    if (programClipboard) programClipboard->initialise();
    if (programs && programClipboard) setProgram(0);
    makeSpare();
}

GrainEngine::~GrainEngine() {
    for (AudioBuffer& b : audioBuffers) {
        delete[] b.left.exchange(nullptr);
        delete[] b.right.exchange(nullptr);
        b.length = 0;
    }
    currentLeft = nullptr;
    currentRight = nullptr;
    delete[] spareLeft_;
    delete[] spareRight_;
    delete[] retiredLeft_;
    delete[] retiredRight_;
    delete[] programs;
    programs = nullptr;
    delete programClipboard;
    programClipboard = nullptr;
}

void GrainEngine::notify(std::int32_t index, float value) {
    if (listener_ != nullptr) listener_->engineNotice(index, value);
}

void GrainEngine::postEditorUpdate() {
    if (listener_ != nullptr) listener_->engineRefresh();
}

void GrainEngine::suspend() {
    seq.halted = 1;
    gate.forgetAudioThread();
}

void GrainEngine::setWorkingRate(float sampleRate) {
    seq.sampleRate = sampleRate;
    requestRateConversion();
}

void GrainEngine::resume(float sampleRate) {
    setWorkingRate(sampleRate);
    // The buffer a take goes into reaches the new rate before any block records at it
    // (no block records between suspend() and the end of resume()); recording continues
    // in the converted arrays at the same moment of the take. The deferred work converts
    // the others.
    convertToWorkingRate(currentBuffer);
    setParameter(kBuffersChanged, 1.0f);
    seq.halted = 0;
}

bool GrainEngine::queryTransport(std::int32_t wanted, EngineTransport& t) {
    return host_ != nullptr && host_->transport(wanted, t);
}

void GrainEngine::takeTransport(const EngineTransport& t) {
    const std::int32_t flags = t.flags;
    hostTime.ppqValid = flags & EngineTransport::kPpqValid;
    hostTime.ppqPosition = t.ppqPosition;
    hostTime.barsValid = flags & EngineTransport::kBarsValid;
    hostTime.barStart = t.barStart;
    hostTime.tempoValid = flags & EngineTransport::kTempoValid;
    if (t.tempo > 0.0 && t.tempo < 1.0e6) hostTime.tempo = t.tempo;
    hostTime.timeSigValid = flags & EngineTransport::kTimeSigValid;
    hostTime.timeSigNumerator = static_cast<double>(t.timeSigNumerator);
    hostTime.timeSigDenominator = static_cast<double>(t.timeSigDenominator);
    hostTime.playing = flags & EngineTransport::kPlaying;
}

bool GrainEngine::anyBufferUnsaved() const {
    for (const AudioBuffer& b : audioBuffers)
        if (b.saved == 0) return true;
    return false;
}

// The record's copy of the saved flag is written whole: recording clears it on the audio
// thread.
void GrainEngine::markBufferSaved(int n) {
    if (n < 0 || n >= kNumBuffers) return;
    audioBuffers[n].saved = 1;
    std::atomic_ref<std::uint8_t>(programs[n].bufferSaved).store(1, std::memory_order_relaxed);
}

void GrainEngine::keepRecordSaved(int n) {
    if (n < 0 || n >= kNumBuffers) return;
    std::atomic_ref<std::uint8_t>(programs[n].bufferSaved).store(audioBuffers[n].saved, std::memory_order_relaxed);
}

void GrainEngine::occupyVoicesForBenchmark() {
    const BufferFrames frames = framesOf(audioBuffers[currentBuffer]);
    for (int i = 0; i < kNumVoices; ++i) {
        GrainStart s;
        s.bufferNumber = currentBuffer;
        s.bufferLength = frames.length;
        s.playPosition = static_cast<float>(i) * 7919.0f;
        s.grainLength = 1 << 30;
        s.envelopeType = kEnvTrapezoid;
        s.envSust = 0.999f;
        startGrain(voices.slots[i], s);
    }
    seq.activeVoices = kNumVoices;
    // No grain falls due while they sound: the run measures six voices between grain
    // starts (with every slot busy a due grain would be retried on every sample).
    seq.triggerCountdown = 1.0e9f;
}

}  // namespace grainwheel
