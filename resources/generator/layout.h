#pragma once
// Where the editor puts its controls on the 930 x 414 panel. The panel artwork draws a place
// for every rectangle here, and the debug output outlines them to check that it does.

#include "canvas.h"

#include <string>
#include <vector>

namespace artwork::layout {

constexpr int kPanelWidth = 930;
constexpr int kPanelHeight = 414;

constexpr Box kStatusLabel{11, 13, 379, 29};
constexpr Box kMainScope{17, 64, 378, 172};
constexpr Box kSmallScope{393, 342, 599, 402};
constexpr Box kSplashArea{15, 202, 378, 406};
constexpr int kSplashSourceX = 15, kSplashSourceY = 205;
constexpr Box kVuMeter{608, 340, 620, 402};
constexpr Box kDensity{880, 14, 900, 144};
constexpr Box kSustain{907, 14, 927, 144};
constexpr Box kResonance{880, 181, 900, 311};
constexpr Box kUnitLength{907, 181, 927, 311};
constexpr Box kLevelKnob{875, 345, 921, 390};
constexpr Box kProgramSwitch{640, 350, 865, 370};
constexpr Box kNext{746, 383, 780, 393};
constexpr Box kPrev{705, 385, 739, 397};
constexpr Box kCopy{785, 385, 822, 397};
constexpr Box kPaste{825, 383, 866, 396};
constexpr Box kOptionsMenu{14, 40, 73, 56};
constexpr Box kGrid{343, 38, 374, 54};
constexpr Box kFileMenu{80, 40, 154, 52};
constexpr Box kSaveBank{159, 39, 233, 51};
constexpr Box kTrigMode{238, 38, 334, 55};
constexpr Box kMonitor{9, 180, 42, 189};
constexpr Box kRecSync{48, 179, 104, 193};
constexpr Box kRecFree{109, 177, 162, 189};
constexpr Box kLoadWave{168, 177, 233, 189};
constexpr Box kSaveWave{237, 180, 303, 189};
constexpr Box kKillBuffer{309, 178, 376, 190};

// Buffer i: scope and start-position slider in a grid of four rows of four.
constexpr Box bufferScope(int i) {
    int l = 29 + 88 * (i % 4), t = 211 + 48 * (i / 4);
    return {l, t, l + 74, t + 38};
}
constexpr Box bufferSlider(int i) {
    Box s = bufferScope(i);
    return {s.l - 7, s.t + 39, s.l + 77, s.t + 49};
}

// The four fader columns: 0 time, 1 speed, 2 pitch, 3 freq; fader i of 16.
constexpr int kFaderWidth = 14;
constexpr int kFaderHandleHeight = 7;
constexpr Box columnFader(int column, int i) {
    int x0 = (column % 2 == 0) ? 396 : 640;
    int top = column < 2 ? 14 : 180;
    return {x0 + kFaderWidth * i, top, x0 + kFaderWidth * (i + 1), top + 149};
}
constexpr Box column(int c) {
    Box first = columnFader(c, 0), last = columnFader(c, 15);
    return {first.l, first.t, last.r, last.b};
}

// Preset buttons k = 0..4: pitch presets beside the pitch column, speed presets beside speed.
constexpr Box pitchPreset(int k) { return {623, 175 + 37 * k, 631, 184 + 37 * k}; }
constexpr Box speedPreset(int k) { return {865, 10 + 37 * k, 873, 19 + 37 * k}; }

struct Placed {
    std::string name;
    Box box;
};
// Every control rectangle of the panel, for the debug outline.
std::vector<Placed> allControls();

} // namespace artwork::layout
