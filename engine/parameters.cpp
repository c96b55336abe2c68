// The index space of setParameter and getParameter: host parameters 0 to 106, internal
// settings and commands above 249, internal read-outs 108 to 177 and 258 to 276.

#include <cmath>

#include "engine/conversions.h"
#include "engine/grain_engine.h"
#include "engine/parameter_table.h"

namespace grainwheel {

namespace {

constexpr float kPresetValues[5] = {1.0f, 0.75f, 0.5f, 0.25f, 0.0f};

}  // namespace

int GrainEngine::setting(GlobalSetting s) const { return truncSaturated(params.settings[s]); }

void GrainEngine::setParameter(std::int32_t index, float value) {
    if (!usable()) return;  // an engine whose construction ran out of memory
    if ((index == kRecFree || index == kRecSync || index == kKillBufr) && deferFromAudioThread(index, value)) return;
    float shown = value;
    if (isHostParameter(index)) {
        const ParameterInfo& p = parameterInfo(index);
        if (p.group == ParameterGroup::Single) setSingleParameter(index, value, shown);
        else setGroupMember(p, value, shown);
    } else if (index >= kFirstSetting && index <= kLastSetting) {
        setGlobalSetting(index, value);
    } else {
        switch (index) {
        case kSelectBuffer: requestBuffer(value); break;
        case kLoadWaveButton: params.buttons[0] = value; break;
        case kSaveBankButton: params.buttons[1] = value; break;
        case kSaveWaveButton: params.buttons[2] = value; break;
        case kVoiceCount: setVoiceCount(value); break;
        default: break;  // commands of the editor and unknown indices: only the editor call
        }
    }
    notifyEditor(index, shown);
}

// A unit's value, a buffer's start or a preset.
void GrainEngine::setGroupMember(const ParameterInfo& p, float value, float& shown) {
    const int k = p.member;
    switch (p.group) {
    case ParameterGroup::Single: break;
    case ParameterGroup::BufferStart:
        params.live[p.index] = value;
        programs[k].bufferStart = value;
        break;
    case ParameterGroup::Time:
        params.live[p.index] = value;
        current().time[k] = value;
        setTime(k, value, shown);
        break;
    case ParameterGroup::Speed:
        params.live[p.index] = value;
        current().speed[k] = value;
        setSpeed(k, value);
        break;
    case ParameterGroup::Pitch:
        params.live[p.index] = value;
        current().pitch[k] = value;
        setPitch(k, value);
        break;
    case ParameterGroup::Freq:
        params.live[p.index] = value;
        current().freq[k] = value;
        setCutoff(k, value);
        break;
    case ParameterGroup::PitchPreset:
    case ParameterGroup::SpeedPreset: {
        if (value == 0.0f) break;
        const int first = p.group == ParameterGroup::PitchPreset ? kPitch : kSpeed;
        for (int u = 0; u < kNumUnits; ++u) setParameter(first + u, kPresetValues[k]);
        break;
    }
    }
}

void GrainEngine::setSingleParameter(int index, float value, float& shown) {
    switch (index) {
    case kMainLevl:
        params.live[index] = value;
        current().mainLevl = value;
        seq.mainGain = 2.0f * value * value;
        break;
    case kDensity:
        params.live[index] = value;
        current().density = value;
        params.densityFactor = convertDensity(value);
        break;
    case kUnitDura: {
        params.live[index] = value;
        current().unitDura = value;
        int k = 0;
        if (truncInRange(value * static_cast<float>(kUnitLengthSteps), 0, kUnitLengthSteps, k)) {
            setUnitDura(value);
            shown = static_cast<float>(k) / static_cast<float>(kUnitLengthSteps);
        }
        break;
    }
    case kEnvSust:
        params.live[index] = value;
        current().envSust = value;
        break;
    case kReso:
        params.live[index] = value;
        current().reso = value;
        setReso(value);
        break;
    case kTrigmode:
        if (params.live[index] != 0.0f && value == 0.0f) seq.halted = 0;
        params.live[index] = value;
        current().trigmode = value;
        break;
    case kGrid:
        params.live[index] = value;
        programs[0].grid = value;
        break;
    case kMonitor:
        params.live[index] = value;
        programs[0].monitor = value;
        break;
    case kRecFree: setRecFree(value); break;
    case kRecSync: setRecSync(value); break;
    case kKillBufr:
        if (value == 1.0f) eraseBuffer();
        break;
    case kProgram: {
        int k = 0;
        if (truncInRange(valueToStep(value), 0, kNumPrograms - 1, k)) {
            params.live[index] = value;
            switchProgram(k);
            selectBuffer(currentBuffer);
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
        // getParameter(0) always names the buffer that plays.
        requestBuffer(valueToStep(value));
        seq.halted = 0;
        break;
    default: break;
    }
}

// A host automating rec free, rec sync or kill buffer from its audio thread: the rec
// modes take the spare there (see allocateBuffer); what would allocate or ask there (a rec
// mode while no spare is ready, kill buffer's question) is taken now in value and left to
// runDeferred().
bool GrainEngine::deferFromAudioThread(int index, float value) {
    if (!onAudioThread()) return false;
    std::uint32_t bit = 0;
    switch (index) {
    case kRecFree:
        if (value == 0.0f || !framesOf(audioBuffers[currentBuffer]).empty() || spareReady_.load()) return false;
        params.live[kRecFree] = value;
        bit = kDeferRecFree;
        deferredValues_[0] = value;
        break;
    case kRecSync:
        if (value == 0.0f || spareReady_.load()) return false;
        params.live[kRecSync] = value;
        bit = kDeferRecSync;
        deferredValues_[1] = value;
        break;
    default:
        if (value != 1.0f) return false;
        bit = kDeferKillBuffer;
        break;
    }
    deferred_.fetch_or(bit, std::memory_order_release);
    return true;
}

bool GrainEngine::runDeferred() {
    const std::unique_lock<std::mutex> running(deferredLock_, std::try_to_lock);
    if (!running.owns_lock()) return false;  // the other caller is at it
    const std::uint32_t work = deferred_.exchange(0, std::memory_order_acquire);
    if (work & kDeferSpare) makeSpare();
    // The host may have switched the mode off again meanwhile: only a value still in
    // force runs.
    if ((work & kDeferRecFree) && params.live[kRecFree] != 0.0f) setParameter(kRecFree, deferredValues_[0]);
    if ((work & kDeferRecSync) && params.live[kRecSync] != 0.0f) setParameter(kRecSync, deferredValues_[1]);
    if (work & kDeferKillBuffer) setParameter(kKillBufr, 1.0f);
    if (work & kDeferRates) convertBuffersToWorkingRate();
    return work != 0;
}

void GrainEngine::setUnitDura(float value) {
    int k = 0;
    if (!truncInRange(value * static_cast<float>(kUnitLengthSteps), 0, kUnitLengthSteps, k)) return;
    if (k == 0) {
        const float rate = seq.sampleRate;
        if (rate > 0.0f)
            seq.unitLengthBeats = static_cast<float>(hostTime.tempo.load() * currentLength.load() /
                                                     (static_cast<double>(rate) * 960.0));
    } else {
        seq.unitLengthBeats = kUnitLengthBeats[k];
    }
}

void GrainEngine::setReso(float value) {
    // A negative or NaN host value gives no resonance rather than a NaN filter.
    voices.resonantFilter.setResonance(value > 0.0f ? value : 0.0f);
}

void GrainEngine::setTime(int unit, float value, float& shown) {
    const int mode = setting(kTimeFaderValues);
    float derived = 0.0f;
    if (!convertTime(mode, value, derived)) return;
    params.unitTime[unit] = derived;
    if (mode == 0 || mode == 2) {
        const int k = truncSaturated(value * 10.0f);  // in 0..10: convertTime accepted it
        shown = static_cast<float>(k) / 10.0f;
        if (mode == 2) setParameter(kDensity, 1.0f - static_cast<float>(k) / 10.0f);
    } else if (mode == 3) {
        setParameter(kDensity, 1.0f - value);
    }
}

void GrainEngine::setSpeed(int unit, float value) {
    float derived = 0.0f;
    if (convertSpeed(setting(kSpeedFaderRange), value, derived)) params.unitSpeed[unit] = derived;
}

void GrainEngine::setPitch(int unit, float value) {
    float derived = 0.0f;
    if (convertPitch(setting(kPitchFaderRange), value, derived)) params.unitPitch[unit] = derived;
}

void GrainEngine::setCutoff(int unit, float value) {
    float derived = 0.0f;
    if (convertCutoff(setting(kFreqCutoff), value, derived)) params.unitCutoff[unit] = derived;
}

void GrainEngine::fallingEdgeCommand(int index, float value) {
    float& last = params.lastCommand[index - kNextProg];
    const bool fires = value == 0.0f && last == 1.0f;
    last = value;
    if (!fires) return;
    const float p = params.live[kProgram];
    switch (index) {
    case kNextProg:
        automate(kProgram, p == 1.0f ? 0.0f : p + 0.06666667f);
        selectBuffer(currentBuffer);
        break;
    case kPrevProg:
        automate(kProgram, p == 0.0f ? 1.0f : p - 0.0625f);
        selectBuffer(currentBuffer);
        break;
    case kCopyPrg: copyToClipboard(); break;
    case kPastePrg: pasteFromClipboard(); break;
    default: break;
    }
}

void GrainEngine::automate(int index, float value) {
    setParameter(index, value);
    if (host_ != nullptr) host_->automated(index, value);
}

void GrainEngine::setGlobalSetting(int index, float value) {
    const int slot = settingSlot(index);
    value = sanitisedSetting(slot, value);  // stored in record 0: within the menu's range
    programs[0].globalSettings[slot] = value;
    params.settings[slot] = value;
    // The units' converted values follow the new mode. They are derived again from the
    // live values without storing them: a program change applies the settings before the
    // new program's own unit values, and storing the previous program's live values would
    // overwrite the new program's record. The editor still hears of every unit.
    float shown = 0.0f;
    switch (index) {
    case kSettingTimeFaderValues:
        for (int u = 0; u < kNumUnits; ++u) {
            shown = params.live[kTime + u];
            setTime(u, shown, shown);
            notifyEditor(kTime + u, shown);
        }
        break;
    case kSettingSpeedFaderRange:
        for (int u = 0; u < kNumUnits; ++u) {
            setSpeed(u, params.live[kSpeed + u]);
            notifyEditor(kSpeed + u, params.live[kSpeed + u]);
        }
        break;
    case kSettingPitchFaderRange:
        for (int u = 0; u < kNumUnits; ++u) {
            setPitch(u, params.live[kPitch + u]);
            notifyEditor(kPitch + u, params.live[kPitch + u]);
        }
        break;
    case kSettingFreqCutoff:
        for (int u = 0; u < kNumUnits; ++u) {
            setCutoff(u, params.live[kFreq + u]);
            notifyEditor(kFreq + u, params.live[kFreq + u]);
        }
        setReso(params.live[kReso]);
        notifyEditor(kReso, params.live[kReso]);
        break;
    case kSettingRecordSyncUnit: setRecordSyncUnit(value); break;
    default: break;
    }
}

void GrainEngine::setVoiceCount(float value) {
    current().voiceCount = sanitisedVoiceCount(value);
    // Every voice stops and the new count applies at one block boundary. The engine has
    // six slots: a count outside 1..6 is clamped, NaN keeps the count.
    handToAudioThread(HandOver::voiceCount(std::isnan(value) ? 0 : truncClamped(value, 1, kNumVoices)));
}

void GrainEngine::requestBuffer(float value) {
    if (value == static_cast<float>(currentBuffer.load())) {
        seq.playPosition = static_cast<float>(currentLength.load()) * bufferStartOf(currentBuffer);
        return;
    }
    int n = 0;
    if (!truncInRange(value, 0, kNumBuffers - 1, n)) return;  // no such buffer: nothing changes
    morphing.pendingBuffer = n;
    if (setting(kMorphAlgorithm) != 0) {
        morphing.morphState = MorphStage::Idle;
        morphing.morphStep = 1;
    } else {
        selectBuffer(n);
    }
}

float GrainEngine::getParameter(std::int32_t index) {
    if (index == kBufferNo) {
        const int pending = morphing.pendingBuffer;
        return stepValue(pending >= 0 ? pending : currentBuffer.load());
    }
    if (isHostParameter(index)) {
        // A command keeps no value: copy and paste report their last press or release.
        if (parameterInfo(index).kind != ParameterKind::Command) return params.live[index];
        return index == kCopyPrg || index == kPastePrg ? params.lastCommand[index - kNextProg] : 0.0f;
    }
    switch (index) {
    case kReadMainGain: return seq.mainGain;
    case kReadDensityFactor: return params.densityFactor;
    case kReadUnitDura: return params.live[kUnitDura];
    case kReadEnvSust: return params.live[kEnvSust];
    case kReadReso: return params.live[kReso];
    case kReadProgramNumber: return valueToStep(params.live[kProgram]);
    case kReadActiveVoices: return static_cast<float>(seq.activeVoices.load());
    case kReadPeakLevel: return seq.peakLevel.address()->exchange(0.0f);  // read and reset
    case kLoadWaveButton: return params.buttons[0];
    case kSaveBankButton: return params.buttons[1];
    case kSaveWaveButton: return params.buttons[2];
    case kVoiceCount: return current().voiceCount;
    default: break;
    }
    if (index >= kReadUnitTime && index < kReadUnitTime + kNumUnits) return params.unitTime[index - kReadUnitTime];
    if (index >= kReadUnitSpeed && index < kReadUnitSpeed + kNumUnits) return params.unitSpeed[index - kReadUnitSpeed];
    if (index >= kReadUnitPitch && index < kReadUnitPitch + kNumUnits) return params.unitPitch[index - kReadUnitPitch];
    if (index >= kReadUnitCutoff && index < kReadUnitCutoff + kNumUnits) return params.unitCutoff[index - kReadUnitCutoff];
    if (index >= kFirstSetting && index <= kLastSetting) return params.settings[settingSlot(index)];
    return 0.0f;
}

}  // namespace grainwheel
