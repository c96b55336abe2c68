#include "engine/recorder.h"

#include <algorithm>

#include "engine/conversions.h"

namespace grainwheel {

namespace {

// The write position, kept inside the buffer whatever another thread stored meanwhile.
std::int32_t writePosition(const RecordState& state, std::int32_t length) noexcept {
    const std::int32_t pos = state.recordWritePosition;
    return (pos < 0 || pos >= length) ? 0 : pos;
}

void writeFrame(const BufferFrames& buffer, std::int32_t pos, float l, float r) noexcept {
    buffer.left[pos] = l;
    buffer.right[pos] = r;
    if (pos == 0) {  // keep the guard frame a copy of frame 0
        buffer.left[buffer.length] = l;
        buffer.right[buffer.length] = r;
    }
}

}  // namespace

RecordEvent recordFrame(RecordState& state, const BufferFrames& buffer, bool recFree, bool recSync,
                        float inLeft, float inRight) noexcept {
    if (buffer.empty()) return RecordEvent::None;
    const std::int32_t length = buffer.length;
    RecordEvent event = RecordEvent::None;

    if (recFree || recSync) {
        const std::int32_t wait = state.recordSyncWait;
        if (wait > 0) {
            state.recordSyncWait = wait - 1;
            return RecordEvent::None;
        }
        if (wait < 0) state.recordSyncWait = 0;
        state.recording = 1;
        const std::int32_t fadeIn = state.recordFadeIn;
        if (fadeIn > 0) {
            const float gain = 1.0f - static_cast<float>(fadeIn) / static_cast<float>(kFadeFrames);
            inLeft *= gain;
            inRight *= gain;
            state.recordFadeIn = fadeIn - 1;
        }
        const std::int32_t pos = writePosition(state, length);
        writeFrame(buffer, pos, inLeft, inRight);
        if (recSync && length - pos - 1 <= kFadeFrames) {
            state.recording = 0;
            event = RecordEvent::SyncFinished;
        }
        state.recordWritePosition = pos + 1;
    } else {
        const std::int32_t fadeOut = state.recordFadeOut;
        if (fadeOut > 0) {
            state.recording = 1;
            const float gain = static_cast<float>(fadeOut) / static_cast<float>(kFadeFrames);
            state.recordFadeOut = fadeOut - 1;
            const std::int32_t pos = writePosition(state, length);
            writeFrame(buffer, pos, inLeft * gain, inRight * gain);
            state.recordWritePosition = pos + 1;
            if (pos + 1 == length) {
                buffer.left[length] = buffer.left[0];
                buffer.right[length] = buffer.right[0];
            }
        }
    }
    if (state.recordWritePosition >= length) state.recordWritePosition = 0;
    return event;
}

void Recorder::followConversion(std::int32_t from, std::int32_t to) noexcept {
    // The conversion puts input frame p at output frame p * to / from.
    const double scale = static_cast<double>(to) / static_cast<double>(from);
    const std::int32_t pos = state_.recordWritePosition;
    const double at = (pos > 0 && pos < from) ? static_cast<double>(pos) * scale + 0.5 : 0.0;
    state_.recordWritePosition = at < static_cast<double>(to) ? static_cast<std::int32_t>(at) : 0;
    if (const std::int32_t wait = state_.recordSyncWait; wait > 0)
        state_.recordSyncWait =
            static_cast<std::int32_t>(std::min(static_cast<double>(wait) * scale + 0.5, 2147483647.0));
}

void Recorder::setFades(float value) noexcept {
    state_.recordFadeIn = truncClamped(value * static_cast<float>(kFadeFrames), 0, kFadeFrames);
    state_.recordFadeOut = truncClamped((value - 1.0f) * -static_cast<float>(kFadeFrames), 0, kFadeFrames);
}

void Recorder::stop() noexcept {
    state_.recordFadeIn = 0;
    state_.recordFadeOut = 0;
    state_.recording = 0;
}

void Recorder::setSyncUnit(float value) noexcept {
    int k = 0;
    if (truncInRange(value, 0, 28, k) && kSyncUnits[k].beats >= 0.0) syncUnitBeats_ = kSyncUnits[k].beats;
}

}  // namespace grainwheel
