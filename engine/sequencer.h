#pragma once
// The 16-step sequencer in step with the host's beat: what the host tells of its
// transport, the unit timing (which unit plays, when the next begins) and the play head.
// The audio thread runs it; the engine composes it with the voices, the parameters and
// the buffers (what a unit sets up, what a stop rule silences). Words another thread
// reads or writes are Shared<> (whole, relaxed); values only the audio loop touches are
// plain.

#include <cstdint>

#include "engine/program_record.h"
#include "engine/shared_value.h"

namespace grainwheel {

// What the host tells of its transport, in the engine's own terms.
struct EngineTransport {
    // Flags: which fields are valid, and whether the transport plays.
    static constexpr std::int32_t kPlaying = 1 << 1;
    static constexpr std::int32_t kPpqValid = 1 << 9;
    static constexpr std::int32_t kTempoValid = 1 << 10;
    static constexpr std::int32_t kBarsValid = 1 << 11;
    static constexpr std::int32_t kTimeSigValid = 1 << 13;

    std::int32_t flags = 0;
    double ppqPosition = 0.0;
    double barStart = 0.0;
    double tempo = 0.0;
    std::int32_t timeSigNumerator = 0;
    std::int32_t timeSigDenominator = 0;
};

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

    // Takes the host's answer to the time query; a tempo of 0 or below is not taken.
    void take(const EngineTransport& t) noexcept;
};

// Sequencer and play head.
struct Sequencer {
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

    // Block start: the unit timing from the unit length and the host's transport (a
    // missing time signature taken as 4/4). With the bar position known (and, with
    // trigmode, the transport playing) the unit and the samples to the next unit follow
    // the host's beat. True when that realignment wrapped from the last unit to the first:
    // the sequence ended.
    bool alignToHost(TransportState& host, bool trigmode, std::int32_t sampleFrames) noexcept;

    // The sample of a unit boundary: the next unit (unless the unit length is 0). True when
    // the sequence wrapped from its last unit to the first: it ended.
    bool nextUnit() noexcept {
        unitCountdown = samplesPerUnit;
        if (unitLengthBeats != 0.0f) currentUnit = currentUnit + 1;
        bool ended = false;
        if (currentUnit >= kNumUnits) {
            currentUnit = 0;
            ended = previousUnit == kNumUnits - 1;
        }
        previousUnit = currentUnit;
        return ended;
    }

    // The play head moves by headRun x headSpeed and wraps at the buffer's ends (`length`
    // frames), or, when `restarts`, calls restart() there (which puts it back).
    template <typename Restart>
    void advanceHead(std::int32_t length, bool restarts, Restart&& restart) noexcept {
        const float frames = static_cast<float>(length);
        const float head = playPosition + static_cast<float>(headRun) * headSpeed;
        playPosition = head;
        if (length != 0 && head >= frames) {
            if (restarts)
                restart();
            else
                playPosition = head - frames;
        }
        if (playPosition < 0.0f) {
            if (restarts)
                restart();
            else
                playPosition = playPosition + frames;
        }
    }
};

}  // namespace grainwheel
