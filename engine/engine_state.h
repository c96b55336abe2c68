#pragma once
// The engine state that GrainEngine owns besides the program records, the buffers and
// the sequencer.
// Words that one thread writes while the audio thread reads them are Shared<> (whole,
// relaxed); values only the audio loop touches are plain.

#include <cstdint>

#include "engine/parameter_index.h"
#include "engine/program_record.h"
#include "engine/sequencer.h"
#include "engine/shared_value.h"

namespace grainwheel {

// Parameter values: the live values, the per-unit values converted for the engine and
// the live global settings.
struct ParameterState {
    Shared<float> live[kNumHostParameters];
    Shared<float> densityFactor{2.0f};  // derived density
    Shared<float> unitTime[kNumUnits];
    Shared<float> unitSpeed[kNumUnits];
    Shared<float> unitPitch[kNumUnits];
    Shared<float> unitCutoff[kNumUnits];
    Shared<float> settings[kNumGlobalSettings];  // in globalSettings order
    Shared<float> buttons[3];                    // 261, 263, 264
    float lastCommand[4] = {};                   // nextprog, prevprog, copy prg, pasteprg
    float resonance = 0.0f;                      // q of the resonant filter
};

}  // namespace grainwheel
