#pragma once
// The built-in demo input: a two-bar drum-and-chord loop, synthesised deterministically
// (no files, no random seeds from outside), so every run renders the same demo.

#include <cstdint>
#include <vector>

namespace gwhost {

// Stereo interleaved samples of the loop repeated to fill `frames` frames, at `tempo`
// beats per minute in 4/4. Peak below 0.8.
std::vector<float> makeDemoInput(std::int64_t frames, double sampleRate, double tempo);

}  // namespace gwhost
