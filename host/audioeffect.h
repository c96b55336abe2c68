#pragma once
// AudioEffect: the VST 1.0/2.0 half of the plug-in's base layer. It owns the AEffect
// record handed to the host, routes the basic opcodes (0 to 24) to virtual operations,
// wraps the calls back to the host and offers the small text conversions hosts expect.
// The virtual operations are declared in a fixed order; keep it.

#include "host/vst2abi.h"

class AEffEditor;

class AudioEffect {
public:
    AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;
    virtual ~AudioEffect();

    virtual void setParameter(VstInt32 index, float value) {}
    virtual float getParameter(VstInt32 index) { return 0.0f; }
    // Sets the parameter on this effect, then tells the host (audioMasterAutomate).
    virtual void setParameterAutomated(VstInt32 index, float value);

    AEffect* getAeffect() { return &cEffect; }
    // Stores the editor and sets or clears effFlagsHasEditor accordingly.
    void setEditor(AEffEditor* newEditor);

    // Accumulating process; the base does nothing.
    virtual void process(float** inputs, float** outputs, VstInt32 sampleFrames) {}
    virtual void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {}

    // Opcodes 0 to 24; anything else answers 0.
    virtual VstIntPtr dispatcher(VstInt32 opCode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

    virtual void open() {}
    virtual void close() {}
    virtual VstInt32 getProgram() { return curProgram; }
    virtual void setProgram(VstInt32 program) { curProgram = program; }
    virtual void setProgramName(const char* name) {}
    virtual void getProgramName(char* name) { *name = 0; }
    virtual void getParameterLabel(VstInt32 index, char* label) { *label = 0; }
    virtual void getParameterDisplay(VstInt32 index, char* text) { *text = 0; }
    virtual void getParameterName(VstInt32 index, char* text) { *text = 0; }
    virtual float getVu() { return 0.0f; }
    virtual VstInt32 getChunk(void** data, bool isPreset = false) { return 0; }
    virtual VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset = false) { return 0; }
    virtual void setSampleRate(float newSampleRate) { sampleRate = newSampleRate; }
    virtual void setBlockSize(VstInt32 newBlockSize) { blockSize = newBlockSize; }
    virtual void suspend() {}
    virtual void resume() {}

    // Record setters: the flag setters set the bit on true and clear it on false.
    virtual void setUniqueID(VstInt32 iD) { cEffect.uniqueID = iD; }
    virtual void setNumInputs(VstInt32 inputs) { cEffect.numInputs = inputs; }
    virtual void setNumOutputs(VstInt32 outputs) { cEffect.numOutputs = outputs; }
    virtual void hasVu(bool state = true) { setFlag(effFlagsHasVu, state); }
    virtual void hasClip(bool state = true) { setFlag(effFlagsHasClip, state); }
    virtual void canMono(bool state = true) { setFlag(effFlagsCanMono, state); }
    virtual void canProcessReplacing(bool state = true) { setFlag(effFlagsCanReplacing, state); }
    virtual void programsAreChunks(bool state = true) { setFlag(effFlagsProgramChunks, state); }
    virtual void setRealtimeQualities(VstInt32 qualities) { cEffect.realQualities = qualities; }
    virtual void setOfflineQualities(VstInt32 qualities) { cEffect.offQualities = qualities; }
    virtual void setInitialDelay(VstInt32 delay) { cEffect.initialDelay = delay; }

    virtual float getSampleRate() { return sampleRate; }
    virtual VstInt32 getBlockSize() { return blockSize; }

    // Host calls; each answers 0 (or the stated default) when there is no host callback.
    virtual VstInt32 getMasterVersion();     // 1 when the host answers 0
    virtual VstInt32 getCurrentUniqueId();
    virtual void masterIdle();
    virtual bool isInputConnected(VstInt32 input);    // true when the host answers 0
    virtual bool isOutputConnected(VstInt32 output);  // true when the host answers 0

    // Text conversions; `text` holds at least 9 characters. Locale-independent.
    virtual void dB2string(float value, char* text);
    virtual void Hz2string(float samples, char* text);
    virtual void ms2string(float samples, char* text);
    virtual void float2string(float value, char* text);
    virtual void long2string(VstInt32 value, char* text);

    // The five callbacks stored in the record.
    static VstIntPtr VSTCALLBACK dispatchEffectClass(AEffect* e, VstInt32 opCode, VstInt32 index,
                                                     VstIntPtr value, void* ptr, float opt);
    static void VSTCALLBACK processClass(AEffect* e, float** inputs, float** outputs, VstInt32 sampleFrames);
    static void VSTCALLBACK processClassReplacing(AEffect* e, float** inputs, float** outputs,
                                                  VstInt32 sampleFrames);
    static void VSTCALLBACK setParameterClass(AEffect* e, VstInt32 index, float value);
    static float VSTCALLBACK getParameterClass(AEffect* e, VstInt32 index);

protected:
    // Calls the host with this effect's record; 0 without a host callback.
    VstIntPtr callHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f);
    void setFlag(VstInt32 bit, bool state) {
        if (state)
            cEffect.flags |= bit;
        else
            cEffect.flags &= ~bit;
    }

    float sampleRate = 44100.0f;
    AEffEditor* editor = nullptr;
    audioMasterCallback audioMaster = nullptr;
    VstInt32 numPrograms = 0;
    VstInt32 numParams = 0;
    VstInt32 curProgram = 0;
    VstInt32 blockSize = 1024;
    AEffect cEffect{};
};
