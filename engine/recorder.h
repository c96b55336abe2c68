#pragma once
// Recording of the host input into the current buffer, one frame at a time. The audio
// loop calls recordFrame() for every frame while the engine runs; it allocates nothing,
// locks nothing and writes only inside the given view.

#include <cstdint>

#include "engine/audio_buffer.h"
#include "engine/shared_value.h"

namespace grainwheel {

struct RecordState {
    Shared<std::int32_t> recordWritePosition{0};  // frame written next
    Shared<std::int32_t> recordFadeIn{0};         // samples left of the fade-in
    Shared<std::int32_t> recordFadeOut{0};        // samples left of the fade-out
    Shared<std::int32_t> recordSyncWait{0};       // samples to wait before a synced recording
    Shared<std::uint8_t> recording{0};            // 1 once a frame was written; the editor clears it
};

enum class RecordEvent {
    None,
    SyncFinished,  // a synced recording reached its end: switch rec sync off (fade-out follows)
};

// Records one input frame. recFree / recSync: whether those modes are on.
RecordEvent recordFrame(RecordState& state, const BufferFrames& buffer, bool recFree, bool recSync,
                        float inLeft, float inRight) noexcept;

// The recording of the engine: its state (the audio thread writes the frames and the
// positions, the editor reads them) and the length of a synced take. Which buffer is
// recorded into, and when the rec modes switch, is the engine's.
class Recorder {
public:
    const RecordState& state() const noexcept { return state_; }

    // Audio thread: one input frame into `buffer` (recordFrame).
    RecordEvent record(const BufferFrames& buffer, bool recFree, bool recSync, float inLeft, float inRight) noexcept {
        return recordFrame(state_, buffer, recFree, recSync, inLeft, inRight);
    }
    // The next frame goes to the buffer's start.
    void rewind() noexcept { state_.recordWritePosition = 0; }
    // The buffer recorded into was converted from `from` frames to `to`: the write
    // position and a synced take's wait follow the conversion's time scale.
    void followConversion(std::int32_t from, std::int32_t to) noexcept;
    // The fades of a rec mode switched to `value` (1 on: fade in; 0 off: fade out).
    void setFades(float value) noexcept;
    // Recording stops at once, without a fade.
    void stop() noexcept;
    // Frames a synced take waits for its bar line.
    void setSyncWait(std::int32_t frames) noexcept { state_.recordSyncWait = frames; }
    bool fadingOut() const noexcept { return state_.recordFadeOut > 0; }
    // The recording byte is 1 once a frame was written: true when it was, and it is 0 again.
    bool takeMark() noexcept {
        std::uint8_t one = 1;
        return state_.recording.address()->compare_exchange_strong(one, 0, std::memory_order_relaxed);
    }

    // Record Sync Unit: the beats of a synced take (0 until a unit with a length is set).
    void setSyncUnit(float value) noexcept;
    double syncUnitBeats() const noexcept { return syncUnitBeats_; }

private:
    RecordState state_;
    Shared<double> syncUnitBeats_{0.0};
};

}  // namespace grainwheel
