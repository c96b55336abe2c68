#pragma once
// GrainEffect: the plug-in's effect object as the host sees it. The sources are split by
// concern: grain_effect.cpp (construction, host dialogue, processing entry),
// parameters.cpp (the index space of setParameter/getParameter), parameter_texts.cpp
// (names, labels, display texts), programs.cpp (records, program changes, clipboard,
// chunk) and buffers.cpp (buffer selection, allocation, recording).

#include <cstdint>

#include "engine/audio_buffer.h"
#include "engine/dsp/morph.h"
#include "engine/dsp/spectrum_transform.h"
#include "engine/engine_state.h"
#include "engine/program_record.h"
#include "engine/realtime.h"
#include "engine/recorder.h"
#include "engine/voices.h"
#include "host/audioeffectx.h"
#include "persistence/effect_state.h"
#include "persistence/file_result.h"

namespace grainwheel {

class ADEditor;

// Parameter and setting indices.
enum ParamIndex : int {
    kBufferNo = 0, kMainLevl = 1, kDensity = 2, kUnitDura = 3, kEnvSust = 4, kReso = 5,
    kTrigmode = 6, kGrid = 7, kMonitor = 8, kRecFree = 9, kRecSync = 10, kKillBufr = 11,
    kProgram = 12, kNextProg = 13, kPrevProg = 14, kCopyPrg = 15, kPastePrg = 16,
    kPitchPreset = 17, kSpeedPreset = 22, kBufPos = 27, kTime = 43, kSpeed = 59, kPitch = 75,
    kFreq = 91,
    kExitSave = 250, kBuffersChanged = 251, kRedrawAll = 252, kSelectBuffer = 257,
    kVoiceCount = 265, kFirstSetting = 267, kRecordSyncUnitIndex = 276, kLastSetting = 276,
};

class GrainEffect : public AudioEffectX, public ExitSaveTarget {
public:
    explicit GrainEffect(audioMasterCallback hostCallback);
    ~GrainEffect() override;

    // Parameters.
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void getParameterName(VstInt32 index, char* text) override;
    void getParameterLabel(VstInt32 index, char* text) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    bool canParameterBeAutomated(VstInt32 index) override;
    bool string2parameter(VstInt32 index, const char* text) override;
    // Direct read access to engine state for the editor; null for unknown ids. Word items
    // point at a std::atomic of the stated type (int32, float, byte); read them whole.
    // Array items (1, 2, 20 + k) point at the arrays themselves.
    void* getStateItem(int id);

    // Programs.
    VstInt32 getProgram() override { return curProgram; }
    void setProgram(VstInt32 index) override;
    void switchProgram(int index);
    void setProgramName(const char* text) override;
    void getProgramName(char* text) override;
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;
    void copyToClipboard();
    void pasteFromClipboard();
    VstInt32 getChunk(void** data, bool isPreset) override;
    ProgramRecord* programRecords() { return programs; }
    ProgramRecord* clipboardRecord() { return programClipboard; }

    // Files (persistence/effect_files.cpp). Each returns a FileResult; paths of 1024
    // characters or more give 24. The writers ask before overwriting a file.
    FileResult readBankFile(const char* path);
    FileResult writeBankFile(const char* path);
    FileResult importBankOptions(const char* path);
    FileResult readWaveFile(const char* path);   // into the current buffer
    FileResult writeWaveFile(const char* path);  // the current buffer; 3 when it is empty
    VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset) override;
    void loadRecentBankList();
    void recordRecentBank(const char* path);
    // The save offered when the plug-in closes with unsaved audio (the editor runs it).
    FileResult exitSave() override;
    EffectFileState& fileState() { return files; }

    // Audio. A block reads or writes buffer samples (and touches the voices) only when
    // bufferGate().enterBlock() answered true at its start, through
    // framesOf(audioBuffer(getCurrentBuffer())); it ends with bufferGate().leaveBlock().
    // Both replace the output (audio_loop.cpp); the right output pointer may be null.
    // Neither allocates, locks or makes a system call apart from the host time query.
    void process(float** inputs, float** outputs, VstInt32 sampleFrames) GW_NONBLOCKING override;
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) GW_NONBLOCKING override;

    // Buffers and recording. selectBuffer may be called from any thread but never from
    // inside a block (the audio loop uses selectBufferInBlock): while an audio thread
    // runs, the selection takes effect at its next block start; otherwise at once.
    void selectBuffer(int n);
    void allocateBuffer(int frames);
    void eraseBuffer();
    // Replaces buffer n's arrays by left/right (frames + 1 floats each, from
    // newSampleArray; ownership passes to the effect, null/0 empties the buffer; the
    // guard frame is set here). Resets the voices, waits until the audio thread no longer
    // reads the old arrays, then frees them. The saved flags and halted stay the caller's.
    void replaceBufferArrays(int n, float* left, float* right, int frames);
    // A zeroed array of frames + 1 floats for replaceBufferArrays; null when frames is
    // outside 1..882000 or memory is short.
    static float* newSampleArray(int frames);
    AudioBuffer& audioBuffer(int n) { return audioBuffers[n]; }
    int getCurrentBuffer() const { return currentBuffer; }
    // Record one input frame into the current buffer (the audio loop calls it).
    void recordOneFrame(const BufferFrames& current, float inLeft, float inRight) noexcept GW_NONBLOCKING;
    BufferGate& bufferGate() { return gate; }

    // Host dialogue.
    void open() override {}
    void close() override;
    void suspend() override;
    void resume() override;
    VstPlugCategory getPlugCategory() override { return kPlugCategEffect; }
    bool setBypass(bool) override { return false; }
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 getVendorVersion() override { return 1; }
    VstInt32 canDo(const char* text) override;
    // Bank files at the host's request (persistence/host_file_calls.h); 0 for any other call.
    VstIntPtr vendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt) override;
    VstInt32 getGetTailSize() override { return 0; }
    VstInt32 startProcess() override { return 0; }
    VstInt32 stopProcess() override { return 0; }

    // Read-only views for tests and the next engine parts.
    const SequencerState& sequencer() const { return seq; }
    const TransportState& transport() const { return hostTime; }
    const RecordState& recorder() const { return rec; }
    const MorphControl& morph() const { return morphing; }
    const ParameterState& parameters() const { return params; }
    const VoiceBank& voiceBank() const { return voices; }
    const CaptureState& scopeCapture() const { return capture; }
    const SpectralMorph& spectralMorph() const { return morphWork; }
    double recordSyncUnitBeats() const { return recSyncUnitBeats; }
    int previousBufferIndex() const { return previousBuffer; }

