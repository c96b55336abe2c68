// The 16 audio buffers: selection, allocation, erasing, replacement by the loaders, and
// switching free and tempo-synced recording on and off.

#include <atomic>
#include <climits>
#include <cmath>
#include <cstdio>
#include <new>

#include "engine/conversions.h"
#include "engine/grain_engine.h"

namespace grainwheel {

namespace {
// Program record fields that the audio thread may write (through the morph's buffer
// selection and the end of a synced recording) while the user-interface thread reads
// the records: written whole.
void storeWhole(float& field, float value) noexcept {
    std::atomic_ref<float>(field).store(value, std::memory_order_relaxed);
}
}  // namespace

void GrainEngine::selectBuffer(int n) {
    if (n < 0 || n >= kNumBuffers) return;
    handToAudioThread(HandOver::select(n));
}

void GrainEngine::handToAudioThread(std::uint32_t request) {
    // The voices and the play head belong to the audio thread: while it runs, it takes
    // the change at its next block start; otherwise it is made here, no block running.
    if (!gate.handOver(request)) return;
    BufferGate::Replacement replacing(gate);
    applyHandOver(gate.takeHandOver());
}

void GrainEngine::applyHandOver(std::uint32_t request) noexcept {
    if (request & HandOver::kStopVoices) {
        voices.stopAll();
        seq.activeVoices = 0;
        if (const int count = HandOver::newVoiceCount(request); count > 0) {
            seq.voiceCount = count;
            // A single-grain capture that followed one of the stopped voices would wait for
            // it for ever: it is given up, as the stop rules do, and the next grain arms it.
            if (capture.captureState == 2 && capture.capturedVoice >= 0) {
                capture.captureState = 0;
                capture.capturePosition = 0.0f;
                capture.capturedVoice = -1;
            }
        }
    }
    if (const int n = HandOver::selectedBuffer(request); n >= 0 && n < kNumBuffers) selectBufferInBlock(n);
}

void GrainEngine::selectBufferInBlock(int n) noexcept {
    if (n < 0 || n >= kNumBuffers) return;
    morphing.pendingBuffer = -1;
    const BufferFrames frames = framesOf(audioBuffers[n]);
    if (frames.empty()) {
        seq.playPosition = 0.0f;
        currentLeft = nullptr;
        currentRight = nullptr;
        stopRecordingModes();
    } else {
        const bool purePosition = setting(kSpeedFaderRange) == 4;
        const float start =
            purePosition ? params.live[kSpeed + seq.currentUnit].load() : bufferStartOf(n);
        seq.playPosition = static_cast<float>(frames.length - 1) * start;
        currentLeft = frames.left;
        currentRight = frames.right;
    }
    currentLength = frames.length;
    currentLengthFloat = static_cast<float>(frames.length);
    rec.recordWritePosition = 0;
    previousBuffer = currentBuffer.load();
    currentBuffer = n;
    storeWhole(current().bufferNumber, static_cast<float>(n));
    notifyEditor(kBuffersChanged, 1.0f);

    if (setting(kMorphAlgorithm) != 0) return;
    if (frames.empty()) {
        for (GrainVoice& v : voices.slots) {
            stopVoice(v);
            v.readPosition = 0.0f;
            v.lastIndex = 0;
        }
        seq.activeVoices = 0;
        capture.captureState = 0;
        capture.capturePosition = 0.0f;
        capture.capturedVoice = -1;
    } else {
        voices.moveAll(n, seq.playPosition);
    }
}

void GrainEngine::stopRecordingModes() {
    if (params.live[kRecFree] != 0.0f) setParameter(kRecFree, 0.0f);
    if (params.live[kRecSync] != 0.0f) setParameter(kRecSync, 0.0f);
    rec.recordFadeIn = 0;
    rec.recordFadeOut = 0;
    rec.recording = 0;
}

void GrainEngine::allocateBuffer(int frames) {
    if (frames > kMaxBufferFrames) frames = kMaxBufferFrames;
    if (frames == 0 || frames < -1) frames = kDefaultBufferFrames;
    const int n = currentBuffer;
    AudioBuffer& buffer = audioBuffers[n];
    seq.halted = 1;
    bool empty = true;
    {
        BufferGate::Replacement replacing(gate);
        // Full voice reset: no voice may read an array that is about to go.
        voices.resetAll();
        seq.activeVoices = 0;
        rec.recordWritePosition = 0;
        seq.playPosition = 0.0f;

        float* oldLeft = buffer.left.exchange(nullptr, std::memory_order_acq_rel);
        float* oldRight = buffer.right.exchange(nullptr, std::memory_order_acq_rel);
        buffer.length.store(0, std::memory_order_release);
        currentLeft = nullptr;
        currentRight = nullptr;
        currentLength = 0;
        currentLengthFloat = 0.0f;
        delete[] oldLeft;
        delete[] oldRight;

        if (frames == -1) {
            buffer.saved = 1;
            programs[n].bufferPath[0] = 0;
        } else {
            const auto size = static_cast<std::size_t>(frames) + 1;
            float* left = new (std::nothrow) float[size]();  // zeroed, guard frame included
            float* right = new (std::nothrow) float[size]();
            if (left == nullptr || right == nullptr) {
                delete[] left;
                delete[] right;
            } else {
                buffer.left.store(left, std::memory_order_release);
                buffer.right.store(right, std::memory_order_release);
                buffer.length.store(frames, std::memory_order_release);
                buffer.saved = 0;
                currentLeft = left;
                currentRight = right;
                currentLength = frames;
                currentLengthFloat = static_cast<float>(frames);
                empty = false;
            }
        }
    }
    if (empty) stopRecordingModes();
    rec.recordWritePosition = 0;
    notifyEditor(kBuffersChanged, 1.0f);
    seq.halted = 0;
}

void GrainEngine::replaceBufferArrays(int n, float* left, float* right, int frames) {
    if (n < 0 || n >= kNumBuffers) {
        delete[] left;
        delete[] right;
        return;
    }
    if (left == nullptr || right == nullptr || frames <= 0) {
        delete[] left;
        delete[] right;
        left = right = nullptr;
        frames = 0;
    } else {
        left[frames] = left[0];  // the guard frame
        right[frames] = right[0];
    }
    AudioBuffer& buffer = audioBuffers[n];
    BufferGate::Replacement replacing(gate);
    voices.resetAll();
    seq.activeVoices = 0;
    float* oldLeft = buffer.left.exchange(left, std::memory_order_acq_rel);
    float* oldRight = buffer.right.exchange(right, std::memory_order_acq_rel);
    buffer.length.store(frames, std::memory_order_release);
    if (n == currentBuffer) {
        currentLeft = left;
        currentRight = right;
        currentLength = frames;
        currentLengthFloat = static_cast<float>(frames);
        rec.recordWritePosition = 0;
        if (seq.playPosition >= static_cast<float>(frames)) seq.playPosition = 0.0f;
    }
    delete[] oldLeft;
    delete[] oldRight;
}

float* GrainEngine::newSampleArray(int frames) {
    if (frames <= 0 || frames > kMaxBufferFrames) return nullptr;
    return new (std::nothrow) float[static_cast<std::size_t>(frames) + 1]();
}

void GrainEngine::eraseBuffer() {
    char text[64];
    std::snprintf(text, sizeof text, "Erase buffer number %2d ?", currentBuffer.load() + 1);
    if (host_ != nullptr && host_->askYesNo("grainwheel - confirm erase buffer", text)) allocateBuffer(-1);
}

int GrainEngine::framesForBeats(double beats) const {
    const double frames = static_cast<double>(seq.sampleRate.load()) * beats * 60.0 / hostTime.tempo;
    return truncClamped(frames, 0, kMaxBufferFrames);
}

void GrainEngine::markRecorded(int n) {
    if (framesOf(audioBuffers[n]).empty()) return;
    audioBuffers[n].saved = 0;
    programs[n].bufferSaved = 0;
}

void GrainEngine::setRecordFades(float value) {
    rec.recordFadeIn = truncClamped(value * static_cast<float>(kFadeFrames), 0, kFadeFrames);
    rec.recordFadeOut = truncClamped((value - 1.0f) * -static_cast<float>(kFadeFrames), 0, kFadeFrames);
}

void GrainEngine::finishSyncedRecording() noexcept {
    // The audio thread's part of switching rec sync off: no allocation, no gate.
    params.live[kRecSync] = 0.0f;
    storeWhole(current().recSync, 0.0f);
    setRecordFades(0.0f);
    notifyEditor(kRecSync, 0.0f);
}

// Switching rec free or rec sync on may allocate the current buffer (an empty buffer for
// rec free, always for rec sync) and raises the buffer gate. The editor's buttons call
// this on the user-interface thread. A host that automates the two parameters calls it
// on its audio thread, between blocks: the gate does not wait then (no block is under
// way), but the allocation happens on that thread. To keep it off the audio thread, give
// the buffer its length beforehand from the user interface (allocate, or a first rec free
// there); rec free then only marks the existing buffer.
void GrainEngine::setRecFree(float value) {
    params.live[kRecFree] = value;
    storeWhole(current().recFree, value);
    if (value != 0.0f) {
        const int n = currentBuffer;
        programs[n].bufferPath[0] = 0;
        if (framesOf(audioBuffers[n]).empty()) {
            allocateBuffer(framesForBeats(16.0));
            rec.recordSyncWait = 0;
        }
        markRecorded(n);
    }
    setRecordFades(value);
}

void GrainEngine::setRecSync(float value) {
    params.live[kRecSync] = value;
    storeWhole(current().recSync, value);
    if (value != 0.0f) {
        const int n = currentBuffer;
        programs[n].bufferPath[0] = 0;
        constexpr std::int32_t kAllValid = EngineTransport::kPpqValid | EngineTransport::kBarsValid |
                                           EngineTransport::kTempoValid | EngineTransport::kTimeSigValid;
        EngineTransport info;
        const bool answered = queryTransport(kAllValid, info);
        if (answered) takeTransport(info);
        const double beats = recSyncUnitBeats > 0.0 ? recSyncUnitBeats.load() : 16.0;
        allocateBuffer(framesForBeats(beats));
        markRecorded(n);

        const bool valid = answered && (info.flags & kAllValid) == kAllValid && info.tempo > 0.0 &&
                           info.timeSigNumerator > 0 && info.timeSigDenominator > 0;
        if (valid) {
            const double samplesPerBeat = static_cast<double>(seq.sampleRate.load()) * 60.0 / hostTime.tempo;
            const double bar = static_cast<double>(info.timeSigNumerator) / info.timeSigDenominator * 4.0;
            double beatsToBar = bar + info.barStart - info.ppqPosition;
            // Already past the next bar line: wait for the one after it.
            if (beatsToBar < 0.0 && std::isfinite(beatsToBar)) beatsToBar += bar * std::ceil(-beatsToBar / bar);
            rec.recordSyncWait = truncClamped(samplesPerBeat * beatsToBar, 0, INT_MAX);
            rec.recordWritePosition = 0;
        } else {
            rec.recordSyncWait = 0;
        }
    }
    setRecordFades(value);
}

void GrainEngine::setRecordSyncUnit(float value) {
    int k = 0;
    if (truncInRange(value, 0, 28, k) && kSyncUnits[k].beats >= 0.0) recSyncUnitBeats = kSyncUnits[k].beats;
}

}  // namespace grainwheel
