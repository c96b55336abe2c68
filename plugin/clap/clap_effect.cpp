// The CLAP adapter: construction, activation, the block and its events, the transport,
// the parameters, the panel's changes and state (clap_effect.h). The plug-in's tables and
// extensions are in clap_tables.cpp.

#include "plugin/clap/clap_effect.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <new>

#include <clap/ext/params.h>
#include <clap/ext/thread-check.h>
#include "plugin/clap/clap_state.h"
#include "plugin/common/block_transport.h"
#include "plugin/common/effect_state.h"
#include "plugin/common/parameter_text.h"
#include "platform/dialogs.h"

namespace grainwheel::clap {

const clap_plugin_gui_t* ClapEffect::gui = nullptr;
const clap_plugin_timer_support_t* ClapEffect::timerSupport = nullptr;

double plainOf(int index, float normalised) {
    const ParameterInfo& p = parameterInfo(index);
    const int steps = stepCountOf(p);
    if (steps == 0) return normalised;
    return std::round(static_cast<double>(normalised) * steps);
}

float normalisedOf(int index, double plain) {
    const ParameterInfo& p = parameterInfo(index);
    const int steps = stepCountOf(p);
    if (!(plain > 0.0)) return 0.0f;
    if (steps == 0) return plain >= 1.0 ? 1.0f : static_cast<float>(plain);
    const double k = std::round(plain);
    return k >= steps ? 1.0f : static_cast<float>(k) / static_cast<float>(steps);
}

ClapEffect* ClapEffect::create(const clap_host_t* host) {
    ClapEffect* fx = new (std::nothrow) ClapEffect(host);
    if (fx == nullptr) return nullptr;
    if (!fx->engine_.usable()) {
        delete fx;
        return nullptr;
    }
    fx->engine_.setListener(&fx->relay_);
    return fx;
}

ClapEffect::~ClapEffect() {
    panel.reset();
    worker_.stop();
    engine_.setListener(nullptr);
}

bool ClapEffect::onMainThread() const {
    const auto* check = host_ != nullptr && host_->get_extension != nullptr
                            ? static_cast<const clap_host_thread_check_t*>(host_->get_extension(host_, CLAP_EXT_THREAD_CHECK))
                            : nullptr;
    return check == nullptr || check->is_main_thread == nullptr || check->is_main_thread(host_);
}

bool ClapEffect::activate(double rate) {
    if (!(rate > 0.0) || !std::isfinite(rate) || !onMainThread()) return false;
    rate_ = rate;
    engine_.setWorkingRate(static_cast<float>(rate_));
    files_.loadRecentBankList();
    engine_.resume(static_cast<float>(rate_));
    active_ = true;
    worker_.start(engine_, filesLock_);
    return true;
}

void ClapEffect::deactivate() {
    if (!active_) return;
    active_ = false;
    engine_.suspend();
    worker_.stop();
}

void ClapEffect::applyEvent(const clap_event_header_t* e) noexcept {
    if (e == nullptr || e->space_id != CLAP_CORE_EVENT_SPACE_ID) return;
    if (e->type == CLAP_EVENT_PARAM_VALUE && e->size >= sizeof(clap_event_param_value_t)) {
        const auto* v = reinterpret_cast<const clap_event_param_value_t*>(e);
        if (v->param_id < static_cast<clap_id>(kNumHostParameters))
            engine_.setParameter(static_cast<std::int32_t>(v->param_id), normalisedOf(static_cast<int>(v->param_id), v->value));
    } else if (e->type == CLAP_EVENT_TRANSPORT && e->size >= sizeof(clap_event_transport_t)) {
        context_ = *reinterpret_cast<const clap_event_transport_t*>(e);
        hasContext_ = true;
        contextAt_ = e->time;
    }
}

void ClapEffect::processSpan(std::uint32_t from, std::uint32_t count) noexcept {
    if (count == 0 || out_[0] == nullptr) return;
    spanStart_ = from;
    float* inputs[2] = {const_cast<float*>(in_[0] ? in_[0] + from : nullptr),
                        const_cast<float*>(in_[1] ? in_[1] + from : nullptr)};
    float* outputs[2] = {out_[0] + from, out_[1] ? out_[1] + from : nullptr};
    engine_.processReplacing(inputs, outputs, static_cast<std::int32_t>(count));
}

clap_process_status ClapEffect::process(const clap_process_t* p) {
    if (p == nullptr) return CLAP_PROCESS_ERROR;
    const std::uint32_t frames = p->frames_count;
    in_[0] = in_[1] = nullptr;
    out_[0] = out_[1] = nullptr;
    if (p->audio_inputs_count > 0 && p->audio_inputs != nullptr && p->audio_inputs[0].channel_count > 0 &&
        p->audio_inputs[0].data32 != nullptr) {
        in_[0] = p->audio_inputs[0].data32[0];
        in_[1] = p->audio_inputs[0].channel_count > 1 ? p->audio_inputs[0].data32[1] : in_[0];
    }
    if (p->audio_outputs_count > 0 && p->audio_outputs != nullptr && p->audio_outputs[0].channel_count > 0 &&
        p->audio_outputs[0].data32 != nullptr) {
        out_[0] = p->audio_outputs[0].data32[0];
        out_[1] = p->audio_outputs[0].channel_count > 1 ? p->audio_outputs[0].data32[1] : nullptr;
    }
    hasContext_ = p->transport != nullptr;
    if (hasContext_) context_ = *p->transport;
    contextAt_ = 0;
    // The changes are set on the audio thread: the engine hears so before the first block.
    engine_.buffers().gate().claimAudioThread();

    // The events, in their order of time: the block runs up to each event's time, then the
    // event applies. The host's list is read through its calls (which do not block).
    std::uint32_t done = 0;
    GW_BLOCKING_ALLOWED_BEGIN
    const clap_input_events_t* in = p->in_events;
    const std::uint32_t count = in != nullptr ? in->size(in) : 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const clap_event_header_t* e = in->get(in, i);
        if (e == nullptr) continue;
        // An event past the block's end applies at the end.
        const std::uint32_t at = e->time < frames ? e->time : frames;
        if (at > done) {
            processSpan(done, at - done);
            done = at;
        }
        applyEvent(e);
    }
    GW_BLOCKING_ALLOWED_END
    processSpan(done, frames - done);
    sendOutput(p->out_events);
    return CLAP_PROCESS_CONTINUE;
}

