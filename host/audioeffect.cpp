#include "host/audioeffect.h"

#include <cstring>

#include "host/aeffeditor.h"
#include "text/number_text.h"

AudioEffect::AudioEffect(audioMasterCallback audioMasterIn, VstInt32 programs, VstInt32 params)
    : audioMaster(audioMasterIn), numPrograms(programs), numParams(params) {
    std::memset(&cEffect, 0, sizeof(cEffect));
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatchEffectClass;
    cEffect.process = processClass;
    cEffect.setParameter = setParameterClass;
    cEffect.getParameter = getParameterClass;
    cEffect.numPrograms = programs;
    cEffect.numParams = params;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.flags = 0;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = vstFourCC('N', 'o', 'E', 'f');
    cEffect.version = 1;
    cEffect.processReplacing = processClassReplacing;
}

AudioEffect::~AudioEffect() {
    delete editor;
    editor = nullptr;
}

void AudioEffect::setEditor(AEffEditor* newEditor) {
    editor = newEditor;
    setFlag(effFlagsHasEditor, newEditor != nullptr);
}

VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    if (!audioMaster) return 0;
    return audioMaster(&cEffect, opcode, index, value, ptr, opt);
}

void AudioEffect::setParameterAutomated(VstInt32 index, float value) {
    setParameter(index, value);
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

VstIntPtr AudioEffect::dispatcher(VstInt32 opCode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    char* text = static_cast<char*>(ptr);
    switch (opCode) {
        case effOpen: open(); return 0;
        case effClose: close(); return 0;
        case effSetProgram:
            if (value >= 0 && value < numPrograms) setProgram(static_cast<VstInt32>(value));
            return 0;
        case effGetProgram: return getProgram();
        case effSetProgramName:
            if (text) setProgramName(text);
            return 0;
        case effGetProgramName:
            if (text) getProgramName(text);
            return 0;
        case effGetParamLabel:
            if (text) getParameterLabel(index, text);
            return 0;
        case effGetParamDisplay:
            if (text) getParameterDisplay(index, text);
            return 0;
        case effGetParamName:
            if (text) getParameterName(index, text);
            return 0;
        case effGetVu: return gw::text::vuToInt(getVu());
        case effSetSampleRate: setSampleRate(opt); return 0;
        case effSetBlockSize: setBlockSize(static_cast<VstInt32>(value)); return 0;
        case effMainsChanged:
            if (value == 0)
                suspend();
            else
                resume();
            return 0;
        case effEditGetRect:
            if (editor && ptr) return editor->getRect(static_cast<ERect**>(ptr));
            return 0;
        case effEditOpen:
            if (editor) return editor->open(ptr);
            return 0;
        case effEditClose:
            if (editor) editor->close();
            return 0;
        case effEditIdle:
            if (editor) editor->idle();
            return 0;
        case effIdentify: return vstFourCC('N', 'v', 'E', 'f');
        case effGetChunk:
            if (!ptr) return 0;
            return getChunk(static_cast<void**>(ptr), index != 0);
        case effSetChunk:
            if (!ptr) return 0;
            return setChunk(ptr, static_cast<VstInt32>(value), index != 0);
        default: return 0;
    }
}

// ---- the static callbacks ----

VstIntPtr VSTCALLBACK AudioEffect::dispatchEffectClass(AEffect* e, VstInt32 opCode, VstInt32 index,
                                                       VstIntPtr value, void* ptr, float opt) {
    if (!e || !e->object) return 0;
    auto* effect = static_cast<AudioEffect*>(e->object);
    if (opCode == effClose) {
        effect->dispatcher(opCode, index, value, ptr, opt);
        delete effect;
        return 1;
    }
    return effect->dispatcher(opCode, index, value, ptr, opt);
}

void VSTCALLBACK AudioEffect::processClass(AEffect* e, float** inputs, float** outputs, VstInt32 sampleFrames) {
    static_cast<AudioEffect*>(e->object)->process(inputs, outputs, sampleFrames);
}

void VSTCALLBACK AudioEffect::processClassReplacing(AEffect* e, float** inputs, float** outputs,
                                                    VstInt32 sampleFrames) {
    static_cast<AudioEffect*>(e->object)->processReplacing(inputs, outputs, sampleFrames);
}

// A host's parameter values are 0..1: one beyond that is taken as the nearer end, and a
// value that is not a number changes nothing, so no effect sees either. Indices past the
// host's parameters are the effect's own settings and commands, whose values are not
// normalised; they pass as they are.
void VSTCALLBACK AudioEffect::setParameterClass(AEffect* e, VstInt32 index, float value) {
    if (index >= 0 && index < e->numParams) {
        if (value != value) return;
        value = value < 0.0f ? 0.0f : value > 1.0f ? 1.0f : value;
    }
    static_cast<AudioEffect*>(e->object)->setParameter(index, value);
}

float VSTCALLBACK AudioEffect::getParameterClass(AEffect* e, VstInt32 index) {
    return static_cast<AudioEffect*>(e->object)->getParameter(index);
}

// ---- host calls ----

VstInt32 AudioEffect::getMasterVersion() {
    VstIntPtr version = callHost(audioMasterVersion);
    return version == 0 ? 1 : static_cast<VstInt32>(version);
}

VstInt32 AudioEffect::getCurrentUniqueId() { return static_cast<VstInt32>(callHost(audioMasterCurrentId)); }

void AudioEffect::masterIdle() { callHost(audioMasterIdle); }

bool AudioEffect::isInputConnected(VstInt32 input) {
    if (!audioMaster) return false;
    return callHost(audioMasterPinConnected, input, 0) == 0;
}

bool AudioEffect::isOutputConnected(VstInt32 output) {
    if (!audioMaster) return false;
    return callHost(audioMasterPinConnected, output, 1) == 0;
}

// ---- text conversions ----

void AudioEffect::dB2string(float value, char* text) { gw::text::dBToText(value, text); }
void AudioEffect::Hz2string(float samples, char* text) { gw::text::hzToText(samples, sampleRate, text); }
void AudioEffect::ms2string(float samples, char* text) { gw::text::msToText(samples, sampleRate, text); }
void AudioEffect::float2string(float value, char* text) { gw::text::floatToText(value, text); }
void AudioEffect::long2string(VstInt32 value, char* text) { gw::text::longToText(value, text); }
