// The index space of set and get: host parameters 0 to 106, internal settings and
// commands above 249, internal read-outs 108 to 177 and 258 to 276; and the program
// changes, which apply a record's values through it.

#include "engine/parameter_model.h"

#include <cmath>

#include "engine/buffer_morph.h"
#include "engine/conversions.h"
#include "engine/parameter_table.h"
#include "engine/recorder.h"
#include "engine/sequencer.h"
#include "engine/voices.h"

namespace grainwheel {

namespace {

constexpr float kPresetValues[5] = {1.0f, 0.75f, 0.5f, 0.25f, 0.0f};

}  // namespace

ParameterModel::ParameterModel(ProgramBank& programs, Sequencer& sequencer, const TransportState& transport,
                               VoiceBank& voices, BufferMorph& morph, Recorder& recorder, ParameterEffects& effects)
    : programs_(programs),
      seq_(sequencer),
      transport_(transport),
      voices_(voices),
      morph_(morph),
      recorder_(recorder),
      effects_(effects) {
    // The live values start at 0 and the per-unit values at their neutral forms until a
    // program is applied.
    for (int u = 0; u < kNumUnits; ++u) {
        unitTime[u] = 0.8f;
        unitSpeed[u] = 1.0f;
        unitPitch[u] = 1.0f;
        unitCutoff[u] = 1.0f;
    }
}

int ParameterModel::setting(GlobalSetting s) const { return truncSaturated(settings[s]); }

int ParameterModel::shownBuffer() const {
    const int pending = morph_.pendingBuffer;
    return pending >= 0 ? pending : effects_.currentBufferIndex();
}

void ParameterModel::set(std::int32_t index, float value) {
    if (!programs_.usable()) return;  // an engine whose construction ran out of memory
    float shown = value;
    if (isHostParameter(index)) {
        const ParameterInfo& p = parameterInfo(index);
        if (p.group == ParameterGroup::Single) setSingle(index, value, shown);
        else setGroupMember(p, value, shown);
    } else if (index >= kFirstSetting && index <= kLastSetting) {
        setGlobalSetting(index, value);
    } else {
        switch (index) {
        case kSelectBuffer: effects_.requestBuffer(value); break;
        case kLoadWaveButton: buttons[0] = value; break;
        case kSaveBankButton: buttons[1] = value; break;
        case kSaveWaveButton: buttons[2] = value; break;
        case kVoiceCount:
            current().voiceCount = sanitisedVoiceCount(value);
            effects_.setVoiceCount(value);
            break;
        default: break;  // commands of the editor and unknown indices: only the editor call
        }
    }
    effects_.notice(index, shown);
}

// A unit's value, a buffer's start or a preset.
void ParameterModel::setGroupMember(const ParameterInfo& p, float value, float& shown) {
    const int k = p.member;
    switch (p.group) {
    case ParameterGroup::Single: break;
    case ParameterGroup::BufferStart:
        live[p.index] = value;
        programs_.record(k).bufferStart = value;
        break;
    case ParameterGroup::Time:
        live[p.index] = value;
        current().time[k] = value;
        setTime(k, value, shown);
        break;
    case ParameterGroup::Speed:
        live[p.index] = value;
        current().speed[k] = value;
        setSpeed(k, value);
        break;
    case ParameterGroup::Pitch:
        live[p.index] = value;
        current().pitch[k] = value;
        setPitch(k, value);
        break;
    case ParameterGroup::Freq:
        live[p.index] = value;
        current().freq[k] = value;
        setCutoff(k, value);
        break;
    case ParameterGroup::PitchPreset:
    case ParameterGroup::SpeedPreset: {
        if (value == 0.0f) break;
        const int first = p.group == ParameterGroup::PitchPreset ? kPitch : kSpeed;
        for (int u = 0; u < kNumUnits; ++u) set(first + u, kPresetValues[k]);
        break;
    }
    }
}

void ParameterModel::setSingle(int index, float value, float& shown) {
    switch (index) {
    case kMainLevl:
        live[index] = value;
        current().mainLevl = value;
        seq_.mainGain = 2.0f * value * value;
        break;
    case kDensity:
        live[index] = value;
        current().density = value;
        densityFactor = convertDensity(value);
        break;
    case kUnitDura: {
        live[index] = value;
        current().unitDura = value;
        int k = 0;
        if (truncInRange(value * static_cast<float>(kUnitLengthSteps), 0, kUnitLengthSteps, k)) {
            setUnitLength(value);
            shown = static_cast<float>(k) / static_cast<float>(kUnitLengthSteps);
        }
        break;
    }
    case kEnvSust:
        live[index] = value;
        current().envSust = value;
        break;
    case kReso:
        live[index] = value;
        current().reso = value;
        setReso(value);
        break;
    case kTrigmode:
        if (live[index] != 0.0f && value == 0.0f) seq_.halted = 0;
        live[index] = value;
        current().trigmode = value;
        break;
    case kGrid:
        live[index] = value;
        programs_.record(0).grid = value;
        break;
    case kMonitor:
        live[index] = value;
        programs_.record(0).monitor = value;
        break;
    case kRecFree: effects_.setRecFree(value); break;
    case kRecSync: effects_.setRecSync(value); break;
    case kKillBufr:
        if (value == 1.0f) effects_.eraseBuffer();
        break;
    case kProgram: {
        int k = 0;
        if (truncInRange(valueToStep(value), 0, kNumPrograms - 1, k)) {
            live[index] = value;
            switchProgram(k);
            effects_.selectBuffer(effects_.currentBufferIndex());
            shown = stepValue(k);
        }
        break;
    }
    case kNextProg:
    case kPrevProg:
    case kCopyPrg:
    case kPastePrg: fallingEdgeCommand(index, value); break;
    case kBufferNo:
        // Host automation selects the buffer whether or not the editor is open, so
        // get(0) always names the buffer that plays.
        effects_.requestBuffer(valueToStep(value));
        seq_.halted = 0;
        break;
    default: break;
    }
}

void ParameterModel::setUnitLength(float value) {
    int k = 0;
    if (!truncInRange(value * static_cast<float>(kUnitLengthSteps), 0, kUnitLengthSteps, k)) return;
    if (k == 0) {
        const float rate = seq_.sampleRate;
        if (rate > 0.0f)
            seq_.unitLengthBeats = static_cast<float>(transport_.tempo.load() * effects_.currentBufferFrames() /
                                                      (static_cast<double>(rate) * 960.0));
    } else {
        seq_.unitLengthBeats = kUnitLengthBeats[k];
    }
}

void ParameterModel::setReso(float value) {
    // A negative or NaN host value gives no resonance rather than a NaN filter.
    voices_.resonantFilter.setResonance(value > 0.0f ? value : 0.0f);
}

void ParameterModel::setTime(int unit, float value, float& shown) {
    const int mode = setting(kTimeFaderValues);
    float derived = 0.0f;
    if (!convertTime(mode, value, derived)) return;
    unitTime[unit] = derived;
    if (mode == 0 || mode == 2) {
        const int k = truncSaturated(value * 10.0f);  // in 0..10: convertTime accepted it
        shown = static_cast<float>(k) / 10.0f;
        if (mode == 2) set(kDensity, 1.0f - static_cast<float>(k) / 10.0f);
    } else if (mode == 3) {
        set(kDensity, 1.0f - value);
    }
}

void ParameterModel::setSpeed(int unit, float value) {
    float derived = 0.0f;
    if (convertSpeed(setting(kSpeedFaderRange), value, derived)) unitSpeed[unit] = derived;
}

void ParameterModel::setPitch(int unit, float value) {
    float derived = 0.0f;
    if (convertPitch(setting(kPitchFaderRange), value, derived)) unitPitch[unit] = derived;
}

void ParameterModel::setCutoff(int unit, float value) {
    float derived = 0.0f;
    if (convertCutoff(setting(kFreqCutoff), value, derived)) unitCutoff[unit] = derived;
}

void ParameterModel::fallingEdgeCommand(int index, float value) {
    float& last = lastCommand[index - kNextProg];
    const bool fires = value == 0.0f && last == 1.0f;
    last = value;
    if (!fires) return;
    const float p = live[kProgram];
    switch (index) {
    case kNextProg:
        automate(kProgram, p == 1.0f ? 0.0f : p + 0.06666667f);
        effects_.selectBuffer(effects_.currentBufferIndex());
        break;
    case kPrevProg:
        automate(kProgram, p == 0.0f ? 1.0f : p - 0.0625f);
        effects_.selectBuffer(effects_.currentBufferIndex());
        break;
    case kCopyPrg: programs_.copy(); break;
    case kPastePrg: pasteFromClipboard(); break;
    default: break;
    }
}

void ParameterModel::automate(int index, float value) {
    set(index, value);
    effects_.automated(index, value);
}

void ParameterModel::setGlobalSetting(int index, float value) {
    const int slot = settingSlot(index);
    value = sanitisedSetting(slot, value);  // stored in record 0: within the menu's range
    programs_.record(0).globalSettings[slot] = value;
    settings[slot] = value;
    // The units' converted values follow the new mode. They are derived again from the
    // live values without storing them: a program change applies the settings before the
    // new program's own unit values, and storing the previous program's live values would
    // overwrite the new program's record. The editor still hears of every unit.
    float shown = 0.0f;
    switch (index) {
    case kSettingTimeFaderValues:
        for (int u = 0; u < kNumUnits; ++u) {
            shown = live[kTime + u];
            setTime(u, shown, shown);
            effects_.notice(kTime + u, shown);
        }
        break;
    case kSettingSpeedFaderRange:
        for (int u = 0; u < kNumUnits; ++u) {
            setSpeed(u, live[kSpeed + u]);
            effects_.notice(kSpeed + u, live[kSpeed + u]);
        }
        break;
    case kSettingPitchFaderRange:
        for (int u = 0; u < kNumUnits; ++u) {
            setPitch(u, live[kPitch + u]);
            effects_.notice(kPitch + u, live[kPitch + u]);
        }
        break;
    case kSettingFreqCutoff:
        for (int u = 0; u < kNumUnits; ++u) {
            setCutoff(u, live[kFreq + u]);
            effects_.notice(kFreq + u, live[kFreq + u]);
        }
        setReso(live[kReso]);
        effects_.notice(kReso, live[kReso]);
        break;
    case kSettingRecordSyncUnit: recorder_.setSyncUnit(value); break;
    default: break;
    }
}

float ParameterModel::get(std::int32_t index) {
    if (index == kBufferNo) return stepValue(shownBuffer());
    if (isHostParameter(index)) {
        // A command keeps no value: copy and paste report their last press or release.
        if (parameterInfo(index).kind != ParameterKind::Command) return live[index];
        return index == kCopyPrg || index == kPastePrg ? lastCommand[index - kNextProg] : 0.0f;
    }
    switch (index) {
    case kReadMainGain: return seq_.mainGain;
    case kReadDensityFactor: return densityFactor;
    case kReadUnitDura: return live[kUnitDura];
    case kReadEnvSust: return live[kEnvSust];
    case kReadReso: return live[kReso];
    case kReadProgramNumber: return valueToStep(live[kProgram]);
    case kReadActiveVoices: return static_cast<float>(seq_.activeVoices.load());
    case kReadPeakLevel: return seq_.peakLevel.address()->exchange(0.0f);  // read and reset
    case kLoadWaveButton: return buttons[0];
    case kSaveBankButton: return buttons[1];
    case kSaveWaveButton: return buttons[2];
    case kVoiceCount: return current().voiceCount;
    default: break;
    }
    if (index >= kReadUnitTime && index < kReadUnitTime + kNumUnits) return unitTime[index - kReadUnitTime];
    if (index >= kReadUnitSpeed && index < kReadUnitSpeed + kNumUnits) return unitSpeed[index - kReadUnitSpeed];
    if (index >= kReadUnitPitch && index < kReadUnitPitch + kNumUnits) return unitPitch[index - kReadUnitPitch];
    if (index >= kReadUnitCutoff && index < kReadUnitCutoff + kNumUnits) return unitCutoff[index - kReadUnitCutoff];
    if (index >= kFirstSetting && index <= kLastSetting) return settings[settingSlot(index)];
    return 0.0f;
}

// A program's stored values through set, in the order both program changes use; the
// grid and monitor switches of record 0 only on a full change.
void ParameterModel::applyValues(const ProgramRecord& p, bool withSwitches) {
    set(kDensity, p.density);
    set(kUnitDura, p.unitDura);
    set(kEnvSust, p.envSust);
    set(kMainLevl, p.mainLevl);
    set(kReso, p.reso);
    set(kTrigmode, p.trigmode);
    if (withSwitches) {
        set(kGrid, programs_.record(0).grid);
        set(kMonitor, programs_.record(0).monitor);
    }
    for (int u = 0; u < kNumUnits; ++u) {
        set(kTime + u, p.time[u]);
        set(kSpeed + u, p.speed[u]);
        set(kPitch + u, p.pitch[u]);
        set(kFreq + u, p.freq[u]);
    }
}

void ParameterModel::applyProgram(int k) {
    if (k < 0 || k >= kNumPrograms || !programs_.usable()) return;
    programs_.setCurrent(k);
    live[kProgram] = stepValue(k);

    const ProgramRecord& globals = programs_.record(0);
    for (int i = 0; i < kNumGlobalSettings; ++i) set(kSettingOfSlot[i], globals.globalSettings[i]);

    effects_.setCurrentBufferIndex(programs_.bufferNumber(k, effects_.currentBufferIndex()));
    if (effects_.listened()) {
        effects_.notice(kVoiceCount, 1.0f);
        effects_.notice(kProgram, live[kProgram]);
    }
    applyValues(programs_.record(k), true);
    for (int n = 0; n < kNumPrograms; ++n) set(kBufPos + n, programs_.record(n).bufferStart);
    effects_.refresh();
}

void ParameterModel::switchProgram(int k) {
    if (k < 0 || k >= kNumPrograms) return;
    programs_.setCurrent(k);
    live[kProgram] = stepValue(k);
    applyValues(programs_.record(k), false);
    effects_.setCurrentBufferIndex(programs_.bufferNumber(k, effects_.currentBufferIndex()));
    effects_.refresh();
}

void ParameterModel::pasteFromClipboard() {
    programs_.paste();
    applyProgram(programs_.current());
}

}  // namespace grainwheel
