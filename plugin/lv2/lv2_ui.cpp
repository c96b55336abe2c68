// The UI module's LV2 entry point: the descriptor of grainwheel's X11 UI, each call a
// thin call onto Lv2Panel (lv2_ui_panel.h).

#include <cstring>

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/data-access/data-access.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include "plugin/lv2/lv2_ui_panel.h"

namespace grainwheel::lv2 {

namespace {

Lv2Panel* self(LV2UI_Handle h) { return static_cast<Lv2Panel*>(h); }

// The host's scale among options (ui:scaleFactor, a float); 0 when it gives none.
float scaleFactorOf(const LV2_Options_Option* options, LV2_URID_Map* map) {
    if (options == nullptr || map == nullptr) return 0.0f;
    const LV2_URID key = map->map(map->handle, LV2_UI__scaleFactor);
    const LV2_URID floatType = map->map(map->handle, LV2_ATOM__Float);
    for (const LV2_Options_Option* o = options; o->key != 0; ++o) {
        if (o->key == key && o->type == floatType && o->size == sizeof(float) && o->value != nullptr)
            return *static_cast<const float*>(o->value);
    }
    return 0.0f;
}

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*, LV2UI_Write_Function write,
                         LV2UI_Controller controller, LV2UI_Widget* widget, const LV2_Feature* const* features) {
    if (pluginUri == nullptr || std::strcmp(pluginUri, kPluginUri) != 0) return nullptr;
    Lv2Panel::Host host;
    host.write = write;
    host.controller = controller;
    void* instance = nullptr;
    const LV2_Extension_Data_Feature* data = nullptr;
    const LV2_Options_Option* options = nullptr;
    for (const LV2_Feature* const* f = features; f != nullptr && *f != nullptr; ++f) {
        const char* uri = (*f)->URI;
        if (std::strcmp(uri, LV2_UI__parent) == 0) host.parent = (*f)->data;
        else if (std::strcmp(uri, LV2_UI__resize) == 0) host.resize = static_cast<const LV2UI_Resize*>((*f)->data);
        else if (std::strcmp(uri, LV2_UI__touch) == 0) host.touch = static_cast<const LV2UI_Touch*>((*f)->data);
        else if (std::strcmp(uri, LV2_URID__map) == 0) host.map = static_cast<LV2_URID_Map*>((*f)->data);
        else if (std::strcmp(uri, LV2_INSTANCE_ACCESS_URI) == 0) instance = (*f)->data;
        else if (std::strcmp(uri, LV2_OPTIONS__options) == 0)
            options = static_cast<const LV2_Options_Option*>((*f)->data);
        else if (std::strcmp(uri, LV2_DATA_ACCESS_URI) == 0)
            data = static_cast<const LV2_Extension_Data_Feature*>((*f)->data);
    }
    host.scaleFactor = scaleFactorOf(options, host.map);
    // Both modules come from one tree: the instance's extension answers with the
    // AccessExtension of lv2_access.h.
    if (instance != nullptr && data != nullptr && data->data_access != nullptr) {
        const auto* access = static_cast<const AccessExtension*>(data->data_access(kAccessUri));
        if (access != nullptr && access->access != nullptr) host.access = access->access(instance);
    }
    Lv2Panel* panel = Lv2Panel::create(host);
    if (panel == nullptr) return nullptr;
    const std::uintptr_t window = panel->widget();
    // Given a parent window, the panel must have its own window inside it.
    if (host.parent != nullptr && window == 0) {
        delete panel;
        return nullptr;
    }
    if (widget != nullptr) *widget = reinterpret_cast<LV2UI_Widget>(window);
    return panel;
}

void cleanup(LV2UI_Handle h) { delete self(h); }

void portEvent(LV2UI_Handle h, std::uint32_t index, std::uint32_t size, std::uint32_t format, const void* buffer) {
    self(h)->portEvent(index, size, format, buffer);
}

int idle(LV2UI_Handle h) { return self(h)->idle(); }

const LV2UI_Idle_Interface kIdle{idle};

// The host's options after instantiation: a new ui:scaleFactor.
std::uint32_t getOptions(LV2_Handle, LV2_Options_Option*) { return LV2_OPTIONS_ERR_UNKNOWN; }
std::uint32_t setOptions(LV2_Handle h, const LV2_Options_Option* options) {
    Lv2Panel* panel = static_cast<Lv2Panel*>(h);
    const float scale = scaleFactorOf(options, panel->uridMap());
    if (scale > 0.0f) panel->setHostScale(scale);
    return LV2_OPTIONS_SUCCESS;
}

const LV2_Options_Interface kOptions{getOptions, setOptions};

const void* extensionData(const char* uri) {
    if (std::strcmp(uri, LV2_UI__idleInterface) == 0) return &kIdle;
    if (std::strcmp(uri, LV2_OPTIONS__interface) == 0) return &kOptions;
    return nullptr;
}

const LV2UI_Descriptor kDescriptor{kUiUri, instantiate, cleanup, portEvent, extensionData};

}  // namespace

}  // namespace grainwheel::lv2

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(std::uint32_t index) {
    return index == 0 ? &grainwheel::lv2::kDescriptor : nullptr;
}
