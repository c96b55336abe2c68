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

}  // namespace grainwheel
