#pragma once
// The six grain voice slots and the two output filters, with the slot-wide operations
// that parameter changes and buffer changes run.

#include "engine/dsp/filters.h"
#include "engine/dsp/grain_voice.h"

namespace grainwheel {

struct VoiceBank {
    GrainVoice slots[kNumVoices];
    PitchFilter pitchFilter;
    ResonantFilter resonantFilter;

    // Setting the voice count: every slot stops.
    void stopAll() {
        for (GrainVoice& v : slots) stopVoice(v);
    }
    // Every field of every slot to its start value (before buffers are replaced).
    void resetAll() {
        for (GrainVoice& v : slots) resetVoice(v);
    }
    // A buffer change without morph: active voices continue on the new buffer.
    void moveAll(int bufferNumber, float playPosition) {
        for (GrainVoice& v : slots)
            if (!v.idle()) moveVoiceToBuffer(v, bufferNumber, playPosition);
    }
};

}  // namespace grainwheel
