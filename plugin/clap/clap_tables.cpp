// The CLAP plug-in's tables: the descriptor, the plug-in's calls and its extensions
// (audio-ports, params, state, latency, tail, render, and the module's gui), each over
// the ClapEffect (clap_effect.h).

#include <cstring>

#include <clap/ext/audio-ports.h>
#include <clap/ext/latency.h>
#include <clap/ext/params.h>
#include <clap/ext/render.h>
#include <clap/ext/state.h>
#include <clap/ext/tail.h>
#include "plugin/clap/clap_effect.h"

namespace grainwheel::clap {

namespace {

const char* const kFeatures[] = {CLAP_PLUGIN_FEATURE_AUDIO_EFFECT, CLAP_PLUGIN_FEATURE_DELAY,
                                 CLAP_PLUGIN_FEATURE_GRANULAR, CLAP_PLUGIN_FEATURE_STEREO, nullptr};

ClapEffect* fx(const clap_plugin_t* p) { return ClapEffect::of(p); }

// audio-ports: one stereo input, one stereo output, in place where the host likes.
std::uint32_t portCount(const clap_plugin_t*, bool) { return 1; }
bool portInfo(const clap_plugin_t*, std::uint32_t index, bool input, clap_audio_port_info_t* info) {
    if (index != 0 || info == nullptr) return false;
    std::memset(info, 0, sizeof *info);
    info->id = 0;
    std::strncpy(info->name, input ? "Input" : "Output", CLAP_NAME_SIZE - 1);
    info->flags = CLAP_AUDIO_PORT_IS_MAIN;
    info->channel_count = 2;
    info->port_type = CLAP_PORT_STEREO;
    info->in_place_pair = 0;
    return true;
}
const clap_plugin_audio_ports_t kAudioPorts = {portCount, portInfo};

std::uint32_t paramsCount(const clap_plugin_t*) { return static_cast<std::uint32_t>(kNumHostParameters); }
bool paramsInfo(const clap_plugin_t* p, std::uint32_t index, clap_param_info_t* info) { return fx(p)->paramInfo(index, info); }
bool paramsValue(const clap_plugin_t* p, clap_id id, double* value) { return fx(p)->paramValue(id, value); }
bool paramsText(const clap_plugin_t* p, clap_id id, double value, char* out, std::uint32_t size) {
    return fx(p)->valueToText(id, value, out, size);
}
bool paramsFromText(const clap_plugin_t* p, clap_id id, const char* text, double* value) {
    return fx(p)->textToValue(id, text, value);
}
void paramsFlush(const clap_plugin_t* p, const clap_input_events_t* in, const clap_output_events_t* out) {
    fx(p)->flush(in, out);
}
const clap_plugin_params_t kParams = {paramsCount, paramsInfo, paramsValue, paramsText, paramsFromText, paramsFlush};

bool stateSave(const clap_plugin_t* p, const clap_ostream_t* stream) { return fx(p)->save(stream); }
bool stateLoad(const clap_plugin_t* p, const clap_istream_t* stream) { return fx(p)->load(stream); }
const clap_plugin_state_t kState = {stateSave, stateLoad};

std::uint32_t latency(const clap_plugin_t*) { return 0; }
const clap_plugin_latency_t kLatency = {latency};

// The delay lines and the feedback ring on as long as the input does.
std::uint32_t tail(const clap_plugin_t*) { return UINT32_MAX; }
const clap_plugin_tail_t kTail = {tail};

// Offline and real time render alike.
bool hardRealtime(const clap_plugin_t*) { return false; }
bool renderMode(const clap_plugin_t*, clap_plugin_render_mode) { return true; }
const clap_plugin_render_t kRender = {hardRealtime, renderMode};

bool pluginInit(const clap_plugin_t*) { return true; }
void pluginDestroy(const clap_plugin_t* p) { delete fx(p); }
bool pluginActivate(const clap_plugin_t* p, double rate, std::uint32_t, std::uint32_t) { return fx(p)->activate(rate); }
void pluginDeactivate(const clap_plugin_t* p) { fx(p)->deactivate(); }
bool pluginStartProcessing(const clap_plugin_t* p) {
    fx(p)->setProcessing(true);
    return true;
}
void pluginStopProcessing(const clap_plugin_t* p) { fx(p)->setProcessing(false); }
void pluginReset(const clap_plugin_t*) {}
clap_process_status pluginProcess(const clap_plugin_t* p, const clap_process_t* data) { return fx(p)->process(data); }
const void* pluginExtension(const clap_plugin_t*, const char* id) {
    if (id == nullptr) return nullptr;
    if (std::strcmp(id, CLAP_EXT_AUDIO_PORTS) == 0) return &kAudioPorts;
    if (std::strcmp(id, CLAP_EXT_PARAMS) == 0) return &kParams;
    if (std::strcmp(id, CLAP_EXT_STATE) == 0) return &kState;
    if (std::strcmp(id, CLAP_EXT_LATENCY) == 0) return &kLatency;
    if (std::strcmp(id, CLAP_EXT_TAIL) == 0) return &kTail;
    if (std::strcmp(id, CLAP_EXT_RENDER) == 0) return &kRender;
    if (std::strcmp(id, CLAP_EXT_GUI) == 0) return ClapEffect::gui;
    if (std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0) return ClapEffect::timerSupport;
    return nullptr;
}
void pluginOnMainThread(const clap_plugin_t*) {}

}  // namespace

const clap_plugin_descriptor_t kDescriptor = {
    CLAP_VERSION_INIT, kPluginId, "grainwheel", "orbelune audio", "", "", "", "1.0.0",
    "A tempo-synchronised granular step sequencer", kFeatures,
};

ClapEffect::ClapEffect(const clap_host_t* host)
    : plugin_{&kDescriptor,        this,          pluginInit,   pluginDestroy,   pluginActivate,
              pluginDeactivate,    pluginStartProcessing, pluginStopProcessing, pluginReset,
              pluginProcess,       pluginExtension,       pluginOnMainThread},
      host_(host),
      engine_(this, static_cast<float>(rate_)),
      files_(engine_, this) {
    for (auto& c : changed_) c.store(false, std::memory_order_relaxed);
    for (auto& v : changedValue_) v.store(0.0f, std::memory_order_relaxed);
}

}  // namespace grainwheel::clap
