#include "engine/recorder.h"

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

}  // namespace grainwheel
