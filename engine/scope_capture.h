#pragma once
// The scope capture: what the small scope shows, filled by the audio thread. A capture is
// asked for (Wanted), armed at the next grain start (the single-grain views follow that
// grain's voice) or at the next sample (the sum spectrum), filled (Filling) and finished
// (Finished), when the display publisher copies it for the panel (display_publisher.h);
// the next one is asked for with request(). Only the state word is shared with other
// threads; the array and the positions are the audio thread's.

#include <cstdint>

#include "engine/display_snapshot.h"
#include "engine/dsp/cosine_oscillator.h"
#include "engine/parameter_index.h"
#include "engine/shared_value.h"

namespace grainwheel {

class SpectrumTransform;

constexpr int kCaptureSize = 4097;

struct ScopeCapture {
    static constexpr int kLength = 4096;     // entries a capture fills
    static constexpr float kSpan = 206.0f;   // entries one grain spans in the time views

    float captureBuffer[kCaptureSize] = {};
    Shared<std::int32_t> captureState{0};  // a CaptureStage
    float capturePosition = 0.0f;
    std::int32_t capturedVoice = -1;
    float captureIncrement = 0.0f;
    CosineOscillator window;  // the Hann window of the sum spectrum
    std::uint32_t finishes = 0;  // counts the captures finished

    CaptureStage stage() const noexcept { return static_cast<CaptureStage>(captureState.load()); }
    void setStage(CaptureStage s) noexcept {
        if (s == CaptureStage::Finished) ++finishes;
        captureState = static_cast<std::int32_t>(s);
    }
    // Any thread: the next capture is wanted.
    void request() noexcept { captureState = static_cast<std::int32_t>(CaptureStage::Wanted); }

    // Audio thread, from here on.
    // True while the single-grain capture follows voice v.
    bool follows(int v) const noexcept { return stage() == CaptureStage::Filling && v == capturedVoice; }
    // A sample of the followed grain (follows() answered true).
    void grainSample(ScopeMode mode, float left, float right) noexcept {
        if (mode == ScopeMode::TimeGrain) {
            captureBuffer[static_cast<int>(capturePosition)] = left;
            capturePosition += captureIncrement;
            if (capturePosition >= static_cast<float>(kLength)) capturePosition = 0.0f;
        } else if (mode == ScopeMode::FreqGrain && capturePosition < static_cast<float>(kLength)) {
            captureBuffer[static_cast<int>(capturePosition)] = (left + right) / 2.0f;
            capturePosition += 1.0f;
        }
    }
    // A grain started on voice v: a wanted single-grain capture follows it.
    void grainStarted(int v, std::int32_t grainLength, ScopeMode mode) noexcept;
    // Voice v ended: the capture that followed it is finished (a spectrum once
    // transformed; morphIdle: no morph filled the array meanwhile).
    void voiceEnded(int v, ScopeMode mode, bool morphIdle, SpectrumTransform& transform) noexcept;
    // A sample of the filtered sum, for the sum views; blockWindow: the window's start.
    void sumSample(ScopeMode mode, float left, float right, const CosineOscillator& blockWindow,
                   SpectrumTransform& transform) noexcept;
    // The morph's own scope values, finished as they are.
    void takeValues(const float* values) noexcept;
    // The grain a single-grain capture followed is gone: the next grain arms it again.
    void dropFollowedGrain() noexcept;

private:
    void toSpectrum(SpectrumTransform& transform) noexcept;
};

}  // namespace grainwheel
