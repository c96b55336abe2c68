// Names, labels and display texts of the host parameters, as the parameter table
// describes them, and the setting texts the host may ask for. Every text fits the host's
// 16-byte buffer (at most 15 characters and a terminator) and is independent of the C
// library's locale.

#include <cmath>

#include "engine/conversions.h"
#include "engine/grain_engine.h"
#include "engine/parameter_table.h"
#include "engine/text_format.h"
#include "text/number_text.h"

namespace grainwheel {

void GrainEngine::getParameterName(std::int32_t index, char* text) {
    if (isHostParameter(index)) copyText(text, parameterInfo(index).name);
}

void GrainEngine::getParameterLabel(std::int32_t index, char* text) {
    if (isHostParameter(index)) copyText(text, parameterInfo(index).label);
}

void GrainEngine::getParameterDisplay(std::int32_t index, char* text) {
    if (index == kSettingRecordSyncUnit) {
        int k = 0;
        if (truncInRange(params.settings[kRecordSyncUnit], 0, 28, k) && kSyncUnits[k].text)
            copyText(text, kSyncUnits[k].text);
        return;
    }
    if (!isHostParameter(index)) return;
    auto percent = [&](float v) { formatPercent(text, truncSaturated(v * 100.0f)); };
    const ParameterInfo& p = parameterInfo(index);
    switch (p.display) {
    case DisplayText::None: copyText(text, ""); break;
    case DisplayText::BufferNumber: {
        const int pending = morphing.pendingBuffer;
        gw::text::longToText((pending >= 0 ? pending : currentBuffer.load()) + 1, text);
        break;
    }
    case DisplayText::Decibels: {
        const float g = seq.mainGain;
        if (!(g > 0.0f) && !std::isnan(g))
            copyText(text, "-oo dB");
        else
            formatDecibels(text, truncSaturated(20.0 * std::log10(static_cast<double>(g))));
        break;
    }
    case DisplayText::DensityFactor: formatOneDecimal(text, params.densityFactor, false); break;
    case DisplayText::UnitLength: {
        int k = 0;
        if (truncInRange(params.live[index] * static_cast<float>(p.steps), 0, p.steps, k))
            copyText(text, kUnitDuraTexts[k]);
        break;
    }
    case DisplayText::Percent: percent(params.live[index]); break;
    case DisplayText::OnOff: copyText(text, params.live[index] == 0.0f ? "off" : "on"); break;
    case DisplayText::ProgramNumber:
        gw::text::longToText(truncSaturated(valueToStep(params.live[index])), text);
        break;
    case DisplayText::EventsPerUnit: formatOneDecimal(text, 1.0f / params.unitTime[p.member], false); break;
    case DisplayText::Speed: {
        const int mode = setting(kSpeedFaderRange);
        const float derived = params.unitSpeed[p.member];
        if (mode >= 0 && mode < 4) formatOneDecimal(text, derived, true);
        else if (mode == 4) percent(derived);
        break;
    }
    case DisplayText::Pitch: {
        const int mode = setting(kPitchFaderRange);
        const float live = params.live[index];
        if (mode == 0) percent(live);
        else if (mode == 1) formatOneDecimal(text, (live - 0.5f) * 24.0f, true);
        else if (mode == 2) formatSigned7(text, truncSaturated((live - 0.5f) * 400.0f));
        break;
    }
    case DisplayText::Cutoff:
        gw::text::longToText(truncSaturated(params.unitCutoff[p.member] * 22050.0f), text);
        break;
    }
}

bool GrainEngine::canParameterBeAutomated(std::int32_t index) {
    return isHostParameter(index) && parameterInfo(index).automatable;
}

bool GrainEngine::string2parameter(std::int32_t, const char*) { return false; }

}  // namespace grainwheel

namespace grainwheel {

// The same texts from a value alone, with the settings that choose the fader ranges: a
// unit's derived value is the one the engine derives from `value`.
void parameterText(int index, float value, const float (&settings)[kNumGlobalSettings], char* text) {
    if (index == kSettingRecordSyncUnit) {
        int k = 0;
        if (truncInRange(settings[kRecordSyncUnit], 0, 28, k) && kSyncUnits[k].text) copyText(text, kSyncUnits[k].text);
        return;
    }
    if (!isHostParameter(index)) return;
    auto percent = [&](float v) { formatPercent(text, truncSaturated(v * 100.0f)); };
    const auto mode = [&](GlobalSetting s) { return truncSaturated(settings[s]); };
    const ParameterInfo& p = parameterInfo(index);
    float derived = 0.0f;
    switch (p.display) {
    case DisplayText::None: copyText(text, ""); break;
    case DisplayText::BufferNumber:
        gw::text::longToText(truncClamped(valueToStep(value), 0, kNumBuffers - 1) + 1, text);
        break;
    case DisplayText::Decibels: {
        const float g = 2.0f * value * value;
        if (!(g > 0.0f) && !std::isnan(g)) copyText(text, "-oo dB");
        else formatDecibels(text, truncSaturated(20.0 * std::log10(static_cast<double>(g))));
        break;
    }
    case DisplayText::DensityFactor: formatOneDecimal(text, convertDensity(value), false); break;
    case DisplayText::UnitLength: {
        int k = 0;
        if (truncInRange(value * static_cast<float>(p.steps), 0, p.steps, k)) copyText(text, kUnitDuraTexts[k]);
        break;
    }
    case DisplayText::Percent: percent(value); break;
    case DisplayText::OnOff: copyText(text, value == 0.0f ? "off" : "on"); break;
    case DisplayText::ProgramNumber: gw::text::longToText(truncSaturated(valueToStep(value)), text); break;
    case DisplayText::EventsPerUnit:
        if (convertTime(mode(kTimeFaderValues), value, derived)) formatOneDecimal(text, 1.0f / derived, false);
        break;
    case DisplayText::Speed: {
        const int m = mode(kSpeedFaderRange);
        convertSpeed(m, value, derived);
        if (m >= 0 && m < 4) formatOneDecimal(text, derived, true);
        else if (m == 4) percent(derived);
        break;
    }
    case DisplayText::Pitch: {
        const int m = mode(kPitchFaderRange);
        if (m == 0) percent(value);
        else if (m == 1) formatOneDecimal(text, (value - 0.5f) * 24.0f, true);
        else if (m == 2) formatSigned7(text, truncSaturated((value - 0.5f) * 400.0f));
        break;
    }
    case DisplayText::Cutoff:
        convertCutoff(mode(kFreqCutoff), value, derived);
        gw::text::longToText(truncSaturated(derived * 22050.0f), text);
        break;
    }
}

}  // namespace grainwheel
