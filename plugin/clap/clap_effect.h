#pragma once
// ClapEffect: the CLAP adapter, one plug-in instance over one GrainEngine and the
// EffectFiles of it, like the other adapters:
//  - params: the engine's 107 host parameters as the parameter table describes them, ids
//    = indices; a continuous parameter ranges over 0..1, a choice over its steps 0..n, a
//    switch or command over 0 and 1 (stepped); the texts are the engine's own, both ways;
//  - process(): the input events are applied at their sample times, the block split where
//    they fall; the transport is the process call's, or a transport event's from its time
//    on, run on within a split block; what the engine changes by itself (next/previous
//    program) and the panel's changes and gestures go out as output events (process or
//    flush; the host is asked for a flush while the plug-in is not processing);
//  - the work the audio thread hands off runs on a thread of the adapter's own while the
//    host has the plug-in active;
//  - state: the VST 3 state's content and layout (plugin/common/effect_state.h).
//
// Threads, as CLAP defines them: process (and flush while active) on the audio thread;
// everything else on the host's main thread, which the host's thread-check confirms where
// it offers one.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include <clap/clap.h>
#include <clap/ext/gui.h>
#include <clap/ext/timer-support.h>
#include "engine/grain_engine.h"
#include "engine/parameter_table.h"
#include "engine/realtime.h"
#include "persistence/effect_files.h"
#include "plugin/common/deferred_worker.h"
#include "plugin/common/panel_relay.h"

namespace grainwheel::clap {

inline constexpr const char* kPluginId = "orbelune.grainwheel";
extern const clap_plugin_descriptor_t kDescriptor;

class ClapEffect final : public EngineHost, public FileHost {
public:
    // Null when memory is short.
    static ClapEffect* create(const clap_host_t* host);
    ~ClapEffect() override;
    const clap_plugin_t* plugin() const { return &plugin_; }
    static ClapEffect* of(const clap_plugin_t* p) { return static_cast<ClapEffect*>(p->plugin_data); }

    GrainEngine& engine() { return engine_; }
    EffectFiles& files() { return files_; }
    double sampleRate() const { return rate_; }
    const clap_host_t* host() const { return host_; }
    bool onMainThread() const;

    // EngineHost.
    bool transport(std::int32_t wanted, EngineTransport& out) override;
    void automated(int index, float value) override;
    bool askYesNo(const char* title, const char* text) override;
    // FileHost: CLAP gives no folder of the plug-in's own.
    const char* hostFolder() override { return nullptr; }

    // The panel (clap_gui.cpp), main thread: the panel hearing the engine's notices (null:
    // none), the user's changes and gestures to the host.
    void attachPanel(EngineListener* listener) { relay_.attach(listener); }
    void panelEdit(int index, float value);
    void panelGesture(int index, bool begin);
    // The module's gui and timer-support extensions (null where the module has no panel),
    // and the panel of this instance while the host has one made (clap_gui.cpp).
    static const clap_plugin_gui_t* gui;
    static const clap_plugin_timer_support_t* timerSupport;
    std::unique_ptr<EngineListener> panel;

    // The plug-in's calls and extensions (clap_tables.cpp).
    bool activate(double rate);
    void deactivate();
    void setProcessing(bool on) { processing_.store(on, std::memory_order_release); }
    clap_process_status process(const clap_process_t* p) GW_NONBLOCKING;
    bool paramInfo(std::uint32_t index, clap_param_info_t* info) const;
    bool paramValue(clap_id id, double* value);
    bool valueToText(clap_id id, double value, char* out, std::uint32_t size);
    bool textToValue(clap_id id, const char* text, double* value);
    void flush(const clap_input_events_t* in, const clap_output_events_t* out) GW_NONBLOCKING;
    bool save(const clap_ostream_t* stream);
    bool load(const clap_istream_t* stream);

private:
    explicit ClapEffect(const clap_host_t* host);
    void applyEvent(const clap_event_header_t* e) noexcept GW_NONBLOCKING;
    void processSpan(std::uint32_t from, std::uint32_t count) noexcept GW_NONBLOCKING;
    void sendOutput(const clap_output_events_t* out) noexcept GW_NONBLOCKING;
    void askForFlush();

    clap_plugin_t plugin_;
    const clap_host_t* host_;
    double rate_ = 44100.0;
    GrainEngine engine_;
    EffectFiles files_;
    bool active_ = false;
    std::atomic<bool> processing_{false};

    // The audio thread's view of the block under way.
    const float* in_[2] = {};
    float* out_[2] = {};
    clap_event_transport_t context_{};
    bool hasContext_ = false;
    std::uint32_t contextAt_ = 0;  // the frame the context tells of
    std::uint32_t spanStart_ = 0;  // the frame the span under way starts at

    // What the engine changed by itself, for the next output events.
    std::atomic<bool> changed_[kNumHostParameters];
    std::atomic<float> changedValue_[kNumHostParameters];
    std::atomic<bool> anyChanged_{false};

    // The panel's changes and gestures in order, from the main thread to the one that
    // sends the output events (a ring of one writer and one reader).
    struct PanelEvent {
        std::uint16_t type;  // CLAP_EVENT_PARAM_VALUE, _GESTURE_BEGIN or _GESTURE_END
        std::uint16_t index;
        float value;
    };
    static constexpr std::uint32_t kRing = 1024;
    PanelEvent ring_[kRing] = {};
    std::atomic<std::uint32_t> ringWrite_{0}, ringRead_{0};

    PanelRelay relay_;
    // Serialises the deferred work with state.
    std::mutex filesLock_;
    DeferredWorker worker_;  // last member
};

// A parameter's plain value (its range) from the engine's 0..1 value and back.
double plainOf(int index, float normalised);
float normalisedOf(int index, double plain);

}  // namespace grainwheel::clap
