// The 16 audio buffers: selection, allocation, erasing, replacement by the loaders, and
// switching free and tempo-synced recording on and off.

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <new>
#include <thread>
#include <mutex>
#include <utility>

#include "engine/conversions.h"
#include "engine/erase_question.h"
#include "engine/grain_engine.h"

namespace grainwheel {

void GrainEngine::selectBuffer(int n) {
    if (n < 0 || n >= kNumBuffers) return;
    handToAudioThread(HandOver::select(n));
}

void GrainEngine::handToAudioThread(std::uint32_t request) {
    // The voices and the play head belong to the audio thread: while it runs, it takes
    // the change at its next block start; otherwise it is made here, no block running.
    BufferGate& gate = bank_.gate();
    if (!gate.handOver(request)) return;
    if (gate.onAudioThread()) {
        // The audio thread itself, between two of its blocks.
        BufferGate::Replacement replacing(gate);
        applyHandOver(gate.takeHandOver());
        return;
    }
    // No audio thread is known (none has processed yet, or the effect is suspended): every
    // thread that changes a buffer applies the change itself, one at a time.
    const std::lock_guard<std::recursive_mutex> one(handOverLock_);
    BufferGate::Replacement replacing(gate);
    applyHandOver(gate.takeHandOver());
}

void GrainEngine::applyHandOver(std::uint32_t request) noexcept {
    takeArrays();
    if (request & HandOver::kStopVoices) {
        voices.stopAll();
        seq.activeVoices = 0;
        if (const int count = HandOver::newVoiceCount(request); count > 0) {
            seq.voiceCount = count;
            // A single-grain capture that followed one of the stopped voices would wait for
            // it for ever: it is given up, as the stop rules do, and the next grain arms it.
            capture.dropFollowedGrain();
        }
    }
    if (request & HandOver::kRewind) {
        recorder_.rewind();
        seq.playPosition = 0.0f;
    }
    if (const int n = HandOver::selectedBuffer(request); n >= 0 && n < kNumBuffers) selectBufferInBlock(n);
}

void GrainEngine::takeArrays() noexcept {
    const std::uint32_t changed = bank_.takePublished();
    if (changed == 0) return;
    const int n = currentBuffer;
    if (changed & (1u << n)) {
        const BufferFrames frames = bank_.held(n);
        currentLeft = frames.left;
        currentRight = frames.right;
        currentLength = frames.length;
        currentLengthFloat = static_cast<float>(frames.length);
        if (std::int32_t converted = 0; bank_.heldFromConversion(n, converted))
            recorder_.followConversion(converted, frames.length);
        else
            recorder_.rewind();
        if (seq.playPosition >= static_cast<float>(frames.length)) seq.playPosition = 0.0f;
    }
    // Full voice reset: no voice may read an array that went, or past a new length.
    voices.resetAll();
    seq.activeVoices = 0;
}

void GrainEngine::publishArrays(int n, float* left, float* right, int frames, int rate, std::uint32_t request) {
    claimWriting(bank_.buffer(n));  // one replacement of a buffer at a time
    publishClaimed(n, left, right, frames, rate, request);
}

void GrainEngine::publishClaimed(int n, float* left, float* right, int frames, int rate, std::uint32_t request) {
    AudioBuffer& buffer = bank_.buffer(n);
    const auto [oldLeft, oldRight] = bank_.publish(n, left, right, frames, rate);
    programs_.storeRate(n, buffer.rate.load(std::memory_order_relaxed));
    // No audio thread running: the voices take the new record here and now.
    handToAudioThread(request);
    // A block that started before the publication may still read the old arrays.
    bank_.gate().waitForBlockEnd();
    // And the panel's views may be drawing them.
    if (oldLeft != nullptr || oldRight != nullptr) bank_.readers().waitForReaders();
    buffer.writing.store(false, std::memory_order_release);
    delete[] oldLeft;
    delete[] oldRight;
}

bool GrainEngine::takeSpare(int n, int frames) noexcept {
    if (!bank_.takeSpare(n, frames, workingRate())) return false;
    programs_.storeRate(n, bank_.buffer(n).rate.load(std::memory_order_relaxed));
    deferred_.fetch_or(kDeferSpare, std::memory_order_release);
    applyHandOver(bank_.gate().takeHandOver() | HandOver::kRewind);
    return true;
}

void GrainEngine::makeSpare() {
    if (!bank_.makeSpare()) deferred_.fetch_or(kDeferSpare, std::memory_order_release);  // memory short: later
}

void GrainEngine::selectBufferInBlock(int n) noexcept {
    if (n < 0 || n >= kNumBuffers) return;
    morphing.pendingBuffer = -1;
    const BufferFrames frames = bank_.held(n);
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
    recorder_.rewind();
    previousBuffer = currentBuffer.load();
    currentBuffer = n;
    ProgramBank::storeWhole(current().bufferNumber, static_cast<float>(n));
    notify(kBuffersChanged, 1.0f);

    if (setting(kMorphAlgorithm) != 0) return;
    if (frames.empty()) {
        for (GrainVoice& v : voices.slots) {
            stopVoice(v);
            v.readPosition = 0.0f;
            v.lastIndex = 0;
        }
        seq.activeVoices = 0;
        capture.request();
        capture.capturePosition = 0.0f;
        capture.capturedVoice = -1;
    } else {
        voices.moveAll(n, seq.playPosition);
    }
}

void GrainEngine::stopRecordingModes() {
    if (params.live[kRecFree] != 0.0f) setParameter(kRecFree, 0.0f);
    if (params.live[kRecSync] != 0.0f) setParameter(kRecSync, 0.0f);
    recorder_.stop();
}

void GrainEngine::allocateBuffer(int frames) {
    if (frames > kMaxBufferFrames) frames = kMaxBufferFrames;
    if (frames == 0 || frames < -1) frames = kDefaultBufferFrames;
    const int n = currentBuffer;
    AudioBuffer& buffer = bank_.buffer(n);
    bool empty = true;
    if (frames != -1 && onAudioThread()) {
        // Rec free / rec sync automated from the audio thread: the spare, zeroed already.
        empty = !takeSpare(n, frames) && framesOf(buffer).empty();
    } else {
        float* left = nullptr;
        float* right = nullptr;
        if (frames != -1) {
            const auto size = static_cast<std::size_t>(frames) + 1;
            left = new (std::nothrow) float[size]();  // zeroed, guard frame included
            right = new (std::nothrow) float[size]();
            if (left == nullptr || right == nullptr) {
                delete[] left;
                delete[] right;
                left = right = nullptr;
            }
        }
        empty = left == nullptr;
        publishArrays(n, left, right, empty ? 0 : frames, workingRate(), HandOver::kRewind);
    }
    if (frames == -1) {
        buffer.saved = 1;
        programs_.clearPath(n);
    } else if (!empty) {
        buffer.saved = 0;
    }
    if (empty) stopRecordingModes();
    recorder_.rewind();
    notify(kBuffersChanged, 1.0f);
    seq.halted = 0;
}

void GrainEngine::replaceBufferArrays(int n, float* left, float* right, int frames, int rate) {
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
    if (rate <= 0) rate = workingRate();
    publishArrays(n, left, right, frames, rate, 0);
}

void GrainEngine::eraseBuffer() {
    char text[64];
    eraseBufferQuestion(currentBuffer.load(), text, sizeof text);
    if (host_ != nullptr && host_->askYesNo(kEraseBufferTitle, text)) allocateBuffer(-1);
}

int GrainEngine::framesForBeats(double beats) const {
    const double frames = static_cast<double>(seq.sampleRate.load()) * beats * 60.0 / hostTime.tempo;
    return truncClamped(frames, 0, kMaxBufferFrames);
}

void GrainEngine::markRecorded(int n) {
    if (framesOf(bank_.buffer(n)).empty()) return;
    bank_.buffer(n).saved = 0;
    programs_.storeSaved(n, 0);
}

void GrainEngine::finishSyncedRecording() noexcept {
    // The audio thread's part of switching rec sync off: no allocation, no gate.
    params.live[kRecSync] = 0.0f;
    ProgramBank::storeWhole(current().recSync, 0.0f);
    recorder_.setFades(0.0f);
    notify(kRecSync, 0.0f);
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
    ProgramBank::storeWhole(current().recFree, value);
    if (value != 0.0f) {
        const int n = currentBuffer;
        programs_.clearPath(n);
        if (framesOf(bank_.buffer(n)).empty()) {
            allocateBuffer(framesForBeats(16.0));
            recorder_.setSyncWait(0);
        }
        markRecorded(n);
    }
    recorder_.setFades(value);
}

void GrainEngine::setRecSync(float value) {
    params.live[kRecSync] = value;
    ProgramBank::storeWhole(current().recSync, value);
    if (value != 0.0f) {
        const int n = currentBuffer;
        programs_.clearPath(n);
        constexpr std::int32_t kAllValid = EngineTransport::kPpqValid | EngineTransport::kBarsValid |
                                           EngineTransport::kTempoValid | EngineTransport::kTimeSigValid;
        EngineTransport info;
        const bool answered = queryTransport(kAllValid, info);
        if (answered) hostTime.take(info);
        const double unit = recorder_.syncUnitBeats();
        const double beats = unit > 0.0 ? unit : 16.0;
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
            recorder_.setSyncWait(truncClamped(samplesPerBeat * beatsToBar, 0, INT_MAX));
            recorder_.rewind();
        } else {
            recorder_.setSyncWait(0);
        }
    }
    recorder_.setFades(value);
}

void GrainEngine::setVoiceCount(float value) {
    // Every voice stops and the new count applies at one block boundary. The engine has
    // six slots: a count outside 1..6 is clamped, NaN keeps the count.
    handToAudioThread(HandOver::voiceCount(std::isnan(value) ? 0 : truncClamped(value, 1, kNumVoices)));
}

void GrainEngine::requestBuffer(float value) {
    if (value == static_cast<float>(currentBuffer.load())) {
        seq.playPosition = static_cast<float>(currentLength.load()) * bufferStartOf(currentBuffer);
        return;
    }
    int n = 0;
    if (!truncInRange(value, 0, kNumBuffers - 1, n)) return;  // no such buffer: nothing changes
    morphing.pendingBuffer = n;
    if (setting(kMorphAlgorithm) != 0) {
        morphing.morphState = MorphStage::Idle;
        morphing.morphStep = 1;
    } else {
        selectBuffer(n);
    }
}

}  // namespace grainwheel
