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

// The envelope step, inlined into the per-sample renderers.
inline float envelopeStep(GrainVoice& v, int envelopeType) {
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

float envelopeValue(GrainVoice& v, int envelopeType) { return envelopeStep(v, envelopeType); }

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

namespace {

// One sample of a buffer-reading voice on a non-empty buffer.
inline StereoSample bufferStep(GrainVoice& v, const BufferView& buffer, float pitch, int envelopeType) {
    const int length = buffer.length;
    // A position outside the buffer (it may have been replaced by a shorter one) is
    // folded back in rather than read out of bounds.
    if (PlayHead::fold(v.readPosition, static_cast<float>(length)))
        v.lastIndex = std::min(v.lastIndex, static_cast<int>(v.readPosition));
    const int idx = static_cast<int>(v.readPosition);
    const float frac = v.readPosition - static_cast<float>(idx);
    const float e = envelopeStep(v, envelopeType);
    v.remaining -= 1;
    if (idx > v.lastIndex) {
        v.previous[0] = v.current[0];
        v.previous[1] = v.current[1];
        v.current[0] = buffer.left[idx];
        v.current[1] = buffer.right[idx];
    }
    v.lastIndex = idx;
    StereoSample out;
    if (frac == 0.0f) {
        out.left = e * v.previous[0];
        out.right = e * v.previous[1];
    } else {
        out.left = e * (v.previous[0] + (v.current[0] - v.previous[0]) * frac);
        out.right = e * (v.previous[1] + (v.current[1] - v.previous[1]) * frac);
    }
    v.readPosition += pitch;
    PlayHead::wrap(v.readPosition, v.lastIndex, length, static_cast<float>(length));
    return out;
}

inline float precomputedStep(GrainVoice& v) {
    float value = 0.0f;
    if (v.precomputedIndex >= 0 && v.precomputedIndex < kTransformSize)
        value = v.precomputedGrain[static_cast<std::size_t>(v.precomputedIndex)];
    v.precomputedIndex += 1;
    v.remaining -= 1;
    return value;
}

// bufferStep over a stretch for one envelope type, the voice's running values in locals
// (the same operations in the same order per sample).
template <int Env>
int bufferRun(GrainVoice& v, const BufferView& buffer, float pitch, float* __restrict sumLeft,
              float* __restrict sumRight, int frames) {
    const float* __restrict bufLeft = buffer.left;
    const float* __restrict bufRight = buffer.right;
    const int length = buffer.length;
    const float flen = static_cast<float>(length);
    float pos = v.readPosition;
    int last = v.lastIndex;
    int remaining = v.remaining;
    float prevL = v.previous[0], prevR = v.previous[1];
    float curL = v.current[0], curR = v.current[1];
    int attack = v.attack, sustain = v.sustain, release = v.release;
    float level = v.linearLevel;
    const float step = v.linearStep;
    double osc = v.oscOutput;
    CosineOscillator oscillator = v.osc;
    const auto oscillate = [&]() {
        osc = oscillator.next();
        return CosineOscillator::raised(osc);
    };
    int n = 0;
    for (; n < frames && remaining > 0; ++n) {
        if (PlayHead::fold(pos, flen)) last = std::min(last, static_cast<int>(pos));
        const int idx = static_cast<int>(pos);
        const float frac = pos - static_cast<float>(idx);
        float e;
        if constexpr (Env == kEnvRectangular) {
            e = 1.0f;
        } else if (attack >= 1) {
            attack -= 1;
            if constexpr (Env == kEnvTrapezoid) {
                level += step;
                e = level;
            } else {
                e = oscillate();
            }
        } else if (sustain > 0) {
            sustain -= 1;
            level = 1.0f;
            e = 1.0f;
        } else if (release > 0) {
            release -= 1;
            if constexpr (Env == kEnvTrapezoid) {
                level -= step;
                e = level;
            } else {
                e = oscillate();
            }
        } else {
            e = 0.0f;
        }
        remaining -= 1;
        if (idx > last) {
            prevL = curL;
            prevR = curR;
            curL = bufLeft[idx];
            curR = bufRight[idx];
        }
        last = idx;
        float outL;
        float outR;
        if (frac == 0.0f) {
            outL = e * prevL;
            outR = e * prevR;
        } else {
            outL = e * (prevL + (curL - prevL) * frac);
            outR = e * (prevR + (curR - prevR) * frac);
        }
        pos += pitch;
        PlayHead::wrap(pos, last, length, flen);
        sumLeft[n] += outL;
        sumRight[n] += outR;
    }
    v.readPosition = pos;
    v.lastIndex = last;
    v.remaining = remaining;
    v.previous[0] = prevL, v.previous[1] = prevR;
    v.current[0] = curL, v.current[1] = curR;
    v.attack = attack, v.sustain = sustain, v.release = release;
    v.linearLevel = level;
    v.oscOutput = osc;
    v.osc = oscillator;
    return n;
}

}  // namespace

StereoSample renderVoiceSample(GrainVoice& v, const BufferView& buffer, float pitch, int envelopeType) {
    if (v.renderMode == kRenderPrecomputed) {
        const float value = precomputedStep(v);
        return {value, value};
    }
    if (buffer.empty()) return {};
    return bufferStep(v, buffer, pitch, envelopeType);
}

int renderVoiceBlock(GrainVoice& v, const BufferView& buffer, float pitch, int envelopeType,
                     float* sumLeft, float* sumRight, int frames) {
    int n = 0;
    if (v.renderMode == kRenderPrecomputed) {
        for (; n < frames && v.remaining > 0; ++n) {
            const float value = precomputedStep(v);
            sumLeft[n] += value;
            sumRight[n] += value;
        }
        return n;
    }
    if (buffer.empty()) return frames;
    return withEnvelope(envelopeType, [&](auto env) {
        return bufferRun<decltype(env)::value>(v, buffer, pitch, sumLeft, sumRight, frames);
    });
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
