#pragma once
// GrainEffect: the VST 2 adapter. It owns one GrainEngine and the EffectFiles of it, and
// maps the dispatcher's calls, the parameter calls, the chunk and the host calls onto
// them; it is the engine's EngineHost (time query, automation, questions), its
// EngineListener (notices forwarded to the editor) and the source of the editor's port.
//
// Threads, as the host calls:
//  - processReplacing/process: the host's audio thread; forwarded to the engine, which
//    neither waits, allocates nor skips a block.
//  - setParameter/getParameter and the texts: any thread (see GrainEngine).
//  - program calls, the chunk, suspend/resume, open/close, vendor-specific file calls:
//    the host's main or user-interface thread; they may block (files, questions).
//  - the editor's idle (effEditIdle): the user-interface thread; it also runs the work
//    the audio thread handed off (GrainEngine::runDeferred).
//  - the adapter's own worker thread, running while the host has switched the effect on
//    (effMainsChanged 1 starts it, 0 and the destructor join it): it
//    looks every 20 ms whether the audio thread handed work off and runs it while no
//    editor is open (with one open, its idle does). The audio thread only sets a flag;
//    it never signals or wakes the worker.

#include <atomic>
#include <thread>

#include "editor/effect_port.h"
#include "engine/grain_engine.h"
#include "host/audioeffectx.h"
#include "persistence/effect_files.h"

namespace grainwheel {

class GrainEffect : public AudioEffectX,
                    public EngineHost,
                    public EngineListener,
                    public FileHost,
                    public ExitSaveTarget {
public:
    explicit GrainEffect(audioMasterCallback hostCallback);
    ~GrainEffect() override;

    GrainEngine& engine() { return engine_; }
    const GrainEngine& engine() const { return engine_; }
    EffectFiles& files() { return files_; }

    // Parameters.
    void setParameter(VstInt32 index, float value) override { engine_.setParameter(index, value); }
    float getParameter(VstInt32 index) override { return engine_.getParameter(index); }
    void getParameterName(VstInt32 index, char* text) override { engine_.parameters().name(index, text); }
    void getParameterLabel(VstInt32 index, char* text) override { engine_.parameters().label(index, text); }
    void getParameterDisplay(VstInt32 index, char* text) override { engine_.parameters().display(index, text); }
    bool canParameterBeAutomated(VstInt32 index) override { return engine_.parameters().automatable(index); }
    // No parameter takes a text.
    bool string2parameter(VstInt32, const char*) override { return false; }

    // Programs and the chunk.
    VstInt32 getProgram() override { return engine_.getProgram(); }
    void setProgram(VstInt32 index) override { engine_.setProgram(index); }
    void setProgramName(const char* text) override { engine_.programs().setName(text); }
    void getProgramName(char* text) override { engine_.programs().name(text); }
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override {
        return engine_.programs().nameOf(index, text);
    }
    VstInt32 getChunk(void** data, bool isPreset) override { return engine_.programs().chunk(data, isPreset); }
    VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset) override {
        return files_.setChunk(data, byteSize, isPreset);
    }

    // Audio.
    void process(float** inputs, float** outputs, VstInt32 sampleFrames) GW_NONBLOCKING override {
        engine_.process(inputs, outputs, sampleFrames);
    }
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) GW_NONBLOCKING override {
        engine_.processReplacing(inputs, outputs, sampleFrames);
    }

    // Host dialogue.
    VstIntPtr dispatcher(VstInt32 opCode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override;
    void open() override {}
    void close() override { files_.closing(editor != nullptr); }
    void suspend() override { engine_.suspend(); }
    void resume() override;
    // The engine hears of a new rate at once: a chunk the host restores before it resumes
    // is then converted once, to this rate.
    void setSampleRate(float newSampleRate) override {
        AudioEffectX::setSampleRate(newSampleRate);
        engine_.setWorkingRate(newSampleRate);
    }
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

    // EngineHost.
    bool transport(std::int32_t wanted, EngineTransport& out) override;
    void automated(int index, float value) override;
    bool askYesNo(const char* title, const char* text) override;
    // EngineListener: to the editor, when there is one.
    void engineNotice(int index, float value) override;
    void engineRefresh() override;
    bool runsDeferredWork() const override;
    // FileHost.
    const char* hostFolder() override;
    // ExitSaveTarget: the editor runs the save offered at close on the ExitSave notice.
    FileResult exitSave() override { return files_.exitSave(); }
    // The editor's port onto this effect (grain_effect_port.cpp).
    std::unique_ptr<EffectPort> makeEditorPort();

private:
    GrainEngine engine_;
    EffectFiles files_;
    std::atomic<bool> editorOpen_{false};  // between effEditOpen and effEditClose
    void startWorker();
    void stopWorker();
    std::atomic<bool> stopping_{false};
    std::thread worker_;  // runs the engine's deferred work (see above); last member
};

}  // namespace grainwheel
