#pragma once
// The engine state that GrainEngine owns besides the program records and the buffers.
// Words that one thread writes while the audio thread reads them are Shared<> (whole,
// relaxed); values only the audio loop touches are plain.

#include <cstdint>

#include "engine/dsp/cosine_oscillator.h"
#include "engine/parameter_index.h"
#include "engine/program_record.h"
#include "engine/shared_value.h"

namespace grainwheel {

constexpr int kCaptureSize = 4097;

// What the host last told of its transport. Missing information keeps the last values.
struct TransportState {
    Shared<double> tempo{120.0};  // beats per minute; only valid (> 0) tempos are kept
    Shared<double> ppqPosition{0.0};
    Shared<double> barStart{0.0};
    Shared<double> timeSigNumerator{0.0};
    Shared<double> timeSigDenominator{0.0};
    Shared<std::int32_t> ppqValid{0};
    Shared<std::int32_t> barsValid{0};
    Shared<std::int32_t> tempoValid{0};
    Shared<std::int32_t> timeSigValid{0};
    Shared<std::int32_t> playing{1};
};

// Sequencer and play head.
struct SequencerState {
    Shared<float> sampleRate{44100.0f};   // the engine's working copy
    Shared<float> unitLengthBeats{0.0f};  // from unitDura
    float samplesPerBeat = 0.0f;
    std::int32_t samplesPerUnit = 0;
    std::int32_t unitCountdown = 0;
    Shared<std::int32_t> currentUnit{0};
    std::int32_t previousUnit = 0;
    Shared<float> playPosition{0.0f};  // frames of the current buffer
    float headSpeed = 0.0f;
    Shared<std::int32_t> headRun{1};   // 0 while a morph holds the head
    Shared<std::int32_t> grainInterval{1408};
    Shared<std::int32_t> grainLength{2816};
    Shared<float> grainLengthFloat{2816.0f};  // the editor's copy
    float grainPitch = 0.0f;
    float previousGrainPitch = 0.0f;
    float triggerCountdown = 0.0f;
    Shared<std::uint8_t> halted{1};  // no grains, no recording while set
    Shared<std::int32_t> voiceCount{6};    // voice slots scanned, 1..6
    Shared<std::int32_t> activeVoices{0};
    Shared<float> mainGain{0.0f};
    Shared<float> peakLevel{0.0f};
    Shared<float> linkedDensity{0.0f};  // published for the editor in the linked time modes
};

// Spectral morph between buffers.
struct MorphControl {
    Shared<MorphStage> morphState{MorphStage::Idle};
    Shared<std::int32_t> morphStep{1};
    Shared<std::uint8_t> morphWait{0};
    Shared<std::int32_t> pendingBuffer{-1};
};

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
