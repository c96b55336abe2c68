// The editor's port onto the plug-in's effect: the named calls of EffectPort mapped onto
// GrainEffect, its engine and its files.

#include <new>

#include "editor/effect_port.h"
#include "persistence/effect_state.h"
#include "plugin/grain_effect.h"

namespace grainwheel {

namespace {

class GrainEffectPort final : public EffectPort {
public:
    explicit GrainEffectPort(GrainEffect& e) : fx(e) {}

    float getParameter(int index) override { return fx.getParameter(index); }
    void setParameter(int index, float value) override { fx.setParameter(index, value); }
    void setParameterAutomated(int index, float value) override { fx.setParameterAutomated(index, value); }
    void getParameterDisplay(int index, char* text) override { fx.getParameterDisplay(index, text); }
    void beginEdit(int index) override { fx.beginEdit(index); }
    void endEdit(int index) override { fx.endEdit(index); }

    int currentUnit() override { return fx.engine().currentUnit(); }
    int currentBuffer() override { return fx.engine().getCurrentBuffer(); }
    float linkedDensity() override { return fx.engine().linkedDensity(); }
    bool takeRecordingMark() override { return fx.engine().takeRecordingMark(); }
    void setHalted(bool halted) override { fx.engine().setHalted(halted); }
    void silenceVoices() override {
        // Setting the voice count again stops every slot (under the buffer gate, so no
        // block is rendering them meanwhile) and keeps the count.
        fx.setParameter(kVoiceCount, fx.getParameter(kVoiceCount));
    }
    ScopeSources scopeSources() override {
        GrainEngine& e = fx.engine();
        ScopeSources s;
        s.captureState = &e.captureStateWord();
        s.captureBuffer = e.captureBuffer();
        s.currentSamples = e.currentLeftSamples();
        s.currentLength = &e.currentBufferLengthWord();
        s.playPosition = e.sequencer().playPosition.address();
        s.grainLength = e.sequencer().grainLengthFloat.address();
        s.grainInterval = e.sequencer().grainInterval.address();
        s.recording = e.recorder().recording.address();
        s.recordWritePosition = e.recorder().recordWritePosition.address();
        s.scopeMode = e.parameters().settings[kScopeViewMode].address();
        s.currentBuffer = &e.currentBufferWord();
        s.previousBuffer = &e.previousBufferWord();
        s.linkedDensity = e.sequencer().linkedDensity.address();
        s.records = &e.audioBuffer(0);
        return s;
    }

    int bufferLength(int b) override { return valid(b) ? framesOf(fx.engine().audioBuffer(b)).length : 0; }
    bool bufferHasArrays(int b) override {
        if (!valid(b)) return false;
        const AudioBuffer& a = fx.engine().audioBuffer(b);
        return a.left.load() != nullptr && a.right.load() != nullptr;
    }
    bool bufferSaved(int b) override { return valid(b) && fx.engine().audioBuffer(b).saved.load() != 0; }
    const char* bufferPath(int b) override {
        ProgramRecord* p = fx.engine().programRecords();
        return valid(b) && p != nullptr ? p[b].bufferPath : "";
    }
    float sampleRate() override { return fx.getSampleRate(); }

    FileResult readWaveFile(const char* path) override { return fx.files().readWaveFile(path); }
    FileResult writeWaveFile(const char* path) override { return fx.files().writeWaveFile(path); }
    FileResult readBankFile(const char* path) override { return fx.files().readBankFile(path); }
    FileResult writeBankFile(const char* path) override { return fx.files().writeBankFile(path); }
    FileResult importBankOptions(const char* path) override { return fx.files().importBankOptions(path); }
    const char* bankName() override { return fx.files().state().bankName; }
    void setBankName(const char* name) override {
        if (name != nullptr) copyPath(fx.files().state().bankName, name);
    }
    const char* recentBank(int i) override {
        return i >= 0 && i < kNumRecentBanks ? fx.files().state().recentBanks.entry(i) : "";
    }
    void recordRecentBank(const char* path) override { fx.files().recordRecentBank(path); }
    void exitSave() override { fx.files().exitSave(); }

private:
    static bool valid(int b) { return b >= 0 && b < kNumBuffers; }
    GrainEffect& fx;
};

}  // namespace

std::unique_ptr<EffectPort> GrainEffect::makeEditorPort() {
    return std::unique_ptr<EffectPort>(new (std::nothrow) GrainEffectPort(*this));
}

}  // namespace grainwheel