protected:
    // Copies the host's answer to the time query; a tempo of 0 or below is not taken.
    void takeTimeInfo(const VstTimeInfo* info);

private:
    friend class EngineInspector;
    friend struct EffectFiles;

    void notifyEditor(VstInt32 index, float value);
    void applyProgramValues(const ProgramRecord& p, bool withSwitches);
    void postEditorUpdate();
    bool hasEditor() const { return editor != nullptr; }

    // parameters.cpp
    void setUnitDura(float value);
    void setReso(float value);
    void setTime(int unit, float value, float& shown);
    void setSpeed(int unit, float value);
    void setPitch(int unit, float value);
    void setCutoff(int unit, float value);
    void fallingEdgeCommand(int index, float value);
    void setGlobalSetting(int index, float value);
    void setVoiceCount(float value);
    void requestBuffer(float value);
    ProgramRecord& current() { return programs[curProgram]; }
    int setting(GlobalSetting s) const;
    float bufferStartOf(int n) const { return params.live[kBufPos + n]; }

    // audio_loop.cpp (audio thread only)
    struct BlockContext;
    bool blockStart(VstInt32 sampleFrames, BlockContext& b) noexcept GW_NONBLOCKING;
    void unitSetup(const BlockContext& b) noexcept GW_NONBLOCKING;
    void sequenceEnd(BlockContext& b) noexcept GW_NONBLOCKING;
    void restartHead(BlockContext& b) noexcept GW_NONBLOCKING;
    void silenceVoices(BlockContext& b) noexcept GW_NONBLOCKING;
    void triggerVoice(int i, BlockContext& b) noexcept GW_NONBLOCKING;
    void afterGrainStart(int i) noexcept GW_NONBLOCKING;
    void voiceEnded(int i, BlockContext& b) noexcept GW_NONBLOCKING;
    void sumCapture(const BlockContext& b, float left, float right) noexcept GW_NONBLOCKING;
    void captureSpectrum() noexcept GW_NONBLOCKING;
    void finishSyncedRecording() noexcept GW_NONBLOCKING;
    void abandonMorph() noexcept GW_NONBLOCKING;
    void advanceHead(BlockContext& b) noexcept GW_NONBLOCKING;
    void outputStage(BlockContext& b, float l, float r, float inL, float inR, float& outL, float& outR) noexcept
        GW_NONBLOCKING;
    int quietRun(BlockContext& b, const float* inLeft, const float* inRight, float* outLeft, float* outRight, int at,
                 int count) noexcept GW_NONBLOCKING;

    // buffers.cpp
    // The buffer selection itself, without the gate: the audio loop's morph calls it
    // inside a block, selectBuffer under the gate.
    void selectBufferInBlock(int n) noexcept;
    // A change of the voices or the play head (HandOver words), made at a block boundary.
    void handToAudioThread(std::uint32_t request);
    void applyHandOver(std::uint32_t request) noexcept;
    void setRecFree(float value);
    void setRecSync(float value);
    void setRecordFades(float value);
    void setRecordSyncUnit(float value);
    void stopRecordingModes();
    int framesForBeats(double beats) const;
    void markRecorded(int n);

    // Engine state.
    SequencerState seq;
    TransportState hostTime;
    MorphControl morphing;
    CaptureState capture;
    ParameterState params;
    VoiceBank voices;
    SpectrumTransform transform;  // the morph's and the scope's, audio thread only
    SpectralMorph morphWork;

    // Buffers (index 0..15) and recording.
    AudioBuffer audioBuffers[kNumBuffers];
    BufferGate gate;
    Shared<std::int32_t> currentBuffer{1};
    Shared<std::int32_t> previousBuffer{0};
    Shared<std::int32_t> currentLength{0};
    Shared<float> currentLengthFloat{0.0f};
    std::atomic<float*> currentLeft{nullptr};
    std::atomic<float*> currentRight{nullptr};
    RecordState rec;
    Shared<double> recSyncUnitBeats{0.0};

    // Programs.
    ProgramRecord* programs = nullptr;          // kNumPrograms records, one array
    ProgramRecord* programClipboard = nullptr;

    // Bank name, recent banks, session restore.
    EffectFileState files;
};

}  // namespace grainwheel
