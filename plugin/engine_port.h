#pragma once
// EnginePort: the editor's port onto one GrainEngine and its EffectFiles, shared by every
// plug-in format. A format derives from it where its host differs: how an automated
// change and the user's gestures reach the host, and the working sample rate.

#include "editor/effect_port.h"
#include "engine/grain_engine.h"
#include "persistence/effect_files.h"

namespace grainwheel {

class EnginePort : public EffectPort {
public:
    EnginePort(GrainEngine& engine, EffectFiles& files) : engine_(engine), files_(files) {}

    float getParameter(int index) override { return engine_.getParameter(index); }
    void setParameter(int index, float value) override { engine_.setParameter(index, value); }
    // Without a host to tell: the engine alone.
    void setParameterAutomated(int index, float value) override { engine_.setParameter(index, value); }
    void getParameterDisplay(int index, char* text) override { engine_.parameters().display(index, text); }
    void beginEdit(int) override {}
    void endEdit(int) override {}

    int currentUnit() override { return engine_.currentUnit(); }
    int currentBuffer() override { return engine_.getCurrentBuffer(); }
    float linkedDensity() override { return engine_.linkedDensity(); }
    bool takeRecordingMark() override { return engine_.takeRecordingMark(); }
    void setHalted(bool halted) override { engine_.setHalted(halted); }
    void silenceVoices() override;
    void copyDisplay(DisplaySnapshot& out) override;
    void requestCapture() override { engine_.requestCapture(); }

    int bufferLength(int b) override;
    bool bufferHasArrays(int b) override;
    bool bufferSaved(int b) override;
    const char* bufferPath(int b) override;
    float bufferRate(int b) override;

    FileResult readWaveFile(const char* path) override { return files_.readWaveFile(path); }
    FileResult writeWaveFile(const char* path) override { return files_.writeWaveFile(path); }
    FileResult readBankFile(const char* path) override { return files_.readBankFile(path); }
    FileResult writeBankFile(const char* path) override { return files_.writeBankFile(path); }
    FileResult importBankOptions(const char* path) override { return files_.importBankOptions(path); }
    const char* bankName() override { return files_.state().bankName; }
    void setBankName(const char* name) override;
    const char* recentBank(int i) override;
    void recordRecentBank(const char* path) override { files_.recordRecentBank(path); }
    void exitSave() override { files_.exitSave(); }

protected:
    GrainEngine& engine_;
    EffectFiles& files_;
};

}  // namespace grainwheel
