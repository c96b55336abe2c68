// The plug-in module's LV2 entry point: the descriptor and the extension data (worker,
// state, the UI's access), each a thin call onto Lv2Effect.

#include <cstring>

#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/worker/worker.h>

#include "plugin/lv2/lv2_effect.h"

namespace grainwheel::lv2 {

namespace {

Lv2Effect* self(LV2_Handle h) { return static_cast<Lv2Effect*>(h); }

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const* features) {
    return Lv2Effect::create(rate, features);
}
void connectPort(LV2_Handle h, std::uint32_t port, void* data) { self(h)->connectPort(port, data); }
void activate(LV2_Handle h) { self(h)->activate(); }
void run(LV2_Handle h, std::uint32_t frames) { self(h)->run(frames); }
void deactivate(LV2_Handle h) { self(h)->deactivate(); }
void cleanup(LV2_Handle h) { delete self(h); }

LV2_Worker_Status work(LV2_Handle h, LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle handle,
                       std::uint32_t size, const void* data) {
    return self(h)->work(respond, handle, size, data);
}
LV2_Worker_Status workResponse(LV2_Handle, std::uint32_t, const void*) { return LV2_WORKER_SUCCESS; }

LV2_State_Status save(LV2_Handle h, LV2_State_Store_Function store, LV2_State_Handle handle, std::uint32_t flags,
                      const LV2_Feature* const* features) {
    return self(h)->save(store, handle, flags, features);
}
LV2_State_Status restore(LV2_Handle h, LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle,
                         std::uint32_t flags, const LV2_Feature* const* features) {
    return self(h)->restore(retrieve, handle, flags, features);
}

InstanceAccess* access(void* instance) { return instance != nullptr ? self(instance) : nullptr; }

const LV2_Worker_Interface kWorker{work, workResponse, nullptr};
const LV2_State_Interface kState{save, restore};
const AccessExtension kAccess{access};

const void* extensionData(const char* uri) {
    if (std::strcmp(uri, LV2_WORKER__interface) == 0) return &kWorker;
    if (std::strcmp(uri, LV2_STATE__interface) == 0) return &kState;
    if (std::strcmp(uri, kAccessUri) == 0) return &kAccess;
    return nullptr;
}

const LV2_Descriptor kDescriptor{kPluginUri, instantiate, connectPort, activate, run, deactivate, cleanup,
                                 extensionData};

}  // namespace

}  // namespace grainwheel::lv2

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(std::uint32_t index) {
    return index == 0 ? &grainwheel::lv2::kDescriptor : nullptr;
}
