#pragma once
// The engine state that GrainEngine owns besides the program records, the buffers and
// the sequencer.
// Words that one thread writes while the audio thread reads them are Shared<> (whole,
// relaxed); values only the audio loop touches are plain.

#include <cstdint>

#include "engine/dsp/cosine_oscillator.h"
#include "engine/parameter_index.h"
#include "engine/program_record.h"
#include "engine/sequencer.h"
#include "engine/shared_value.h"

namespace grainwheel {

constexpr int kCaptureSize = 4097;

// The scope capture. The editor reads the array while it is filled; only the state and
// position words are exchanged whole.
struct CaptureState {
    float captureBuffer[kCaptureSize] = {};
    Shared<std::int32_t> captureState{0};  // a CaptureStage; the editor reads the word
    float capturePosition = 0.0f;
    std::int32_t capturedVoice = -1;
    float captureIncrement = 0.0f;
    // The Hann window of the sum spectrum.
    CosineOscillator window;
};

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
