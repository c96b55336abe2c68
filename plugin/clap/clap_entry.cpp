// The CLAP module's one export, clap_entry, and its plug-in factory of the one plug-in.

#include <cstring>

#include <clap/clap.h>
#include "plugin/clap/clap_effect.h"

namespace {

using grainwheel::clap::ClapEffect;
using grainwheel::clap::kDescriptor;

std::uint32_t count(const clap_plugin_factory_t*) { return 1; }
const clap_plugin_descriptor_t* descriptor(const clap_plugin_factory_t*, std::uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}
const clap_plugin_t* create(const clap_plugin_factory_t*, const clap_host_t* host, const char* id) {
    if (host == nullptr || id == nullptr || std::strcmp(id, kDescriptor.id) != 0 ||
        !clap_version_is_compatible(host->clap_version))
        return nullptr;
    ClapEffect* fx = ClapEffect::create(host);
    return fx != nullptr ? fx->plugin() : nullptr;
}
const clap_plugin_factory_t kFactory = {count, descriptor, create};

bool init(const char*) { return true; }
void deinit() {}
const void* factory(const char* id) {
    return id != nullptr && std::strcmp(id, CLAP_PLUGIN_FACTORY_ID) == 0 ? &kFactory : nullptr;
}

}  // namespace

#if defined(_WIN32)
extern "C" __declspec(dllexport)
#else
extern "C" __attribute__((visibility("default")))
#endif
const clap_plugin_entry_t clap_entry = {CLAP_VERSION_INIT, init, deinit, factory};
