#pragma once
// The session the plug-in formats' parity tests play through a format's plug-in and the
// VST 2 module alike: records with rec sync and rec free and plays the takes back,
// changes program by value and by the next-program command, with changes between the
// frames of a block. Its settings: the rate, tempo, metre, block and length of a run.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/parameter_index.h"

namespace gwparity {

struct Change {
    double beat;
    int index;
    float value;
};

struct Case {
    double rate = 44100.0;
    double tempo = 120.0;
    int beatsPerBar = 4;
    int block = 256;
    double beats = 20.0;
};

// The second run: another rate, tempo and metre, blocks of an odd size.
inline Case otherCase() {
    Case c;
    c.rate = 48000.0;
    c.tempo = 97.5;
    c.beatsPerBar = 3;
    c.block = 97;
    return c;
}

inline std::int64_t frameOf(const Case& c, double beat) { return std::llround(beat * 60.0 / c.tempo * c.rate); }

inline std::vector<Change> session() {
    using namespace grainwheel;
    std::vector<Change> s = {{0, kBufferNo, 0.0f}, {0, kMonitor, 1.0f}, {0, kRecSync, 1.0f}, {0, kMainLevl, 0.8f}};
    for (int k = 0; k < 16; ++k) {
        s.push_back({0, kTime + k, 0.3f + 0.05f * static_cast<float>(k % 9)});
        s.push_back({0, kSpeed + k, k % 3 == 0 ? 0.5f : 1.0f});
        s.push_back({0, kPitch + k, 0.25f + 0.125f * static_cast<float>(k % 5)});
        s.push_back({0, kFreq + k, 0.4f + 0.15f * static_cast<float>(k % 5)});
    }
    const std::vector<Change> later = {
        {8.5, kMonitor, 0.0f},    {8.5, kRecSync, 0.0f},       {9.03, kDensity, 0.6f},
        {10.0, kBufferNo, 1.0f / 15.0f}, {10.0, kMonitor, 1.0f}, {10.27, kRecFree, 1.0f},
        {12.0, kRecFree, 0.0f},   {12.0, kMonitor, 0.0f},      {13.11, kUnitDura, 0.5f},
        {13.11, kReso, 0.5f},     {14.0, kProgram, 2.0f / 15.0f}, {15.0, kBufferNo, 0.0f},
        {16.5, kNextProg, 1.0f},  {16.75, kNextProg, 0.0f},    {17.0, kBufferNo, 1.0f / 15.0f},
        {18.01, kSpeed + 3, 0.5f}, {18.33, kPitch + 5, 0.9f},
    };
    s.insert(s.end(), later.begin(), later.end());
    return s;
}

// The takes play back (sound after beat 13), and a format's render equals the VST 2
// module's bit for bit.
inline void expectSameRender(const Case& c, const std::vector<float>& left, const std::vector<float>& right,
                             const std::vector<float>& vstLeft, const std::vector<float>& vstRight) {
    double energy = 0.0;
    for (std::size_t i = static_cast<std::size_t>(frameOf(c, 13.0)); i < left.size(); ++i) energy += std::fabs(left[i]);
    EXPECT_GT(energy, 100.0) << "the takes play back";
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (std::memcmp(&left[i], &vstLeft[i], sizeof(float)) != 0 || std::memcmp(&right[i], &vstRight[i], sizeof(float)) != 0) {
            ADD_FAILURE() << "the renders differ first at frame " << i;
            break;
        }
    }
}

}  // namespace gwparity
