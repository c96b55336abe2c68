// Names, labels and display texts of the host parameters, and the setting texts the
// host may ask for. Every text fits the host's 16-byte buffer (at most 15 characters and
// a terminator) and is independent of the C library's locale.

#include <cmath>
#include <cstring>

#include "engine/conversions.h"
#include "engine/grain_engine.h"
#include "engine/text_format.h"
#include "text/number_text.h"

namespace grainwheel {

namespace {

constexpr const char* kFixedNames[27] = {
    "bufferNo", "mainLevl", "density",  "unitDura", "env sust", "reso",     "trigmode",
    "grid",     "monitor",  "rec free", "rec sync", "killBufr", "program",  "nextprog",
    "prevprog", "copy prg", "pasteprg", "pitch1.0", "pitch.75", "pitch0.5", "pitch.25",
    "pitch0.0", "speed1.0", "speed.75", "speed0.5", "speed.25", "speed0.0",
};

// prefix followed by the two-digit unit or buffer number 01..16.
void numberedName(char* text, const char* prefix, int k) {
    const std::size_t n = std::strlen(prefix);
    std::memcpy(text, prefix, n);
    text[n] = static_cast<char>('0' + (k + 1) / 10);
    text[n + 1] = static_cast<char>('0' + (k + 1) % 10);
    text[n + 2] = 0;
}

}  // namespace

void GrainEngine::getParameterName(std::int32_t index, char* text) {
    if (index < 0 || index > kLastHostParameter) return;
    if (index < kBufPos) copyText(text, kFixedNames[index]);
    else if (index < kTime) numberedName(text, "bufpos", index - kBufPos);
    else if (index < kSpeed) numberedName(text, "time", index - kTime);
    else if (index < kPitch) numberedName(text, "speed", index - kSpeed);
    else if (index < kFreq) numberedName(text, "pitch", index - kPitch);
    else numberedName(text, "freq", index - kFreq);
}

void GrainEngine::getParameterLabel(std::int32_t index, char* text) {
    if (index < 0 || index > kLastHostParameter) return;
    copyText(text, index == kDensity ? "x" : index == kEnvSust ? "sustain" : "");
}

void GrainEngine::getParameterDisplay(std::int32_t index, char* text) {
    auto percent = [&](float v) { formatPercent(text, truncSaturated(v * 100.0f)); };
    if (index == kBufferNo) {
        const int pending = morphing.pendingBuffer;
        gw::text::longToText((pending >= 0 ? pending : currentBuffer.load()) + 1, text);
    } else if (index == kMainLevl) {
        const float g = seq.mainGain;
        if (!(g > 0.0f) && !std::isnan(g))
            copyText(text, "-oo dB");
        else
            formatDecibels(text, truncSaturated(20.0 * std::log10(static_cast<double>(g))));
    } else if (index == kDensity) {
        formatOneDecimal(text, params.densityFactor, false);
    } else if (index == kUnitDura) {
        int k = 0;
        if (truncInRange(params.live[kUnitDura] * 8.0f, 0, 8, k)) copyText(text, kUnitDuraTexts[k]);
    } else if (index == kEnvSust || index == kReso || (index >= kBufPos && index < kTime)) {
        percent(params.live[index]);
    } else if (index >= kTrigmode && index <= kRecSync) {
        copyText(text, params.live[index] == 0.0f ? "off" : "on");
    } else if (index == kProgram) {
        gw::text::longToText(truncSaturated(params.live[kProgram] * 15.0f), text);
    } else if (index == kKillBufr || (index >= kNextProg && index < kBufPos)) {
        copyText(text, "");
    } else if (index >= kTime && index < kSpeed) {
        formatOneDecimal(text, 1.0f / params.unitTime[index - kTime], false);
    } else if (index >= kSpeed && index < kPitch) {
        const int mode = setting(kSpeedFaderRange);
        const float derived = params.unitSpeed[index - kSpeed];
        if (mode >= 0 && mode < 4) formatOneDecimal(text, derived, true);
        else if (mode == 4) percent(derived);
    } else if (index >= kPitch && index < kFreq) {
        const int mode = setting(kPitchFaderRange);
        const float live = params.live[index];
        if (mode == 0) percent(live);
        else if (mode == 1) formatOneDecimal(text, (live - 0.5f) * 24.0f, true);
        else if (mode == 2) formatSigned7(text, truncSaturated((live - 0.5f) * 400.0f));
    } else if (index >= kFreq && index <= kLastHostParameter) {
        gw::text::longToText(truncSaturated(params.unitCutoff[index - kFreq] * 22050.0f), text);
    } else if (index == kSettingRecordSyncUnit) {
        int k = 0;
        if (truncInRange(params.settings[kRecordSyncUnit], 0, 28, k) && kSyncUnits[k].text)
            copyText(text, kSyncUnits[k].text);
    }
}

bool GrainEngine::canParameterBeAutomated(std::int32_t index) {
    return (index >= kBufferNo && index <= kReso) || (index >= kProgram && index <= kPrevProg) ||
           (index >= kPitchPreset && index <= kLastHostParameter);
}

bool GrainEngine::string2parameter(std::int32_t, const char*) { return false; }

}  // namespace grainwheel
