#include "host/audioeffectx.h"

#include <cstring>

#include "host/aeffeditor.h"
#include "host/editor_inspection.h"

AudioEffectX::AudioEffectX(audioMasterCallback audioMasterIn, VstInt32 programs, VstInt32 params)
    : AudioEffect(audioMasterIn, programs, params) {}

AudioEffectX::~AudioEffectX() = default;

VstIntPtr AudioEffectX::dispatcher(VstInt32 opCode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    char* text = static_cast<char*>(ptr);
    auto toInt = [](VstIntPtr v) { return static_cast<VstInt32>(v); };
    switch (opCode) {
        case effProcessEvents: return processEvents(static_cast<VstEvents*>(ptr));
        case effCanBeAutomated: return canParameterBeAutomated(index) ? 1 : 0;
        case effString2Parameter: return (text && string2parameter(index, text)) ? 1 : 0;
        case effGetNumProgramCategories: return getNumCategories();
        case effGetProgramNameIndexed: return (text && getProgramNameIndexed(toInt(value), index, text)) ? 1 : 0;
        case effCopyProgram: return copyProgram(index) ? 1 : 0;
        case effConnectInput:
            inputConnected(index, value != 0);
            return 1;
        case effConnectOutput:
            outputConnected(index, value != 0);
            return 1;
        case effGetInputProperties:
            return (ptr && getInputProperties(index, static_cast<VstPinProperties*>(ptr))) ? 1 : 0;
        case effGetOutputProperties:
            return (ptr && getOutputProperties(index, static_cast<VstPinProperties*>(ptr))) ? 1 : 0;
        case effGetPlugCategory: return getPlugCategory();
        case effGetCurrentPosition: return reportCurrentPosition();
        case effGetDestinationBuffer: return reinterpret_cast<VstIntPtr>(reportDestinationBuffer());
        case effOfflineNotify: return offlineNotify(static_cast<VstAudioFile*>(ptr), toInt(value), index != 0) ? 1 : 0;
        case effOfflinePrepare: return offlinePrepare(static_cast<VstOfflineTask*>(ptr), toInt(value)) ? 1 : 0;
        case effOfflineRun: return offlineRun(static_cast<VstOfflineTask*>(ptr), toInt(value)) ? 1 : 0;
        case effProcessVarIo: return processVariableIo(static_cast<VstVariableIo*>(ptr)) ? 1 : 0;
        case effSetSpeakerArrangement:
            return setSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement*>(value),
                                         static_cast<VstSpeakerArrangement*>(ptr))
                       ? 1
                       : 0;
        case effSetBlockSizeAndSampleRate:
            setBlockSizeAndSampleRate(toInt(value), opt);
            return 1;
        case effSetBypass: return setBypass(value != 0) ? 1 : 0;
        case effGetEffectName: return (text && getEffectName(text)) ? 1 : 0;
        case effGetErrorText: return (text && getErrorText(text)) ? 1 : 0;
        case effGetVendorString: return (text && getVendorString(text)) ? 1 : 0;
        case effGetProductString: return (text && getProductString(text)) ? 1 : 0;
        case effGetVendorVersion: return getVendorVersion();
        case effVendorSpecific:
            if (index == kEditorInspection) return editor ? editor->inspect(value, ptr, opt) : 0;
            return vendorSpecific(index, value, ptr, opt);
        case effCanDo: return text ? canDo(text) : 0;
        case effGetTailSize: return getGetTailSize();
        case effIdle: return fxIdle();
        case effGetIcon: return reinterpret_cast<VstIntPtr>(getIcon());
        case effSetViewPosition: return setViewPosition(index, toInt(value)) ? 1 : 0;
        case effGetParameterProperties:
            return getParameterProperties(index, static_cast<VstParameterProperties*>(ptr)) ? 1 : 0;
        case effKeysRequired: return keysRequired() ? 0 : 1;
        case effGetVstVersion: return getVstVersion();
        case effEditKeyDown:
        case effEditKeyUp: {
            if (!editor) return 0;
            VstKeyCode key{};
            key.character = index;
            key.virt = static_cast<unsigned char>(value);
            key.modifier = static_cast<unsigned char>(opt);
            return opCode == effEditKeyDown ? editor->onKeyDown(key) : editor->onKeyUp(key);
        }
        case effSetEditKnobMode:
            if (editor) return editor->setKnobMode(toInt(value));
            return 0;
        case effGetMidiProgramName: return getMidiProgramName(index, static_cast<MidiProgramName*>(ptr));
        case effGetCurrentMidiProgram: return getCurrentMidiProgram(index, static_cast<MidiProgramName*>(ptr));
        case effGetMidiProgramCategory:
            return getMidiProgramCategory(index, static_cast<MidiProgramCategory*>(ptr));
        case effHasMidiProgramsChanged: return hasMidiProgramsChanged(index) ? 1 : 0;
        case effGetMidiKeyName: return getMidiKeyName(index, static_cast<MidiKeyName*>(ptr)) ? 1 : 0;
        case effBeginSetProgram: return beginSetProgram() ? 1 : 0;
        case effEndSetProgram: return endSetProgram() ? 1 : 0;
        case effGetSpeakerArrangement: {
            VstSpeakerArrangement* scratch = nullptr;
            auto** input = value ? reinterpret_cast<VstSpeakerArrangement**>(value) : &scratch;
            auto** output = ptr ? static_cast<VstSpeakerArrangement**>(ptr) : &scratch;
            return getSpeakerArrangement(input, output) ? 1 : 0;
        }
        case effShellGetNextPlugin: return text ? getNextShellPlugin(text) : 0;
        case effStartProcess: return startProcess();
        case effStopProcess: return stopProcess();
        case effSetTotalSampleToProcess: return setTotalSampleToProcess(toInt(value));
        case effSetPanLaw: return setPanLaw(toInt(value), opt) ? 1 : 0;
        case effBeginLoadBank: return beginLoadBank(static_cast<VstPatchChunkInfo*>(ptr));
        case effBeginLoadProgram: return beginLoadProgram(static_cast<VstPatchChunkInfo*>(ptr));
        default: return AudioEffect::dispatcher(opCode, index, value, ptr, opt);
    }
}

