#pragma once
// The description of every host parameter (indices 0..106), one row each: the single
// source of names, port symbols, kinds, steps, "Init" values, display texts, labels, what
// a value sets in the engine and what the editor's controls return to. The engine's
// parameter code, the plug-in adapters and the editor read it; a format describes the
// parameters by walking it.

#include <array>
#include <cstdint>

#include "engine/parameter_index.h"
#include "engine/program_record.h"

namespace grainwheel {

// What a parameter is to a host and to its control.
enum class ParameterKind : std::uint8_t {
    Continuous,  // any value in 0..1
    Switch,      // off (0) or on (anything else)
    Choice,      // one of steps + 1 values k / steps
    Command,     // a press (1) and its release (0): it acts, it keeps no value
};

// How getParameterDisplay writes the value.
enum class DisplayText : std::uint8_t {
    None,           // no text (the commands)
    BufferNumber,   // the buffer that plays (or is about to), 1..16
    Decibels,       // the main gain in dB, "-oo dB" for silence
    DensityFactor,  // the derived density, one decimal
    UnitLength,     // the unit length's step text ("bufsized", "1/64" ... "static")
    Percent,        // the value in per cent
    OnOff,          // "off" for 0, "on" otherwise
    ProgramNumber,  // the program's number, 0..15
    EventsPerUnit,  // the unit's events, one decimal
    Speed,          // the unit's speed (or position) by the speed Fader Range
    Pitch,          // the unit's pitch by the pitch Fader Range
    Cutoff,         // the unit's cutoff frequency in Hz
};

// What a value sets in the engine: the single parameters by their index, the others as
// member `member` of a group of equal ones (a unit, a buffer, a preset).
enum class ParameterGroup : std::uint8_t { Single, BufferStart, Time, Speed, Pitch, Freq, PitchPreset, SpeedPreset };

struct ParameterInfo {
    int index = 0;
    char name[9] = {};    // the host's name, at most 8 characters
    char symbol[9] = {};  // the name in lower case, every character but letters and digits '_'
    ParameterKind kind = ParameterKind::Continuous;
    int steps = 0;              // Choice: the steps between its values; 0 otherwise
    float init = 0.0f;          // the value a fresh engine reports (the "Init" program)
    float reset = 0.0f;         // the value the editor's control returns to
    DisplayText display = DisplayText::None;
    const char* label = "";     // the unit the host shows after the display text
    bool automatable = false;   // canParameterBeAutomated
    ParameterGroup group = ParameterGroup::Single;
    int member = 0;
    // The editor's status line: caption, display text, captionEnd. Without a caption it
    // shows nothing, or (speed and pitch) the texts of the fader range.
    const char* caption = nullptr;
    const char* captionEnd = "";
};

// The value steps of the 16-way choices (buffer, program): step k is the value k / 15.
inline constexpr int kSixteenSteps = 15;
constexpr float stepValue(float k) { return k / static_cast<float>(kSixteenSteps); }
constexpr float stepValue(int k) { return stepValue(static_cast<float>(k)); }
constexpr float valueToStep(float value) { return value * static_cast<float>(kSixteenSteps); }
// The unit length's value steps (9 ways).
inline constexpr int kUnitLengthSteps = 8;
// The unit length's "Init" value: between two steps, nearer to 1/8.
inline constexpr float kInitUnitDura = 0.43089432f;

namespace parameter_rows {

constexpr void copyName(char (&to)[9], const char* from) {
    for (int i = 0; i < 8 && from[i] != 0; ++i) to[i] = from[i];
}

// prefix followed by the two-digit number 01..16 of member k.
constexpr void numberedName(char (&to)[9], const char* prefix, int k) {
    int n = 0;
    while (prefix[n] != 0) to[n] = prefix[n], ++n;
    to[n] = static_cast<char>('0' + (k + 1) / 10);
    to[n + 1] = static_cast<char>('0' + (k + 1) % 10);
}

constexpr void makeSymbol(ParameterInfo& p) {
    for (int i = 0; i < 8 && p.name[i] != 0; ++i) {
        const char c = p.name[i];
        const bool digit = c >= '0' && c <= '9', lower = c >= 'a' && c <= 'z', upper = c >= 'A' && c <= 'Z';
        p.symbol[i] = lower || digit ? c : upper ? static_cast<char>(c - 'A' + 'a') : '_';
    }
}

struct Fixed {
    const char* name;
    ParameterKind kind;
    float init;
    DisplayText display;
    bool automatable;
};

using K = ParameterKind;
using D = DisplayText;
// Parameters 0..26, in index order.
inline constexpr Fixed kFixed[kBufPos] = {
    {"bufferNo", K::Choice, 0.0f, D::BufferNumber, true},
    {"mainLevl", K::Continuous, 0.5f, D::Decibels, true},
    {"density", K::Continuous, 1.0f, D::DensityFactor, true},
    {"unitDura", K::Choice, kInitUnitDura, D::UnitLength, true},
    {"env sust", K::Continuous, 0.0f, D::Percent, true},
    {"reso", K::Continuous, 0.0f, D::Percent, true},
    {"trigmode", K::Switch, 0.0f, D::OnOff, false},
    {"grid", K::Switch, 0.0f, D::OnOff, false},
    {"monitor", K::Switch, 0.0f, D::OnOff, false},
    {"rec free", K::Switch, 0.0f, D::OnOff, false},
    {"rec sync", K::Switch, 0.0f, D::OnOff, false},
    {"killBufr", K::Command, 0.0f, D::None, false},
    {"program", K::Choice, 0.0f, D::ProgramNumber, true},
    {"nextprog", K::Command, 0.0f, D::None, true},
    {"prevprog", K::Command, 0.0f, D::None, true},
    {"copy prg", K::Command, 0.0f, D::None, false},
    {"pasteprg", K::Command, 0.0f, D::None, false},
    {"pitch1.0", K::Command, 0.0f, D::None, true},
    {"pitch.75", K::Command, 0.0f, D::None, true},
    {"pitch0.5", K::Command, 0.0f, D::None, true},
    {"pitch.25", K::Command, 0.0f, D::None, true},
    {"pitch0.0", K::Command, 0.0f, D::None, true},
    {"speed1.0", K::Command, 0.0f, D::None, true},
    {"speed.75", K::Command, 0.0f, D::None, true},
    {"speed0.5", K::Command, 0.0f, D::None, true},
    {"speed.25", K::Command, 0.0f, D::None, true},
    {"speed0.0", K::Command, 0.0f, D::None, true},
};

// The groups of 16 from kBufPos on, in index order.
struct Numbered {
    const char* prefix;
    ParameterGroup group;
    float init;
    float reset;
    DisplayText display;
    const char* caption;
    const char* captionEnd;
};
inline constexpr Numbered kNumbered[5] = {
    {"bufpos", ParameterGroup::BufferStart, 0.0f, 0.0f, D::Percent, "Buffer Start Position : ", ""},
    {"time", ParameterGroup::Time, 0.8f, 0.5f, D::EventsPerUnit, "Events in this unit : ", ""},
    {"speed", ParameterGroup::Speed, 1.0f, 1.0f, D::Speed, nullptr, ""},
    {"pitch", ParameterGroup::Pitch, 0.5f, 0.5f, D::Pitch, nullptr, ""},
    {"freq", ParameterGroup::Freq, 1.0f, 1.0f, D::Cutoff, "Cutoff frequency (this unit) :", " Hz"},
};

constexpr int stepsOf(int index, ParameterKind kind) {
    if (kind != ParameterKind::Choice) return 0;
    return index == kUnitDura ? kUnitLengthSteps : kSixteenSteps;
}

constexpr std::array<ParameterInfo, kNumHostParameters> make() {
    std::array<ParameterInfo, kNumHostParameters> rows{};
    for (int i = 0; i < kBufPos; ++i) {
        const Fixed& f = kFixed[i];
        ParameterInfo& p = rows[static_cast<std::size_t>(i)];
        p.index = i;
        copyName(p.name, f.name);
        p.kind = f.kind;
        p.steps = stepsOf(i, f.kind);
        p.init = p.reset = f.init;
        p.display = f.display;
        p.automatable = f.automatable;
        if (i >= kPitchPreset) {
            p.group = i < kSpeedPreset ? ParameterGroup::PitchPreset : ParameterGroup::SpeedPreset;
            p.member = (i - kPitchPreset) % 5;
        }
    }
    // The faders of sustain and resonance return to the middle, not to their "Init" 0.
    rows[kEnvSust].reset = rows[kReso].reset = 0.5f;
    rows[kDensity].label = "x";
    rows[kEnvSust].label = "sustain";
    rows[kMainLevl].caption = "Amplitude : ";
    rows[kDensity].caption = "Density factor : ";
    rows[kDensity].captionEnd = "x";
    rows[kUnitDura].caption = "Fader Unit Length : ";
    rows[kEnvSust].caption = "Grain Envelope Sustain : ";
    rows[kReso].caption = "Filter Resonance : ";
    for (int g = 0; g < 5; ++g)
        for (int k = 0; k < 16; ++k) {
            const Numbered& n = kNumbered[g];
            const int i = kBufPos + 16 * g + k;
            ParameterInfo& p = rows[static_cast<std::size_t>(i)];
            p.index = i;
            numberedName(p.name, n.prefix, k);
            p.init = n.init;
            p.reset = n.reset;
            p.display = n.display;
            p.automatable = true;
            p.group = n.group;
            p.member = k;
            p.caption = n.caption;
            p.captionEnd = n.captionEnd;
        }
    for (ParameterInfo& p : rows) makeSymbol(p);
    return rows;
}

}  // namespace parameter_rows

inline constexpr std::array<ParameterInfo, kNumHostParameters> kParameters = parameter_rows::make();

constexpr bool isHostParameter(int index) { return index >= 0 && index < kNumHostParameters; }
// The row of host parameter `index` (0..106).
constexpr const ParameterInfo& parameterInfo(int index) { return kParameters[static_cast<std::size_t>(index)]; }
constexpr bool isCommand(int index) {
    return isHostParameter(index) && parameterInfo(index).kind == ParameterKind::Command;
}

// The display text of host parameter `index` (or of the Record Sync Unit setting) at
// `value`, as getParameterDisplay writes it, from the value and the global settings
// alone (for a panel without the running engine; parameter_texts.cpp).
void parameterText(int index, float value, const float (&settings)[kNumGlobalSettings], char* text);

// The global settings' indices (267..276) in globalSettings order (GlobalSetting).
inline constexpr int kSettingOfSlot[kNumGlobalSettings] = {
    kSettingTimeFaderValues, kSettingSpeedFaderRange, kSettingPitchFaderRange, kSettingEnvelopeType,
    kSettingFreqCutoff,      kSettingPlaybackMode,    kSettingMorphAlgorithm,  kSettingMorphStepsize,
    kSettingScopeViewMode,   kSettingRecordSyncUnit};
// Setting index 267..276 -> its position in globalSettings; -1 for any other index.
constexpr int settingSlot(int index) {
    for (int slot = 0; slot < kNumGlobalSettings; ++slot)
        if (kSettingOfSlot[slot] == index) return slot;
    return -1;
}

}  // namespace grainwheel
