#pragma once
// Where the editor puts its controls on the 930 x 414 panel. The panel artwork draws a place
// for every rectangle here, and the debug output outlines them to check that it does.

#include "canvas.h"
#include "editor/panel_layout.h"

#include <string>
#include <vector>

namespace artwork::layout {

// The rectangles themselves live in the editor's table.
constexpr Box box(grainwheel::panel::Rect r) { return {r.left, r.top, r.right, r.bottom}; }
namespace gp = grainwheel::panel;

constexpr int kPanelWidth = gp::kWidth;
constexpr int kPanelHeight = gp::kHeight;

constexpr Box kStatusLabel = box(gp::kStatusLabel);
constexpr Box kMainScope = box(gp::kMainScope);
constexpr Box kSmallScope = box(gp::kSmallScope);
constexpr Box kSplashArea = box(gp::kSplashArea);
constexpr int kSplashSourceX = gp::kSplashSourceX, kSplashSourceY = gp::kSplashSourceY;
constexpr Box kVuMeter = box(gp::kVuMeter);
constexpr Box kDensity = box(gp::kDensityFader);
constexpr Box kSustain = box(gp::kSustainFader);
constexpr Box kResonance = box(gp::kResonanceFader);
constexpr Box kUnitLength = box(gp::kUnitLengthFader);
constexpr Box kLevelKnob = box(gp::kLevelKnob);
constexpr Box kProgramSwitch = box(gp::kProgramSwitch);
constexpr Box kNext = box(gp::kNextButton);
constexpr Box kPrev = box(gp::kPrevButton);
constexpr Box kCopy = box(gp::kCopyButton);
constexpr Box kPaste = box(gp::kPasteButton);
constexpr Box kOptionsMenu = box(gp::kOptionsMenu);
constexpr Box kGrid = box(gp::kGridButton);
constexpr Box kFileMenu = box(gp::kFileMenu);
constexpr Box kSaveBank = box(gp::kSaveBankButton);
constexpr Box kTrigMode = box(gp::kTrigModeButton);
constexpr Box kMonitor = box(gp::kMonitorButton);
constexpr Box kRecSync = box(gp::kRecSyncButton);
constexpr Box kRecFree = box(gp::kRecFreeButton);
constexpr Box kLoadWave = box(gp::kLoadWaveButton);
constexpr Box kSaveWave = box(gp::kSaveWaveButton);
constexpr Box kKillBuffer = box(gp::kKillBufferButton);

// Buffer i: scope and start-position slider in a grid of four rows of four.
constexpr Box bufferScope(int i) { return box(gp::bufferScope(i)); }
constexpr Box bufferSlider(int i) { return box(gp::bufferSlider(i)); }

// The four fader columns: 0 time, 1 speed, 2 pitch, 3 freq; fader i of 16.
constexpr int kFaderWidth = gp::kColumnFaderWidth;
constexpr int kFaderHandleHeight = gp::kHandleHeight;
constexpr Box columnFader(int column, int i) { return box(gp::columnFader(column, i)); }
constexpr Box column(int c) { return box(gp::columnArea(c)); }

// Preset buttons k = 0..4: pitch presets beside the pitch column, speed presets beside speed.
constexpr Box pitchPreset(int k) { return box(gp::pitchPreset(k)); }
constexpr Box speedPreset(int k) { return box(gp::speedPreset(k)); }

struct Placed {
    std::string name;
    Box box;
};
// Every control rectangle of the panel, for the debug outline.
std::vector<Placed> allControls();

} // namespace artwork::layout
