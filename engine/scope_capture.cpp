// The scope capture (scope_capture.h). Audio thread only, request() aside.

#include "engine/scope_capture.h"

#include <algorithm>

#include "engine/dsp/spectrum_transform.h"

namespace grainwheel {

void ScopeCapture::grainStarted(int v, std::int32_t grainLength, ScopeMode mode) noexcept {
    if (stage() != CaptureStage::Wanted || mode == ScopeMode::FreqSum) return;
    captureIncrement = kSpan / static_cast<float>(grainLength);
    capturedVoice = v;
    setStage(CaptureStage::Filling);
    capturePosition = 0.0f;
}

void ScopeCapture::voiceEnded(int v, ScopeMode mode, bool morphIdle, SpectrumTransform& transform) noexcept {
    if (v != capturedVoice) return;
    if (mode == ScopeMode::FreqGrain) {
        if (morphIdle) {
            const int from = std::clamp(static_cast<int>(capturePosition), 0, kLength);
            std::fill(captureBuffer + from, captureBuffer + kLength, 0.0f);
        }
        toSpectrum(transform);
    }
    setStage(CaptureStage::Finished);
    capturePosition = 0.0f;
    capturedVoice = -1;
}

void ScopeCapture::sumSample(ScopeMode mode, float left, float right, const CosineOscillator& blockWindow,
                             SpectrumTransform& transform) noexcept {
    if (mode == ScopeMode::TimeSum) {
        if (stage() != CaptureStage::Filling) return;
        captureBuffer[static_cast<int>(capturePosition)] = left;
        capturePosition += captureIncrement;
        if (capturePosition >= static_cast<float>(kLength)) capturePosition = 0.0f;
    } else if (mode == ScopeMode::FreqSum) {
        const CaptureStage s = stage();
        if (s == CaptureStage::Wanted) {
            setStage(CaptureStage::Filling);
            return;
        }
        if (s != CaptureStage::Filling) return;
        if (capturePosition == 0.0f) window = blockWindow;
        const double w = window.next();
        const int pos = std::clamp(static_cast<int>(capturePosition), 0, kLength - 1);
        captureBuffer[pos] = static_cast<float>((left + right) * (w + 1.0) * 0.25);
        capturePosition += 1.0f;
        if (capturePosition >= static_cast<float>(kLength)) {
            capturePosition = 0.0f;
            toSpectrum(transform);
            setStage(CaptureStage::Finished);
            window = blockWindow;
        }
    }
}

void ScopeCapture::takeValues(const float* values) noexcept {
    std::copy(values, values + kLength, captureBuffer);
    capturePosition = 0.0f;
    setStage(CaptureStage::Finished);
    capturedVoice = -1;
}

void ScopeCapture::dropFollowedGrain() noexcept {
    if (stage() != CaptureStage::Filling || capturedVoice < 0) return;
    setStage(CaptureStage::Wanted);
    capturePosition = 0.0f;
    capturedVoice = -1;
}

void ScopeCapture::toSpectrum(SpectrumTransform& transform) noexcept {
    const float* spectrum = transform.magnitudeSpectrum(captureBuffer);
    std::copy(spectrum, spectrum + kLength, captureBuffer);
}

}  // namespace grainwheel
