// Names, labels and display texts of the host parameters, as the parameter table
// describes them, and the setting texts the host may ask for. Every text fits the host's
// 16-byte buffer (at most 15 characters and a terminator) and is independent of the C
// library's locale.

#include <cmath>

#include "engine/audio_buffer.h"
#include "engine/conversions.h"
#include "engine/parameter_model.h"
#include "engine/sequencer.h"
#include "engine/parameter_table.h"
#include "engine/text_format.h"
#include "text/number_text.h"

namespace grainwheel {

void ParameterModel::name(std::int32_t index, char* text) const {
    if (isHostParameter(index)) copyText(text, parameterInfo(index).name);
}

void ParameterModel::label(std::int32_t index, char* text) const {
    if (isHostParameter(index)) copyText(text, parameterInfo(index).label);
}

namespace {

// What a display text is made of: the parameter's value and the quantities the text shows
// (the model's own, or derived from a value being asked about).
struct DisplayInputs {
    float live = 0.0f;     // the parameter's value
    float derived = 0.0f;  // gain, density factor, unit time, speed or cutoff
    int buffer = 0;        // BufferNumber: the buffer, 0..15
    int speedMode = 0;
    int pitchMode = 0;
};

void writeDisplay(const ParameterInfo& p, const DisplayInputs& in, char* text) {
    auto percent = [&](float v) { formatPercent(text, truncSaturated(v * 100.0f)); };
    switch (p.display) {
    case DisplayText::None: copyText(text, ""); break;
    case DisplayText::BufferNumber: gw::text::longToText(in.buffer + 1, text); break;
    case DisplayText::Decibels: {
        const float g = in.derived;
        if (!(g > 0.0f) && !std::isnan(g))
            copyText(text, "-oo dB");
        else
            formatDecibels(text, truncSaturated(20.0 * std::log10(static_cast<double>(g))));
        break;
    }
    case DisplayText::DensityFactor: formatOneDecimal(text, in.derived, false); break;
    case DisplayText::UnitLength: {
        int k = 0;
        if (truncInRange(in.live * static_cast<float>(p.steps), 0, p.steps, k)) copyText(text, kUnitDuraTexts[k]);
        break;
    }
    case DisplayText::Percent: percent(in.live); break;
    case DisplayText::OnOff: copyText(text, in.live == 0.0f ? "off" : "on"); break;
    case DisplayText::ProgramNumber: gw::text::longToText(truncSaturated(valueToStep(in.live)), text); break;
    case DisplayText::EventsPerUnit: formatOneDecimal(text, 1.0f / in.derived, false); break;
    case DisplayText::Speed:
        if (in.speedMode >= 0 && in.speedMode < 4) formatOneDecimal(text, in.derived, true);
        else if (in.speedMode == 4) percent(in.derived);
        break;
    case DisplayText::Pitch:
        if (in.pitchMode == 0) percent(in.live);
        else if (in.pitchMode == 1) formatOneDecimal(text, (in.live - 0.5f) * 24.0f, true);
        else if (in.pitchMode == 2) formatSigned7(text, truncSaturated((in.live - 0.5f) * 400.0f));
        break;
    case DisplayText::Cutoff: gw::text::longToText(truncSaturated(in.derived * 22050.0f), text); break;
    }
}

// The inputs of p's text at `value`, under the fader ranges setting(s) answers; where a
// range derives nothing from the value, `fallback` is shown.
template <class Setting>
DisplayInputs inputsAt(const ParameterInfo& p, float value, Setting setting, float fallback) {
    DisplayInputs in;
    in.live = value;
    in.speedMode = setting(kSpeedFaderRange);
    in.pitchMode = setting(kPitchFaderRange);
    float derived = 0.0f;
    switch (p.display) {
    case DisplayText::BufferNumber: truncInRange(valueToStep(value), 0, kNumBuffers - 1, in.buffer); break;
    case DisplayText::Decibels: in.derived = 2.0f * value * value; break;
    case DisplayText::DensityFactor: in.derived = convertDensity(value); break;
    case DisplayText::EventsPerUnit:
        in.derived = convertTime(setting(kTimeFaderValues), value, derived) ? derived : fallback;
        break;
    case DisplayText::Speed: in.derived = convertSpeed(in.speedMode, value, derived) ? derived : fallback; break;
    case DisplayText::Cutoff:
        in.derived = convertCutoff(setting(kFreqCutoff), value, derived) ? derived : fallback;
        break;
    default: break;
    }
    return in;
}

void syncUnitText(float setting, char* text) {
    int k = 0;
    if (truncInRange(setting, 0, 28, k) && kSyncUnits[k].text) copyText(text, kSyncUnits[k].text);
}

}  // namespace

void ParameterModel::display(std::int32_t index, char* text) const {
    if (index == kSettingRecordSyncUnit) {
        syncUnitText(settings[kRecordSyncUnit], text);
        return;
    }
    if (!isHostParameter(index)) return;
    const ParameterInfo& p = parameterInfo(index);
    DisplayInputs in;
    in.live = live[index];
    in.speedMode = setting(kSpeedFaderRange);
    in.pitchMode = setting(kPitchFaderRange);
    switch (p.display) {
    case DisplayText::BufferNumber: in.buffer = shownBuffer(); break;
    case DisplayText::Decibels: in.derived = seq_.mainGain; break;
    case DisplayText::DensityFactor: in.derived = densityFactor; break;
    case DisplayText::EventsPerUnit: in.derived = unitTime[p.member]; break;
    case DisplayText::Speed: in.derived = unitSpeed[p.member]; break;
    case DisplayText::Cutoff: in.derived = unitCutoff[p.member]; break;
    default: break;
    }
    writeDisplay(p, in, text);
}

void ParameterModel::displayFor(std::int32_t index, float value, char* text) const {
    if (!isHostParameter(index)) return;
    const ParameterInfo& p = parameterInfo(index);
    const float fallback = p.display == DisplayText::EventsPerUnit ? unitTime[p.member].load()
                           : p.display == DisplayText::Speed        ? unitSpeed[p.member].load()
                           : p.display == DisplayText::Cutoff       ? unitCutoff[p.member].load()
                                                                    : 0.0f;
    writeDisplay(p, inputsAt(p, value, [this](GlobalSetting s) { return setting(s); }, fallback), text);
}

bool ParameterModel::automatable(std::int32_t index) const {
    return isHostParameter(index) && parameterInfo(index).automatable;
}

}  // namespace grainwheel

namespace grainwheel {

// The same texts from a value alone, with the settings that choose the fader ranges: a
// unit's derived value is the one the engine derives from `value` (none where the range
// derives none).
void parameterText(int index, float value, const float (&settings)[kNumGlobalSettings], char* text) {
    if (index == kSettingRecordSyncUnit) {
        syncUnitText(settings[kRecordSyncUnit], text);
        return;
    }
    if (!isHostParameter(index)) return;
    const ParameterInfo& p = parameterInfo(index);
    const auto setting = [&](GlobalSetting s) { return truncSaturated(settings[s]); };
    DisplayInputs in = inputsAt(p, value, setting, 0.0f);
    if (p.display == DisplayText::EventsPerUnit && in.derived == 0.0f) return;  // no time: no text
    writeDisplay(p, in, text);
}

}  // namespace grainwheel
