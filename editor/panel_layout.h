#pragma once
// Where the editor's controls lie on the 930 x 414 panel: one table shared by the editor,
// which builds its controls on these rectangles, and the artwork generator, which draws a
// place for each of them. Rectangles are (left, top, right, bottom), right and bottom
// exclusive, in panel pixels. Plain integers only, so both sides can use it.

namespace grainwheel::panel {

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    constexpr int width() const { return right - left; }
    constexpr int height() const { return bottom - top; }
    constexpr bool operator==(const Rect&) const = default;
};

constexpr int kWidth = 930;
constexpr int kHeight = 414;

constexpr Rect kStatusLabel{11, 13, 379, 29};
constexpr Rect kMainScope{17, 64, 378, 172};
constexpr Rect kSmallScope{393, 342, 599, 402};
// The splash image: its click area is the small scope's, it shows over kSplashArea the
// part of the alternate panel that starts at (kSplashSourceX, kSplashSourceY).
constexpr Rect kSplashArea{15, 202, 378, 406};
constexpr int kSplashSourceX = 15, kSplashSourceY = 205;
constexpr Rect kVuMeter{608, 340, 620, 402};
constexpr Rect kDensityFader{880, 14, 900, 144};
constexpr Rect kSustainFader{907, 14, 927, 144};
constexpr Rect kResonanceFader{880, 181, 900, 311};
constexpr Rect kUnitLengthFader{907, 181, 927, 311};
constexpr Rect kLevelKnob{875, 345, 921, 390};
constexpr Rect kProgramSwitch{640, 350, 865, 370};
constexpr Rect kNextButton{746, 383, 780, 393};
constexpr Rect kPrevButton{705, 385, 739, 397};
constexpr Rect kCopyButton{785, 385, 822, 397};
constexpr Rect kPasteButton{825, 383, 866, 396};
constexpr Rect kOptionsMenu{14, 40, 73, 56};
constexpr Rect kGridButton{343, 38, 374, 54};
constexpr Rect kFileMenu{80, 40, 154, 52};
constexpr Rect kSaveBankButton{159, 39, 233, 51};
constexpr Rect kTrigModeButton{238, 38, 334, 55};
constexpr Rect kMonitorButton{9, 180, 42, 189};
constexpr Rect kRecSyncButton{48, 179, 104, 193};
constexpr Rect kRecFreeButton{109, 177, 162, 189};
constexpr Rect kLoadWaveButton{168, 177, 233, 189};
constexpr Rect kSaveWaveButton{237, 180, 303, 189};
constexpr Rect kKillBufferButton{309, 178, 376, 190};

constexpr int kNumBuffers = 16;
constexpr int kNumUnits = 16;
constexpr int kNumPresets = 5;

// Buffer i: its scope and, under it, its start-position slider, in four rows of four.
constexpr Rect bufferScope(int i) {
    const int l = 29 + 88 * (i % 4), t = 211 + 48 * (i / 4);
    return {l, t, l + 74, t + 38};
}
constexpr Rect bufferSlider(int i) {
    const Rect s = bufferScope(i);
    return {s.left - 7, s.top + 39, s.left + 77, s.top + 49};
}
// The slider handle's left edge travels from the slider's left edge over this many pixels.
constexpr int kBufferSliderTravel = 75;

// The four fader columns: time, speed, pitch, freq; fader i of 16, 14 pixels apart.
enum Column { kTimeColumn = 0, kSpeedColumn = 1, kPitchColumn = 2, kFreqColumn = 3 };
constexpr int kNumColumns = 4;
constexpr int kColumnFaderWidth = 14;
constexpr int kColumnFaderHeight = 149;
constexpr int kHandleHeight = 7;
constexpr Rect columnFader(int column, int i) {
    const int x0 = (column % 2 == 0) ? 396 : 640;
    const int top = column < 2 ? 14 : 180;
    return {x0 + kColumnFaderWidth * i, top, x0 + kColumnFaderWidth * (i + 1), top + kColumnFaderHeight};
}
constexpr Rect columnArea(int column) {
    const Rect first = columnFader(column, 0), last = columnFader(column, kNumUnits - 1);
    return {first.left, first.top, last.right, last.bottom};
}

// Preset buttons k = 0..4, 37 pixels apart: pitch beside the pitch column, speed beside speed.
constexpr int kPresetStep = 37;
constexpr Rect pitchPreset(int k) { return {623, 175 + kPresetStep * k, 631, 184 + kPresetStep * k}; }
constexpr Rect speedPreset(int k) { return {865, 10 + kPresetStep * k, 873, 19 + kPresetStep * k}; }

}  // namespace grainwheel::panel
