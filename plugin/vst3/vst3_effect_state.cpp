// The VST 3 adapter's state: the plug-ins' shared state (plugin/common/effect_state.h)
// through the host's streams, serialised with the deferred work.

#include <memory>
#include <new>

#include "plugin/common/effect_state.h"
#include "plugin/vst3/vst3_effect.h"

namespace grainwheel::vst3 {

tresult Vst3Effect::getState(Steinberg_IBStream* stream) {
    if (stream == nullptr) return Steinberg_kInvalidArgument;
    std::lock_guard<std::mutex> hold(filesLock_);
    StreamSink sink(stream);
    return saveEffectState(engine_, sink, bypass_.load() != 0.0f) ? Steinberg_kResultOk : Steinberg_kResultFalse;
}

tresult Vst3Effect::setState(Steinberg_IBStream* stream) {
    if (stream == nullptr) return Steinberg_kInvalidArgument;
    std::unique_ptr<StateImage> image(new (std::nothrow) StateImage);
    if (!image) return Steinberg_kOutOfMemory;
    StreamSource source(stream);
    if (!readState(source, *image)) return Steinberg_kResultFalse;

    std::lock_guard<std::mutex> hold(filesLock_);
    bypass_.store(image->bypass ? 1.0f : 0.0f);
    const bool taken = installEffectState(engine_, files_, *image, active_);
    if (handler_ != nullptr)
        handler_->lpVtbl->restartComponent(handler_, Steinberg_Vst_RestartFlags_kParamValuesChanged);
    return taken ? Steinberg_kResultOk : Steinberg_kResultFalse;
}

}  // namespace grainwheel::vst3
