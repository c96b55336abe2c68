#pragma once
// Vst3Effect: the VST 3 adapter. One object is the component, the audio processor and the
// edit controller (a single-component effect: hosts find the controller through
// queryInterface and getControllerClassId answers none), with the program list
// (IUnitInfo) and the process context it needs. It owns one GrainEngine and the
// EffectFiles of it, like the other adapters:
//  - parameters 0..106 are the engine's host parameters, described by the parameter table
//    (engine/parameter_table.h); 12 ("program") is the program-change parameter of the
//    one program list, the 16 programs; 107 is the bypass;
//  - process(): the host's parameter queues are applied at their sample offsets, the block
//    split where they fall; the ProcessContext is the engine's transport, run on from the
//    block's start within a split block; bypassed, the engine runs on (into a scratch
//    block made in setupProcessing) and the input passes through;
//  - what the engine changes by itself (next/previous program) goes back to the host in
//    the block's output parameter changes;
//  - the work the audio thread hands off runs on a thread of the adapter's own while the
//    host has the component active (setActive), as the VST 2 adapter's worker does;
//  - state (plugin/common/effect_state.h): the records, and each buffer by path or with its audio.
//
// Threads, as VST 3 defines them: process() on the audio thread; everything else on the
// host's main thread (the controller's calls, state, setActive, setupProcessing).

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "engine/grain_engine.h"
#include "engine/parameter_table.h"
#include "persistence/effect_files.h"
#include "plugin/common/deferred_worker.h"
#include "plugin/common/panel_relay.h"
#include "plugin/vst3/vst3_com.h"

namespace grainwheel::vst3 {

// The one class the factory makes.
extern const TUID kEffectClassId;
inline constexpr const char* kEffectName = "grainwheel";
inline constexpr const char* kVendor = "orbelune audio";
inline constexpr const char* kVersion = "1.0.0";

inline constexpr int kBypassId = kNumHostParameters;  // 107
inline constexpr int kParameterCount = kNumHostParameters + 1;
inline constexpr Steinberg_Vst_ProgramListID kProgramListId = 1;

class Vst3Effect final : public RefCounted, public EngineHost, public EngineListener, public FileHost {
public:
    // Null when memory is short.
    static Vst3Effect* create();
    ~Vst3Effect() override;

    tresult queryInterface(const char* iid, void** obj);
    GrainEngine& engine() { return engine_; }

    // EngineHost.
    bool transport(std::int32_t wanted, EngineTransport& out) override;
    void automated(int index, float value) override;
    bool askYesNo(const char* title, const char* text) override;
    // EngineListener: to the open panel, if any (any thread, never blocking).
    void engineNotice(int index, float value) override;
    void engineRefresh() override;
    // FileHost: VST 3 gives no folder of the plug-in's own.
    const char* hostFolder() override { return nullptr; }

    // The panel (vst3_view.cpp), main thread: the panel hearing the engine's notices (null:
    // none; this waits for a notice under way), the user's changes and gestures to the
    // host, the working rate.
    void attachPanel(EngineListener* panel);
    void panelEdit(int index, float value);
    void panelGesture(int index, bool begin);
    EffectFiles& files() { return files_; }
    double sampleRate() const { return rate_; }
    // The module's maker of the panel's view (null where the module has no panel).
    using ViewMaker = Steinberg_IPlugView* (*)(Vst3Effect&);
    static ViewMaker viewMaker;

private:
    Vst3Effect();
    struct Tables;
    friend struct Tables;

    // IComponent.
    tresult setActive(bool state);
    tresult setState(Steinberg_IBStream* stream);
    tresult getState(Steinberg_IBStream* stream);
    // IAudioProcessor.
    tresult setupProcessing(const Steinberg_Vst_ProcessSetup* setup);
    tresult process(Steinberg_Vst_ProcessData* data) GW_NONBLOCKING;
    void applyChange(Steinberg_Vst_ParamID id, double value) noexcept GW_NONBLOCKING;
    void processSpan(std::int32_t from, std::int32_t count) noexcept GW_NONBLOCKING;
    void reportChanges(Steinberg_Vst_IParameterChanges* out) noexcept GW_NONBLOCKING;
    // IEditController.
    tresult describeParameter(std::int32_t index, Steinberg_Vst_ParameterInfo* info);
    tresult stringByValue(Steinberg_Vst_ParamID id, double value, Steinberg_char16* out);
    tresult valueByString(Steinberg_Vst_ParamID id, const Steinberg_char16* text, double* value);
    double normalized(Steinberg_Vst_ParamID id);
    void setHandler(Steinberg_Vst_IComponentHandler* handler);

    void startWorker();
    void stopWorker();

    Facet<Vst3Effect> component_;
    Facet<Vst3Effect> processor_;
    Facet<Vst3Effect> controller_;
    Facet<Vst3Effect> units_;
    Facet<Vst3Effect> context_;

    double rate_ = 44100.0;
    GrainEngine engine_;
    EffectFiles files_;
    int initialized_ = 0;
    bool active_ = false;  // between setActive(true) and setActive(false)

    // The audio thread's view of the block under way.
    const float* in_[2] = {};
    float* out_[2] = {};
    Steinberg_Vst_ProcessContext blockContext_{};
    bool hasContext_ = false;
    std::int32_t spanStart_ = 0;  // frames from the block's start to the span under way
    std::unique_ptr<float[]> scratch_;  // two channels of scratchFrames_ (bypassed blocks)
    std::int32_t scratchFrames_ = 0;
    std::atomic<float> bypass_{0.0f};

    // What the engine changed by itself, for the next block's output changes.
    std::atomic<bool> changed_[kNumHostParameters];
    std::atomic<float> changedValue_[kNumHostParameters];
    std::atomic<bool> anyChanged_{false};

    Steinberg_Vst_IComponentHandler* handler_ = nullptr;
    // The value the panel set and sent the host, whose echo in the queues is no change
    // (NaN: none).
    std::atomic<float> writtenBack_[kNumHostParameters];
    PanelRelay relay_;

    // Serialises the deferred work with state.
    std::mutex filesLock_;
    DeferredWorker worker_;  // last member
};

}  // namespace grainwheel::vst3
