// Names, labels and display texts of the host parameters, as the parameter table
// describes them, and the setting texts the host may ask for. Every text fits the host's
// 16-byte buffer (at most 15 characters and a terminator) and is independent of the C
// library's locale.

#include <cmath>

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

void ParameterModel::display(std::int32_t index, char* text) const {
    if (index == kSettingRecordSyncUnit) {
        int k = 0;
        if (truncInRange(settings[kRecordSyncUnit], 0, 28, k) && kSyncUnits[k].text)
            copyText(text, kSyncUnits[k].text);
        return;
    }
    if (!isHostParameter(index)) return;
    auto percent = [&](float v) { formatPercent(text, truncSaturated(v * 100.0f)); };
    const ParameterInfo& p = parameterInfo(index);
    switch (p.display) {
    case DisplayText::None: copyText(text, ""); break;
    case DisplayText::BufferNumber: gw::text::longToText(shownBuffer() + 1, text); break;
    case DisplayText::Decibels: {
        const float g = seq_.mainGain;
        if (!(g > 0.0f) && !std::isnan(g))
            copyText(text, "-oo dB");
        else
            formatDecibels(text, truncSaturated(20.0 * std::log10(static_cast<double>(g))));
        break;
    }
    case DisplayText::DensityFactor: formatOneDecimal(text, densityFactor, false); break;
    case DisplayText::UnitLength: {
        int k = 0;
        if (truncInRange(live[index] * static_cast<float>(p.steps), 0, p.steps, k))
            copyText(text, kUnitDuraTexts[k]);
        break;
    }
    case DisplayText::Percent: percent(live[index]); break;
    case DisplayText::OnOff: copyText(text, live[index] == 0.0f ? "off" : "on"); break;
    case DisplayText::ProgramNumber:
        gw::text::longToText(truncSaturated(valueToStep(live[index])), text);
        break;
    case DisplayText::EventsPerUnit: formatOneDecimal(text, 1.0f / unitTime[p.member], false); break;
    case DisplayText::Speed: {
        const int mode = setting(kSpeedFaderRange);
        const float derived = unitSpeed[p.member];
        if (mode >= 0 && mode < 4) formatOneDecimal(text, derived, true);
        else if (mode == 4) percent(derived);
        break;
    }
    case DisplayText::Pitch: {
        const int mode = setting(kPitchFaderRange);
        const float value = live[index];
        if (mode == 0) percent(value);
        else if (mode == 1) formatOneDecimal(text, (value - 0.5f) * 24.0f, true);
        else if (mode == 2) formatSigned7(text, truncSaturated((value - 0.5f) * 400.0f));
        break;
    }
    case DisplayText::Cutoff:
        gw::text::longToText(truncSaturated(unitCutoff[p.member] * 22050.0f), text);
        break;
    }
}

bool ParameterModel::automatable(std::int32_t index) const {
    return isHostParameter(index) && parameterInfo(index).automatable;
}

}  // namespace grainwheel
