#include "engine/dsp/grain_voice.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace grainwheel {

namespace {

void clearFrames(GrainVoice& v) {
    v.current[0] = v.current[1] = 0.0f;
    v.previous[0] = v.previous[1] = 0.0f;
}

void setupOscillator(GrainVoice& v, double w) {
    v.osc = CosineOscillator::starting(w);
    v.oscOutput = 0.0;
}

// Yields -cos(n w) for n = 0, 1, 2, ...
double stepOscillator(GrainVoice& v) {
    v.oscOutput = v.osc.next();
    return v.oscOutput;
}

// The attack (and release) of the shaped envelopes: half of what the sustain share leaves,
// truncated. A share outside 0..1 (only a value set on the engine itself) keeps it within
// 0..len; NaN gives 0.
int envelopeEdge(int len, float envSust) {
    const float b = (static_cast<float>(len) - static_cast<float>(len - 1) * envSust) / 2.0f;
    if (b >= 0.0f && static_cast<double>(b) <= static_cast<double>(len)) return static_cast<int>(b);
    return b > 0.0f ? len : 0;
}

}  // namespace

void setupEnvelope(GrainVoice& v, int envelopeType, float envSust) {
    const int len = v.remaining;
    switch (envelopeType) {
    case kEnvTrapezoid: {
        const int b = envelopeEdge(len, envSust);
        v.attack = b;
        v.release = b - 1;
        v.sustain = static_cast<int>(std::min<long long>(static_cast<long long>(len) + 1 - 2LL * b, INT_MAX));
        if (v.sustain == 0) v.sustain = 1;
        v.linearStep = b > 0 ? 1.0f / static_cast<float>(b) : 0.0f;
        v.linearLevel = 0.0f;
        break;
    }
    case kEnvRaisedCosine: {
        const int b = envelopeEdge(len, envSust);
        v.attack = b;
        v.release = b;
        v.sustain = len - 2 * b;
        setupOscillator(v, b < 2 ? 1.0471975511965979 : kPiDouble / b);
        break;
    }
    case kEnvHanning: {
        const int a = len / 2;
        v.attack = a;
        v.release = a;
        v.sustain = 0;
        setupOscillator(v, a < 1 ? 1.0471975511965979 : kPiDouble / a);
        break;
    }
    default:  // off / rectangular: the envelope is 1.0 throughout
        break;
    }
}

float envelopeValue(GrainVoice& v, int envelopeType) {
    if (envelopeType != kEnvTrapezoid && envelopeType != kEnvRaisedCosine &&
        envelopeType != kEnvHanning)
        return 1.0f;
    if (v.attack >= 1) {
        v.attack -= 1;
        if (envelopeType == kEnvTrapezoid) {
            v.linearLevel += v.linearStep;
            return v.linearLevel;
        }
        return CosineOscillator::raised(stepOscillator(v));
    }
    if (v.sustain > 0) {
        v.sustain -= 1;
        v.linearLevel = 1.0f;
        return 1.0f;
    }
    if (v.release > 0) {
        v.release -= 1;
        if (envelopeType == kEnvTrapezoid) {
            v.linearLevel -= v.linearStep;
            return v.linearLevel;
        }
        return CosineOscillator::raised(stepOscillator(v));
    }
    return 0.0f;
}

float remainderInBuffer(float position, float length) noexcept {
    float rest = std::fmod(position, length);  // exact
    if (rest < 0.0f) rest += length;
    return (rest >= 0.0f && rest < length) ? rest : 0.0f;
}

WrappedRead wrapLongStep(float position, int lastIndex, int length) noexcept {
    const float rest = remainderInBuffer(position, static_cast<float>(length));
    // position - rest is the whole lengths taken off: exact in double, and the same
    // integer that repeated subtraction takes off the index.
    const double last = static_cast<double>(lastIndex) - (static_cast<double>(position) - static_cast<double>(rest));
    return {rest, last >= -2147483648.0 ? static_cast<int>(last) : -1};
}

bool startGrain(GrainVoice& v, const GrainStart& s) {
    if (s.bufferLength <= 0 || s.grainLength < 1) return false;
    const float at = nearPosition(s.playPosition);
    v.remaining = s.grainLength;
    v.precomputedIndex = 0;
    v.buffer = s.bufferNumber;
    v.lastIndex = static_cast<int>(at - 1.0f);
    v.readPosition = at;
    setupEnvelope(v, s.envelopeType, s.envSust);
    clearFrames(v);
    return true;
}

bool startMorphGrain(GrainVoice& v, const GrainStart& s) {
    if (s.grainLength < 1) return false;
    v.remaining = std::min(s.grainLength, kMaxMorphGrain);
    v.precomputedIndex = 0;
    v.buffer = s.bufferNumber;
    if (s.bufferLength <= 0) {
        v.lastIndex = 0;
        v.readPosition = 0.0f;
        v.attack = v.release = 0;
        v.sustain = v.remaining;
        v.linearLevel = 1.0f;
    } else {
        const float at = nearPosition(s.playPosition);
        v.lastIndex = static_cast<int>(at);
        v.readPosition = at;
        setupEnvelope(v, s.envelopeType, s.envSust);
    }
    clearFrames(v);
    return true;
}

void stopVoice(GrainVoice& v) {
    v.remaining = 0;
    v.precomputedIndex = 0;
    v.renderMode = kRenderBuffer;
}

void moveVoiceToBuffer(GrainVoice& v, int bufferNumber, float playPosition) {
    const float at = nearPosition(playPosition);
    v.buffer = bufferNumber;
    v.readPosition = at;
    v.lastIndex = static_cast<int>(at);
}

void resetVoice(GrainVoice& v) {
    v = GrainVoice{};
}

}  // namespace grainwheel
