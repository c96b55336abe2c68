// The six-voice scene (bench/six_voice_scene.h) at pitch 0.3 with resonance: the engine's
// pitched path, long grains on every voice, which no host-side setting reaches (the
// sequencer overlaps two or three grains). The same program builds for Linux and for
// Windows (statically linked, run under Wine), so bench/windows_ratio.sh can set the two
// builds' figures side by side.
// Prints "voices N" and "x_realtime N": seconds of audio per second of wall-clock time,
// the best of the runs (after a warm-up of a second).
// Usage: voices_bench [SECONDS_OF_AUDIO_PER_RUN] [RUNS] [PITCH_VALUE] [BLOCK_FRAMES]

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/realtime_runs.h"
#include "bench/six_voice_scene.h"

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const float pitchValue = argc > 3 ? static_cast<float>(std::atof(argv[3])) : 0.15f;  // pitch 0.3
    const int block = argc > 4 ? std::clamp(std::atoi(argv[4]), 1, 8192) : 512;

    auto fx = grainwheel::bench::makeSixVoiceEffect(pitchValue);
    std::vector<float> in(static_cast<std::size_t>(block), 0.1f);
    std::vector<float> outL(static_cast<std::size_t>(block)), outR(static_cast<std::size_t>(block));
    float* ins[2] = {in.data(), in.data()};
    float* outs[2] = {outL.data(), outR.data()};
    const long blocks = std::max(1L, static_cast<long>(seconds * 44100.0 / block));
    float peak = 0.0f;
    const double best = grainwheel::bench::bestRealtime(
        [&] {
            fx->processReplacing(ins, outs, block);
            peak = std::max(peak, std::abs(outL[0]));
        },
        blocks, block / 44100.0, runs);
    std::printf("voices %.0f\n", static_cast<double>(fx->getParameter(grainwheel::kReadActiveVoices)));
    std::printf("x_realtime %.1f\n", best);
    return peak > 0.0f ? 0 : 1;  // the grains sounded
}
