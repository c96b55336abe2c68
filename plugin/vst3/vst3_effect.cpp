// The VST 3 adapter: construction, the component, the processor and the block, the
// transport, the worker (vst3_effect.h). The controller and the program list are in
// vst3_controller.cpp, state in vst3_effect_state.cpp, the interface tables in
// vst3_tables.cpp.

#include "plugin/vst3/vst3_effect.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "engine/parameter_table.h"
#include "plugin/common/block_transport.h"
#include "platform/dialogs.h"

namespace grainwheel::vst3 {

namespace {
constexpr Steinberg_int32 kMaxQueues = 256;
constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();
}  // namespace

Vst3Effect::ViewMaker Vst3Effect::viewMaker = nullptr;

Vst3Effect* Vst3Effect::create() {
    Vst3Effect* fx = new (std::nothrow) Vst3Effect();
    if (fx == nullptr) return nullptr;
    if (!fx->engine_.usable()) {
        delete fx;
        return nullptr;
    }
    fx->engine_.setListener(fx);
    return fx;
}

Vst3Effect::~Vst3Effect() {
    stopWorker();
    setHandler(nullptr);
    engine_.setListener(nullptr);
}

tresult Vst3Effect::setActive(bool state) {
    active_ = state;
    if (state) {
        files_.loadRecentBankList();
        engine_.resume(static_cast<float>(rate_));
        startWorker();
    } else {
        engine_.suspend();
        stopWorker();
    }
    return Steinberg_kResultOk;
}

tresult Vst3Effect::setupProcessing(const Steinberg_Vst_ProcessSetup* setup) {
    if (setup == nullptr || setup->symbolicSampleSize != Steinberg_Vst_SymbolicSampleSizes_kSample32 ||
        !(setup->sampleRate > 0.0) || !std::isfinite(setup->sampleRate) || setup->maxSamplesPerBlock <= 0)
        return Steinberg_kResultFalse;
    rate_ = setup->sampleRate;
    engine_.setWorkingRate(static_cast<float>(rate_));
    if (setup->maxSamplesPerBlock != scratchFrames_) {
        scratch_.reset(new (std::nothrow) float[2 * static_cast<std::size_t>(setup->maxSamplesPerBlock)]);
        scratchFrames_ = scratch_ ? setup->maxSamplesPerBlock : 0;
    }
    return Steinberg_kResultOk;
}

void Vst3Effect::applyChange(Steinberg_Vst_ParamID id, double value) noexcept {
    const float v = !(value > 0.0) ? 0.0f : value >= 1.0 ? 1.0f : static_cast<float>(value);
    if (id < static_cast<Steinberg_Vst_ParamID>(kNumHostParameters)) {
        // The panel's own change coming back from the host is no change.
        const float back = writtenBack_[id].load(std::memory_order_acquire);
        if (back == back && writtenBack_[id].exchange(kNoValue, std::memory_order_acq_rel) == v) return;
        engine_.setParameter(static_cast<std::int32_t>(id), v);
    } else if (id == static_cast<Steinberg_Vst_ParamID>(kBypassId)) bypass_.store(v >= 0.5f ? 1.0f : 0.0f);
}

void Vst3Effect::processSpan(std::int32_t from, std::int32_t count) noexcept {
    if (count <= 0) return;
    spanStart_ = from;
    float* inputs[2] = {const_cast<float*>(in_[0] ? in_[0] + from : nullptr),
                        const_cast<float*>(in_[1] ? in_[1] + from : nullptr)};
    float* outputs[2] = {out_[0] ? out_[0] + from : nullptr, out_[1] ? out_[1] + from : nullptr};
    if (bypass_.load(std::memory_order_relaxed) == 0.0f || scratchFrames_ == 0) {
        if (outputs[0] != nullptr) engine_.processReplacing(inputs, outputs, count);
        return;
    }
    // Bypassed: the engine runs on into the scratch block; the input is the output.
    for (std::int32_t done = 0; done < count;) {
        const std::int32_t n = count - done < scratchFrames_ ? count - done : scratchFrames_;
        float* in[2] = {inputs[0] ? inputs[0] + done : nullptr, inputs[1] ? inputs[1] + done : nullptr};
        float* scratch[2] = {scratch_.get(), scratch_.get() + scratchFrames_};
        spanStart_ = from + done;
        engine_.processReplacing(in, scratch, n);
        done += n;
    }
    for (int c = 0; c < 2; ++c) {
        if (outputs[c] == nullptr) continue;
        const float* source = inputs[c] != nullptr ? inputs[c] : inputs[0];
        if (source == nullptr) std::memset(outputs[c], 0, sizeof(float) * static_cast<std::size_t>(count));
        else if (source != outputs[c]) std::memmove(outputs[c], source, sizeof(float) * static_cast<std::size_t>(count));
    }
}

tresult Vst3Effect::process(Steinberg_Vst_ProcessData* data) {
    if (data == nullptr) return Steinberg_kInvalidArgument;
    if (data->symbolicSampleSize != Steinberg_Vst_SymbolicSampleSizes_kSample32) return Steinberg_kResultFalse;
    const std::int32_t frames = data->numSamples > 0 ? data->numSamples : 0;
    in_[0] = in_[1] = nullptr;
    out_[0] = out_[1] = nullptr;
    if (data->numInputs > 0 && data->inputs != nullptr && data->inputs[0].numChannels > 0) {
        float** ch = data->inputs[0].Steinberg_Vst_AudioBusBuffers_channelBuffers32;
        if (ch != nullptr) {
            in_[0] = ch[0];
            in_[1] = data->inputs[0].numChannels > 1 ? ch[1] : ch[0];
        }
    }
    if (data->numOutputs > 0 && data->outputs != nullptr && data->outputs[0].numChannels > 0) {
        float** ch = data->outputs[0].Steinberg_Vst_AudioBusBuffers_channelBuffers32;
        if (ch != nullptr) {
            out_[0] = ch[0];
            out_[1] = data->outputs[0].numChannels > 1 ? ch[1] : nullptr;
        }
    }
    hasContext_ = data->processContext != nullptr;
    if (hasContext_) blockContext_ = *data->processContext;
    // The changes are set on the audio thread: the engine hears so before the first block.
    engine_.buffers().gate().claimAudioThread();

    // The host's queues are read through its interfaces, and the engine takes each change
    // as a setParameter from the audio thread (neither blocks).
    GW_BLOCKING_ALLOWED_BEGIN
    // The queues, each in its order of offsets: the block runs up to the next offset, then
    // every point due there is applied, queue by queue.
    Steinberg_Vst_IParameterChanges* changes = data->inputParameterChanges;
    Steinberg_Vst_IParamValueQueue* queue[kMaxQueues];
    Steinberg_int32 points[kMaxQueues], next[kMaxQueues];
    Steinberg_int32 queues = 0;
    if (changes != nullptr) {
        const Steinberg_int32 count = changes->lpVtbl->getParameterCount(changes);
        for (Steinberg_int32 i = 0; i < count && queues < kMaxQueues; ++i) {
            Steinberg_Vst_IParamValueQueue* q = changes->lpVtbl->getParameterData(changes, i);
            if (q == nullptr) continue;
            queue[queues] = q;
            points[queues] = q->lpVtbl->getPointCount(q);
            next[queues] = 0;
            ++queues;
        }
    }
    std::int32_t done = 0;
    for (;;) {
        // Every point due by `done` is applied.
        std::int32_t upcoming = frames;
        bool any = false;
        for (Steinberg_int32 i = 0; i < queues; ++i) {
            Steinberg_Vst_IParamValueQueue* q = queue[i];
            const Steinberg_Vst_ParamID id = q->lpVtbl->getParameterId(q);
            while (next[i] < points[i]) {
                Steinberg_int32 offset = 0;
                Steinberg_Vst_ParamValue value = 0.0;
                if (q->lpVtbl->getPoint(q, next[i], &offset, &value) != Steinberg_kResultOk) {
                    next[i] = points[i];
                    break;
                }
                // A point past the block's end is applied at the end.
                if (offset > done && done < frames) {
                    if (offset < upcoming) upcoming = offset;
                    any = true;
                    break;
                }
                applyChange(id, value);
                ++next[i];
            }
        }
        if (!any) break;
        processSpan(done, upcoming - done);
        done = upcoming;
    }
    GW_BLOCKING_ALLOWED_END
    processSpan(done, frames - done);

    if (data->outputs != nullptr && data->numOutputs > 0) {
        bool silent = out_[0] != nullptr;
        for (int c = 0; c < 2 && silent; ++c)
            if (out_[c] != nullptr)
                for (std::int32_t i = 0; i < frames && silent; ++i) silent = out_[c][i] == 0.0f;
        data->outputs[0].silenceFlags = silent && frames > 0 ? (std::uint64_t{1} << data->outputs[0].numChannels) - 1 : 0;
    }
    if (anyChanged_.load(std::memory_order_acquire)) reportChanges(data->outputParameterChanges);
    return Steinberg_kResultOk;
}

void Vst3Effect::reportChanges(Steinberg_Vst_IParameterChanges* out) noexcept {
    if (out == nullptr) return;
    anyChanged_.store(false, std::memory_order_release);
    for (int i = 0; i < kNumHostParameters; ++i) {
        if (!changed_[i].exchange(false, std::memory_order_acq_rel)) continue;
        const Steinberg_Vst_ParamID id = static_cast<Steinberg_Vst_ParamID>(i);
        Steinberg_int32 index = 0;
        GW_BLOCKING_ALLOWED_BEGIN
        Steinberg_Vst_IParamValueQueue* q = out->lpVtbl->addParameterData(out, &id, &index);
        if (q != nullptr) q->lpVtbl->addPoint(q, 0, changedValue_[i].load(std::memory_order_relaxed), &index);
        GW_BLOCKING_ALLOWED_END
    }
}

void Vst3Effect::automated(int index, float value) {
    if (index < 0 || index >= kNumHostParameters) return;
    changedValue_[index].store(value, std::memory_order_relaxed);
    changed_[index].store(true, std::memory_order_release);
    anyChanged_.store(true, std::memory_order_release);
}

void Vst3Effect::engineNotice(int index, float value) { relay_.engineNotice(index, value); }

void Vst3Effect::engineRefresh() { relay_.engineRefresh(); }

void Vst3Effect::attachPanel(EngineListener* panel) { relay_.attach(panel); }

// The engine takes the panel's value at once; the host hears it as automation and sends
// it back in the queues, where it is no change.
void Vst3Effect::panelEdit(int index, float value) {
    engine_.setParameter(index, value);
    if (index < 0 || index >= kNumHostParameters || isCommand(index) || handler_ == nullptr) return;
    writtenBack_[index].store(value, std::memory_order_release);
    handler_->lpVtbl->performEdit(handler_, static_cast<Steinberg_Vst_ParamID>(index), value);
}

void Vst3Effect::panelGesture(int index, bool begin) {
    if (index < 0 || index >= kNumHostParameters || isCommand(index) || handler_ == nullptr) return;
    const auto id = static_cast<Steinberg_Vst_ParamID>(index);
    if (begin) handler_->lpVtbl->beginEdit(handler_, id);
    else handler_->lpVtbl->endEdit(handler_, id);
}

bool Vst3Effect::askYesNo(const char* title, const char* text) { return platform::dialogs().askYesNo(title, text); }

// The context at the block's start; within a split block the position runs on from
// there at the context's tempo (quarters = start + frames / rate * tempo / 60).
bool Vst3Effect::transport(std::int32_t, EngineTransport& out) {
    if (!hasContext_) return false;
    const Steinberg_Vst_ProcessContext& c = blockContext_;
    using S = Steinberg_Vst_ProcessContext_StatesAndFlags;
    out = EngineTransport{};
    const bool playing = (c.state & S::Steinberg_Vst_ProcessContext_StatesAndFlags_kPlaying) != 0;
    const bool tempo = (c.state & S::Steinberg_Vst_ProcessContext_StatesAndFlags_kTempoValid) != 0 &&
                       std::isfinite(c.tempo) && c.tempo > 0.0;
    const bool metre = (c.state & S::Steinberg_Vst_ProcessContext_StatesAndFlags_kTimeSigValid) != 0 &&
                       c.timeSigNumerator > 0 && c.timeSigDenominator > 0;
    if (playing) out.flags |= EngineTransport::kPlaying;
    if (tempo) {
        out.flags |= EngineTransport::kTempoValid;
        out.tempo = c.tempo;
    }
    if (metre) {
        out.flags |= EngineTransport::kTimeSigValid;
        out.timeSigNumerator = c.timeSigNumerator;
        out.timeSigDenominator = c.timeSigDenominator;
    }
    if (c.state & S::Steinberg_Vst_ProcessContext_StatesAndFlags_kProjectTimeMusicValid) {
        out.flags |= EngineTransport::kPpqValid;
        out.ppqPosition = c.projectTimeMusic;
    }
    if (c.state & S::Steinberg_Vst_ProcessContext_StatesAndFlags_kBarPositionValid) {
        out.flags |= EngineTransport::kBarsValid;
        out.barStart = c.barPositionMusic;
    }
    runTransportOn(out, spanStart_, rate_);
    return true;
}

void Vst3Effect::startWorker() { worker_.start(engine_, filesLock_); }

void Vst3Effect::stopWorker() { worker_.stop(); }

}  // namespace grainwheel::vst3
