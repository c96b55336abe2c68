#pragma once
// AudioEffectX: the VST 2.x extensions of the base layer. Its dispatcher answers the
// opcodes 25 to 76 and hands everything else to AudioEffect. It adds no data. The
// virtual operations are declared in a fixed order; keep it.

#include "host/audioeffect.h"

class AudioEffectX : public AudioEffect {
public:
    AudioEffectX(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
    ~AudioEffectX() override;

    VstIntPtr dispatcher(VstInt32 opCode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override;

    virtual AEffEditor* getEditor() { return editor; }
    virtual bool wantEvents(VstInt32 filter = 1);
    // The host's time information (audioMasterGetTime, value = filter) or null.
    virtual VstTimeInfo* getTimeInfo(VstInt32 filter);
    virtual VstInt32 tempoAt(VstInt32 pos);
    // Sends events to the host; true only when the host answers 1.
    bool sendVstEventsToHost(VstEvents* events);
    virtual VstInt32 processEvents(VstEvents* events) { return 0; }
    virtual VstInt32 getNumAutomatableParameters();
    virtual VstInt32 getParameterQuantization();
    virtual bool canParameterBeAutomated(VstInt32 index) { return true; }
    virtual bool string2parameter(VstInt32 index, const char* text) { return false; }
    virtual float getChannelParameter(VstInt32 channel, VstInt32 index) { return 0.0f; }
    virtual VstInt32 getNumCategories() { return 1; }
    virtual bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) { return false; }
    virtual bool copyProgram(VstInt32 destination) { return false; }
    virtual bool ioChanged();
    virtual bool needIdle();
    virtual bool sizeWindow(VstInt32 width, VstInt32 height);
    // Asks the host for its sample rate; a positive answer replaces sampleRate.
    virtual double updateSampleRate();
    virtual VstInt32 updateBlockSize();
    virtual VstInt32 getInputLatency();
    virtual VstInt32 getOutputLatency();
    virtual AEffect* getPreviousPlug(VstInt32 input);
    virtual AEffect* getNextPlug(VstInt32 output);
    virtual void inputConnected(VstInt32 index, bool state) {}
    virtual void outputConnected(VstInt32 index, bool state) {}
    virtual bool getInputProperties(VstInt32 index, VstPinProperties* properties) { return false; }
    virtual bool getOutputProperties(VstInt32 index, VstPinProperties* properties) { return false; }
    virtual VstPlugCategory getPlugCategory();
    virtual VstInt32 willProcessReplacing();
    virtual VstInt32 getCurrentProcessLevel();
    virtual VstInt32 getAutomationState();
    virtual void wantAsyncOperation(bool state = true) {}
    virtual void hasExternalBuffer(bool state = true) {}
    virtual VstInt32 reportCurrentPosition() { return 0; }
    virtual float* reportDestinationBuffer() { return nullptr; }
    virtual bool offlineRead(VstOfflineTask* offline, VstOfflineOption option, bool readSource = true);
    virtual bool offlineWrite(VstOfflineTask* offline, VstOfflineOption option);
    virtual bool offlineStart(VstAudioFile* ptr, VstInt32 numAudioFiles, VstInt32 numNewAudioFiles);
    virtual VstInt32 offlineGetCurrentPass();
    virtual VstInt32 offlineGetCurrentMetaPass();
    virtual bool offlineNotify(VstAudioFile* ptr, VstInt32 numAudioFiles, bool start) { return false; }
    virtual bool offlinePrepare(VstOfflineTask* offline, VstInt32 count) { return false; }
    virtual bool offlineRun(VstOfflineTask* offline, VstInt32 count) { return false; }
    virtual VstInt32 offlineGetNumPasses() { return 0; }
    virtual VstInt32 offlineGetNumMetaPasses() { return 0; }
    virtual void setOutputSamplerate(float samplerate);
    virtual VstSpeakerArrangement* getInputSpeakerArrangement() { return nullptr; }
    virtual VstSpeakerArrangement* getOutputSpeakerArrangement();
    // Host texts are copied into text (at least 64 characters); false without an answer.
    virtual bool getHostVendorString(char* text);
    virtual bool getHostProductString(char* text);
    virtual VstInt32 getHostVendorVersion();
    virtual VstIntPtr hostVendorSpecific(VstInt32 lArg1, VstIntPtr lArg2, void* ptrArg, float floatArg);
    virtual VstInt32 canHostDo(const char* text);
    virtual void isSynth(bool state = true) { setFlag(effFlagsIsSynth, state); }
    virtual void noTail(bool state = true) { setFlag(effFlagsNoSoundInStop, state); }
    virtual VstInt32 getHostLanguage();
    virtual void* openWindow(VstWindow* window);
    virtual bool closeWindow(VstWindow* window);
    // The host's path of the plug-in's folder, or null.
    virtual void* getDirectory();
    virtual bool updateDisplay();
    virtual bool processVariableIo(VstVariableIo* varIo) { return false; }
    virtual bool setSpeakerArrangement(VstSpeakerArrangement* pluginInput, VstSpeakerArrangement* pluginOutput) {
        return false;
    }
    // Sets both out-pointers to null.
    virtual bool getSpeakerArrangement(VstSpeakerArrangement** pluginInput, VstSpeakerArrangement** pluginOutput);
    virtual void setBlockSizeAndSampleRate(VstInt32 newBlockSize, float newSampleRate) {
        blockSize = newBlockSize;
        sampleRate = newSampleRate;
    }
    virtual bool setBypass(bool onOff) { return false; }
    virtual bool getEffectName(char* name) { return false; }
    virtual bool getErrorText(char* text) { return false; }
    virtual bool getVendorString(char* text) { return false; }
    virtual bool getProductString(char* text) { return false; }
    virtual VstInt32 getVendorVersion() { return 0; }
    virtual VstIntPtr vendorSpecific(VstInt32 lArg1, VstIntPtr lArg2, void* ptrArg, float floatArg) { return 0; }
    // 1 yes, -1 no, 0 don't know.
    virtual VstInt32 canDo(const char* text) { return 0; }
    virtual void* getIcon() { return nullptr; }
    virtual bool setViewPosition(VstInt32 x, VstInt32 y) { return false; }
    virtual VstInt32 getGetTailSize() { return 0; }
    virtual VstInt32 fxIdle() { return 0; }
    virtual bool getParameterProperties(VstInt32 index, VstParameterProperties* p) { return false; }
    // The dispatcher answers the inverse (effKeysRequired 1 means keys are not required).
    virtual bool keysRequired() { return false; }
    virtual VstInt32 getVstVersion() { return 2300; }
    virtual VstInt32 getMidiProgramName(VstInt32 channel, MidiProgramName* midiProgramName) { return 0; }
    virtual VstInt32 getCurrentMidiProgram(VstInt32 channel, MidiProgramName* currentProgram) { return -1; }
    virtual VstInt32 getMidiProgramCategory(VstInt32 channel, MidiProgramCategory* category) { return 0; }
    virtual bool hasMidiProgramsChanged(VstInt32 channel) { return false; }
    virtual bool getMidiKeyName(VstInt32 channel, MidiKeyName* keyName) { return false; }
    virtual bool beginSetProgram() { return false; }
    virtual bool endSetProgram() { return false; }
    virtual bool beginEdit(VstInt32 index);
    virtual bool endEdit(VstInt32 index);
    virtual bool openFileSelector(VstFileSelect* ptr);
    virtual VstInt32 setTotalSampleToProcess(VstInt32 value) { return value; }
    virtual VstInt32 getNextShellPlugin(char* name) { return 0; }
    virtual VstInt32 startProcess() { return 0; }
    virtual VstInt32 stopProcess() { return 0; }
    virtual bool setPanLaw(VstInt32 type, float val) { return false; }
    virtual VstInt32 beginLoadBank(VstPatchChunkInfo* ptr) { return 0; }
    virtual VstInt32 beginLoadProgram(VstPatchChunkInfo* ptr) { return 0; }
    // Speaker arrangements are not used by this plug-in: these answer false, doing nothing.
    virtual bool allocateArrangement(VstSpeakerArrangement** arrangement, VstInt32 nbChannels);
    virtual bool deallocateArrangement(VstSpeakerArrangement** arrangement);
    virtual bool copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from) { return false; }
    virtual bool matchArrangement(VstSpeakerArrangement** to, VstSpeakerArrangement* from) { return false; }
};
