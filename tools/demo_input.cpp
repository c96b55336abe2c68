#include "tools/demo_input.h"

#include <algorithm>
#include <cmath>

namespace gwhost {

namespace {

constexpr double kTwoPi = 6.283185307179586;

// A small linear congruential generator: the same noise on every machine.
struct Noise {
    std::uint32_t state = 0x2545F491u;
    float next() {
        state = state * 1664525u + 1013904223u;
        return static_cast<float>(state >> 8) / 8388608.0f - 1.0f;
    }
};

}  // namespace

std::vector<float> makeDemoInput(std::int64_t frames, double sampleRate, double tempo) {
    if (frames < 0) frames = 0;
    std::vector<float> out(static_cast<std::size_t>(frames) * 2, 0.0f);
    if (tempo <= 0.0 || sampleRate <= 0.0) return out;
    const double beat = 60.0 / tempo;          // seconds per quarter note
    const double loop = 8.0 * beat;            // two bars of 4/4
    // A minor, F major: one chord per bar (root, third, fifth in Hz).
    static const double chords[2][3] = {{220.0, 261.63, 329.63}, {174.61, 220.0, 261.63}};
    Noise noise;
    for (std::int64_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        const double inLoop = std::fmod(t, loop);
        const double inBeat = std::fmod(inLoop, beat);
        const int beatNo = static_cast<int>(inLoop / beat);  // 0..7
        const double inEighth = std::fmod(inLoop, beat / 2.0);
        const float n = noise.next();

        // Kick on every beat: a falling sine.
        const double kickPhase = kTwoPi * (50.0 * inBeat + 60.0 * (1.0 - std::exp(-inBeat * 30.0)) / 30.0);
        const double kick = std::sin(kickPhase) * std::exp(-inBeat * 9.0);
        // Snare on beats 2 and 4: a noise burst with a tone.
        double snare = 0.0;
        if (beatNo % 2 == 1) snare = (0.7 * n + 0.3 * std::sin(kTwoPi * 190.0 * inBeat)) * std::exp(-inBeat * 18.0);
        // Hi-hat on eighths: short noise.
        const double hat = n * std::exp(-inEighth * 90.0);
        // The chord: soft triangle-ish tones with a slow swell per bar.
        const int bar = beatNo / 4;
        const double inBar = inLoop - bar * 4.0 * beat;
        const double swell = std::min(1.0, inBar * 4.0) * std::exp(-inBar * 0.4);
        double chord = 0.0;
        for (double f : chords[bar]) chord += std::sin(kTwoPi * f * t) + 0.2 * std::sin(kTwoPi * 2.0 * f * t);
        chord *= swell / 3.6;

        const double left = 0.45 * kick + 0.25 * snare + 0.08 * hat + 0.22 * chord;
        const double right = 0.45 * kick + 0.22 * snare + 0.10 * hat + 0.22 * chord;
        out[static_cast<std::size_t>(i) * 2] = static_cast<float>(left);
        out[static_cast<std::size_t>(i) * 2 + 1] = static_cast<float>(right);
    }
    return out;
}

}  // namespace gwhost
