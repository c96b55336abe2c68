#pragma once
// Range-checked conversions of host values and the fixed tables that stepped values
// select from. A float-to-integer conversion of an out-of-range value is undefined in C++,
// so every conversion of a host value goes through these helpers.

#include <climits>
#include <cmath>

#include "engine/dsp/buffer_limits.h"

namespace grainwheel {

// Truncates toward zero; false (out untouched) for NaN, infinities and values outside
// [lo, hi].
inline bool truncInRange(double v, int lo, int hi, int& out) noexcept {
    if (!(v > static_cast<double>(lo) - 1.0 && v < static_cast<double>(hi) + 1.0)) return false;
    const int k = static_cast<int>(v);  // safe: |v| is within int range here
    if (k < lo || k > hi) return false;
    out = k;
    return true;
}

// Truncates toward zero, saturating at the int range; NaN gives 0. For texts only.
inline int truncSaturated(double v) noexcept {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return INT_MAX;
    if (v <= -2147483648.0) return INT_MIN;
    return static_cast<int>(v);
}

// Truncates toward zero and clamps into [lo, hi]; NaN gives lo.
inline int truncClamped(double v, int lo, int hi) noexcept {
    if (std::isnan(v) || v <= static_cast<double>(lo)) return lo;
    if (v >= static_cast<double>(hi)) return hi;
    return static_cast<int>(v);
}

// unitDura step k (0..8) -> unit length in quarter notes; step 0 ("bufsized") is computed.
constexpr float kUnitLengthBeats[9] = {0.0f, 0.0625f, 0.125f, 0.25f, 0.5f, 1.0f, 2.0f, 4.0f, 0.0f};
constexpr const char* kUnitDuraTexts[9] = {"bufsized", "1/64", "1/32", "1/16", "1/8",
                                          "1/4",      "1/2",  "1/1",  "static"};

// The fixed time values of a unit, selected by trunc(value * 10) in the fixed time modes.
constexpr float kFixedTimes[11] = {1.0f / 32, 1.0f / 24, 1.0f / 16, 1.0f / 12, 1.0f / 8, 1.0f / 6,
                                   1.0f / 4,  1.0f / 3,  1.0f / 2,  2.0f / 3,  1.0f};

// record Sync Unit: setting value 0..28 -> display text and length in quarter notes.
// Separator values have no text and a negative length (they change nothing).
struct SyncUnitEntry {
    const char* text;
    double beats;
};
constexpr SyncUnitEntry kSyncUnits[29] = {
    {nullptr, -1},   {nullptr, -1},   {"1 bar", 16},  {"3/1", 12},     {"2/1", 8},
    {"1/1", 4},      {nullptr, -1},   {"1/2", 2},     {"1/4", 1},      {"1/8", 0.5},
    {"1/16", 0.25},  {"1/32", 0.125}, {"1/64", 0.0625}, {nullptr, -1}, {"3/2", 6},
    {"3/4", 3},      {"3/8", 1.5},    {"3/16", 0.75}, {nullptr, -1},   {"5/2", 10},
    {"5/4", 5},      {"5/8", 2.5},    {"5/16", 1.25}, {nullptr, -1},   {"7/2", 14},
    {"7/4", 7},      {"7/8", 3.5},    {"7/16", 1.75}, {"1 bar (default)", 0},
};

// Converted unit values of the parameter fader modes. Each returns false when the mode
// (or, for the fixed time values, the step) selects nothing, leaving the caller's value.
bool convertTime(int mode, float value, float& derived) noexcept;
bool convertSpeed(int mode, float value, float& derived) noexcept;
bool convertPitch(int mode, float value, float& derived) noexcept;
bool convertCutoff(int mode, float value, float& derived) noexcept;
float convertDensity(float value) noexcept;

constexpr int kFadeFrames = 220;

}  // namespace grainwheel