// ---- host calls ----

bool AudioEffectX::wantEvents(VstInt32 filter) { return callHost(audioMasterWantMidi, 0, filter) != 0; }

VstTimeInfo* AudioEffectX::getTimeInfo(VstInt32 filter) {
    return reinterpret_cast<VstTimeInfo*>(callHost(audioMasterGetTime, 0, filter));
}

VstInt32 AudioEffectX::tempoAt(VstInt32 pos) { return static_cast<VstInt32>(callHost(audioMasterTempoAt, 0, pos)); }

bool AudioEffectX::sendVstEventsToHost(VstEvents* events) {
    return callHost(audioMasterProcessEvents, 0, 0, events) == 1;
}

VstInt32 AudioEffectX::getNumAutomatableParameters() {
    return static_cast<VstInt32>(callHost(audioMasterGetNumAutomatableParameters));
}

VstInt32 AudioEffectX::getParameterQuantization() {
    return static_cast<VstInt32>(callHost(audioMasterGetParameterQuantization));
}

bool AudioEffectX::ioChanged() { return callHost(audioMasterIOChanged) != 0; }
bool AudioEffectX::needIdle() { return callHost(audioMasterNeedIdle) != 0; }
bool AudioEffectX::sizeWindow(VstInt32 width, VstInt32 height) {
    return callHost(audioMasterSizeWindow, width, height) != 0;
}

double AudioEffectX::updateSampleRate() {
    VstIntPtr rate = callHost(audioMasterGetSampleRate);
    if (rate > 0) sampleRate = static_cast<float>(rate);
    return sampleRate;
}

VstInt32 AudioEffectX::updateBlockSize() {
    VstIntPtr size = callHost(audioMasterGetBlockSize);
    if (size > 0) blockSize = static_cast<VstInt32>(size);
    return blockSize;
}

VstInt32 AudioEffectX::getInputLatency() { return static_cast<VstInt32>(callHost(audioMasterGetInputLatency)); }
VstInt32 AudioEffectX::getOutputLatency() { return static_cast<VstInt32>(callHost(audioMasterGetOutputLatency)); }
AEffect* AudioEffectX::getPreviousPlug(VstInt32 input) {
    return reinterpret_cast<AEffect*>(callHost(audioMasterGetPreviousPlug, 0, input));
}
AEffect* AudioEffectX::getNextPlug(VstInt32 output) {
    return reinterpret_cast<AEffect*>(callHost(audioMasterGetNextPlug, 0, output));
}

VstPlugCategory AudioEffectX::getPlugCategory() {
    return (cEffect.flags & effFlagsIsSynth) ? kPlugCategSynth : kPlugCategUnknown;
}

VstInt32 AudioEffectX::willProcessReplacing() {
    return static_cast<VstInt32>(callHost(audioMasterWillReplaceOrAccumulate));
}
VstInt32 AudioEffectX::getCurrentProcessLevel() {
    return static_cast<VstInt32>(callHost(audioMasterGetCurrentProcessLevel));
}
VstInt32 AudioEffectX::getAutomationState() {
    return static_cast<VstInt32>(callHost(audioMasterGetAutomationState));
}

