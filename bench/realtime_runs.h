#pragma once
// Timing of the plain benchmark programs (the ones also built for Windows): seconds of
// audio per second of wall-clock time, the best of several runs, after a warm-up. A
// process started under Wine shares the machine for its first moments with the services
// Wine starts beside it; the warm-up lets them settle so that the runs time the plug-in.

#include <algorithm>
#include <chrono>

namespace grainwheel::bench {

// Calls block() (one block of `blockSeconds` of audio) for `warmUp` seconds of wall-clock
// time, then `runs` times `blocks` times; returns the best run's multiple of real time.
template <typename Block>
double bestRealtime(Block&& block, long blocks, double blockSeconds, int runs, double warmUp = 1.0) {
    using Clock = std::chrono::steady_clock;
    const auto seconds = [](Clock::time_point from) {
        return std::chrono::duration<double>(Clock::now() - from).count();
    };
    const auto warmStart = Clock::now();
    while (seconds(warmStart) < warmUp)
        for (int k = 0; k < 64; ++k) block();
    double best = 0.0;
    for (int r = 0; r < runs; ++r) {
        const auto t0 = Clock::now();
        for (long b = 0; b < blocks; ++b) block();
        best = std::max(best, static_cast<double>(blocks) * blockSeconds / seconds(t0));
    }
    return best;
}

}  // namespace grainwheel::bench