void ClapEffect::flush(const clap_input_events_t* in, const clap_output_events_t* out) {
    GW_BLOCKING_ALLOWED_BEGIN
    const std::uint32_t count = in != nullptr ? in->size(in) : 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const clap_event_header_t* e = in->get(in, i);
        if (e != nullptr && e->type == CLAP_EVENT_PARAM_VALUE) applyEvent(e);
    }
    GW_BLOCKING_ALLOWED_END
    sendOutput(out);
}

void ClapEffect::sendOutput(const clap_output_events_t* out) noexcept {
    if (out == nullptr) return;
    GW_BLOCKING_ALLOWED_BEGIN
    clap_event_param_value_t v{};
    v.header = {sizeof v, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
    v.note_id = -1;
    v.port_index = v.channel = v.key = -1;
    // The panel's, in order: a change stays queued when the host takes no more.
    for (std::uint32_t r = ringRead_.load(std::memory_order_relaxed); r != ringWrite_.load(std::memory_order_acquire);
         ringRead_.store(++r, std::memory_order_release)) {
        const PanelEvent& pe = ring_[r % kRing];
        bool pushed;
        if (pe.type == CLAP_EVENT_PARAM_VALUE) {
            v.param_id = pe.index;
            v.value = plainOf(pe.index, pe.value);
            pushed = out->try_push(out, &v.header);
        } else {
            clap_event_param_gesture_t g{{sizeof g, 0, CLAP_CORE_EVENT_SPACE_ID, pe.type, 0}, pe.index};
            pushed = out->try_push(out, &g.header);
        }
        if (!pushed) break;
    }
    // The engine's own changes.
    if (anyChanged_.exchange(false, std::memory_order_acq_rel)) {
        for (int i = 0; i < kNumHostParameters; ++i) {
            if (!changed_[i].exchange(false, std::memory_order_acq_rel)) continue;
            v.param_id = static_cast<clap_id>(i);
            v.value = plainOf(i, changedValue_[i].load(std::memory_order_relaxed));
            out->try_push(out, &v.header);
        }
    }
    GW_BLOCKING_ALLOWED_END
}

void ClapEffect::automated(int index, float value) {
    if (index < 0 || index >= kNumHostParameters) return;
    changedValue_[index].store(value, std::memory_order_relaxed);
    changed_[index].store(true, std::memory_order_release);
    anyChanged_.store(true, std::memory_order_release);
    // Off the audio thread (a program change from the panel) the host flushes to hear it.
    if (!processing_.load(std::memory_order_acquire)) askForFlush();
}

bool ClapEffect::askYesNo(const char* title, const char* text) { return platform::dialogs().askYesNo(title, text); }

void ClapEffect::askForFlush() {
    const auto* params = host_ != nullptr && host_->get_extension != nullptr
                             ? static_cast<const clap_host_params_t*>(host_->get_extension(host_, CLAP_EXT_PARAMS))
                             : nullptr;
    if (params != nullptr && params->request_flush != nullptr) params->request_flush(host_);
}

// The engine takes the panel's value at once; the host hears it, with the gestures
// around it, in the next output events.
void ClapEffect::panelEdit(int index, float value) {
    engine_.setParameter(index, value);
    if (index < 0 || index >= kNumHostParameters || isCommand(index)) return;
    const std::uint32_t w = ringWrite_.load(std::memory_order_relaxed);
    if (w - ringRead_.load(std::memory_order_acquire) >= kRing) return;  // the host hears none for now
    ring_[w % kRing] = {CLAP_EVENT_PARAM_VALUE, static_cast<std::uint16_t>(index), value};
    ringWrite_.store(w + 1, std::memory_order_release);
    if (!processing_.load(std::memory_order_acquire)) askForFlush();
}

void ClapEffect::panelGesture(int index, bool begin) {
    if (index < 0 || index >= kNumHostParameters || isCommand(index)) return;
    const std::uint32_t w = ringWrite_.load(std::memory_order_relaxed);
    if (w - ringRead_.load(std::memory_order_acquire) >= kRing) return;
    ring_[w % kRing] = {static_cast<std::uint16_t>(begin ? CLAP_EVENT_PARAM_GESTURE_BEGIN : CLAP_EVENT_PARAM_GESTURE_END),
                        static_cast<std::uint16_t>(index), 0.0f};
    ringWrite_.store(w + 1, std::memory_order_release);
}

// The context at the block's start (or at a transport event's time); within a split block
// the position runs on from there.
bool ClapEffect::transport(std::int32_t, EngineTransport& out) {
    if (!hasContext_) return false;
    const clap_event_transport_t& c = context_;
    out = EngineTransport{};
    if (c.flags & CLAP_TRANSPORT_IS_PLAYING) out.flags |= EngineTransport::kPlaying;
    if ((c.flags & CLAP_TRANSPORT_HAS_TEMPO) && std::isfinite(c.tempo) && c.tempo > 0.0) {
        out.flags |= EngineTransport::kTempoValid;
        out.tempo = c.tempo;
    }
    if ((c.flags & CLAP_TRANSPORT_HAS_TIME_SIGNATURE) && c.tsig_num > 0 && c.tsig_denom > 0) {
        out.flags |= EngineTransport::kTimeSigValid;
        out.timeSigNumerator = c.tsig_num;
        out.timeSigDenominator = c.tsig_denom;
    }
    if (c.flags & CLAP_TRANSPORT_HAS_BEATS_TIMELINE) {
        out.flags |= EngineTransport::kPpqValid | EngineTransport::kBarsValid;
        out.ppqPosition = static_cast<double>(c.song_pos_beats) / static_cast<double>(CLAP_BEATTIME_FACTOR);
        out.barStart = static_cast<double>(c.bar_start) / static_cast<double>(CLAP_BEATTIME_FACTOR);
    }
    runTransportOn(out, static_cast<std::int32_t>(spanStart_ - contextAt_), rate_);
    return true;
}

bool ClapEffect::paramInfo(std::uint32_t index, clap_param_info_t* info) const {
    if (info == nullptr || index >= static_cast<std::uint32_t>(kNumHostParameters)) return false;
    std::memset(info, 0, sizeof *info);
    const ParameterInfo& p = parameterInfo(static_cast<int>(index));
    info->id = index;
    const int steps = stepCountOf(p);
    if (steps > 0) info->flags |= CLAP_PARAM_IS_STEPPED;
    if (p.kind == ParameterKind::Choice) info->flags |= CLAP_PARAM_IS_ENUM;
    if (automatable(p)) info->flags |= CLAP_PARAM_IS_AUTOMATABLE;
    std::strncpy(info->name, p.name, CLAP_NAME_SIZE - 1);
    info->min_value = 0.0;
    info->max_value = steps > 0 ? steps : 1.0;
    info->default_value = plainOf(static_cast<int>(index), p.init);
    return true;
}

bool ClapEffect::paramValue(clap_id id, double* value) {
    if (value == nullptr || id >= static_cast<clap_id>(kNumHostParameters)) return false;
    *value = plainOf(static_cast<int>(id), engine_.getParameter(static_cast<std::int32_t>(id)));
    return true;
}

bool ClapEffect::valueToText(clap_id id, double value, char* out, std::uint32_t size) {
    if (out == nullptr || size == 0 || id >= static_cast<clap_id>(kNumHostParameters)) return false;
    char text[64] = {};
    engine_.parameters().displayFor(static_cast<std::int32_t>(id), normalisedOf(static_cast<int>(id), value), text);
    std::strncpy(out, text, size - 1);
    out[size - 1] = 0;
    return true;
}

bool ClapEffect::textToValue(clap_id id, const char* text, double* value) {
    if (text == nullptr || value == nullptr || id >= static_cast<clap_id>(kNumHostParameters)) return false;
    struct Context {
        ClapEffect* fx;
        int index;
    } context{this, static_cast<int>(id)};
    auto textOf = [](void* c, double v, char* out) {
        const Context& x = *static_cast<Context*>(c);
        x.fx->engine_.parameters().displayFor(x.index, static_cast<float>(v), out);
    };
    double normalised = 0.0;
    if (!valueOfText(text, stepCountOf(parameterInfo(context.index)), textOf, &context, normalised)) return false;
    *value = plainOf(context.index, static_cast<float>(normalised));
    return true;
}

bool ClapEffect::save(const clap_ostream_t* stream) {
    if (stream == nullptr || !onMainThread()) return false;
    std::lock_guard<std::mutex> hold(filesLock_);
    ClapSink sink(stream);
    return saveEffectState(engine_, sink, false);
}

bool ClapEffect::load(const clap_istream_t* stream) {
    if (stream == nullptr || !onMainThread()) return false;
    std::unique_ptr<StateImage> image(new (std::nothrow) StateImage);
    if (!image || !readClapState(stream, *image)) return false;
    bool taken;
    {
        std::lock_guard<std::mutex> hold(filesLock_);
        taken = installEffectState(engine_, files_, *image, active_);
    }
    const auto* params = host_ != nullptr && host_->get_extension != nullptr
                             ? static_cast<const clap_host_params_t*>(host_->get_extension(host_, CLAP_EXT_PARAMS))
                             : nullptr;
    if (params != nullptr && params->rescan != nullptr) params->rescan(host_, CLAP_PARAM_RESCAN_VALUES | CLAP_PARAM_RESCAN_TEXT);
    return taken;
}

}  // namespace grainwheel::clap