bool AudioEffectX::offlineRead(VstOfflineTask* offline, VstOfflineOption option, bool readSource) {
    return callHost(audioMasterOfflineRead, readSource ? 1 : 0, option, offline) != 0;
}
bool AudioEffectX::offlineWrite(VstOfflineTask* offline, VstOfflineOption option) {
    return callHost(audioMasterOfflineWrite, 0, option, offline) != 0;
}
bool AudioEffectX::offlineStart(VstAudioFile* ptr, VstInt32 numAudioFiles, VstInt32 numNewAudioFiles) {
    return callHost(audioMasterOfflineStart, numNewAudioFiles, numAudioFiles, ptr) != 0;
}
VstInt32 AudioEffectX::offlineGetCurrentPass() {
    return callHost(audioMasterOfflineGetCurrentPass) != 0 ? 1 : 0;
}
VstInt32 AudioEffectX::offlineGetCurrentMetaPass() {
    return callHost(audioMasterOfflineGetCurrentMetaPass) != 0 ? 1 : 0;
}

void AudioEffectX::setOutputSamplerate(float samplerate) {
    callHost(audioMasterSetOutputSampleRate, 0, 0, nullptr, samplerate);
}

VstSpeakerArrangement* AudioEffectX::getOutputSpeakerArrangement() {
    return reinterpret_cast<VstSpeakerArrangement*>(callHost(audioMasterGetOutputSpeakerArrangement));
}

namespace {
// Hosts write at most 64 characters; the terminator is forced in case one writes more.
constexpr int kHostStringSize = 64;
bool answerHostString(VstIntPtr answer, char* text) {
    if (!text) return false;
    text[kHostStringSize - 1] = 0;
    if (answer == 0) text[0] = 0;
    return answer != 0;
}
}  // namespace

bool AudioEffectX::getHostVendorString(char* text) {
    if (!text) return false;
    text[0] = 0;
    return answerHostString(callHost(audioMasterGetVendorString, 0, 0, text), text);
}
bool AudioEffectX::getHostProductString(char* text) {
    if (!text) return false;
    text[0] = 0;
    return answerHostString(callHost(audioMasterGetProductString, 0, 0, text), text);
}
VstInt32 AudioEffectX::getHostVendorVersion() {
    return static_cast<VstInt32>(callHost(audioMasterGetVendorVersion));
}
VstIntPtr AudioEffectX::hostVendorSpecific(VstInt32 lArg1, VstIntPtr lArg2, void* ptrArg, float floatArg) {
    return callHost(audioMasterVendorSpecific, lArg1, lArg2, ptrArg, floatArg);
}
VstInt32 AudioEffectX::canHostDo(const char* text) {
    if (!text) return 0;
    return static_cast<VstInt32>(callHost(audioMasterCanDo, 0, 0, const_cast<char*>(text)));
}
VstInt32 AudioEffectX::getHostLanguage() { return static_cast<VstInt32>(callHost(audioMasterGetLanguage)); }
void* AudioEffectX::openWindow(VstWindow* window) {
    return reinterpret_cast<void*>(callHost(audioMasterOpenWindow, 0, 0, window));
}
bool AudioEffectX::closeWindow(VstWindow* window) { return callHost(audioMasterCloseWindow, 0, 0, window) != 0; }
void* AudioEffectX::getDirectory() { return reinterpret_cast<void*>(callHost(audioMasterGetDirectory)); }
bool AudioEffectX::updateDisplay() { return callHost(audioMasterUpdateDisplay) != 0; }

bool AudioEffectX::getSpeakerArrangement(VstSpeakerArrangement** pluginInput, VstSpeakerArrangement** pluginOutput) {
    if (pluginInput) *pluginInput = nullptr;
    if (pluginOutput) *pluginOutput = nullptr;
    return false;
}

bool AudioEffectX::beginEdit(VstInt32 index) { return callHost(audioMasterBeginEdit, index) != 0; }
bool AudioEffectX::endEdit(VstInt32 index) { return callHost(audioMasterEndEdit, index) != 0; }
bool AudioEffectX::openFileSelector(VstFileSelect* ptr) {
    return ptr && callHost(audioMasterOpenFileSelector, 0, 0, ptr) != 0;
}

bool AudioEffectX::allocateArrangement(VstSpeakerArrangement** arrangement, VstInt32 nbChannels) { return false; }
bool AudioEffectX::deallocateArrangement(VstSpeakerArrangement** arrangement) {
    if (arrangement) *arrangement = nullptr;
    return false;
}
