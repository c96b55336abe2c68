// The VST 3 adapter's controller side: the parameters as the parameter table describes
// them, their texts both ways (the engine's own display texts), and the component handler.
//
// The parameters' flags: automatable as the table says (the VST 2 canParameterBeAutomated),
// and the switches (trigmode, grid, monitor, rec free, rec sync) too: VST 3 hosts hide a
// parameter that cannot be automated altogether (Ardour's generic controls and scripts
// show none), where VST 2 and LV2 hosts show every one; the commands the table keeps from
// automation (kill buffer, copy, paste) stay so. The choices (buffer, unit length,
// program) are lists of their steps, the switches and the commands steps of 0 and 1;
// "program" is the program-change parameter of the program list; the bypass is
// automatable.

#include <cstring>

#include "engine/parameter_table.h"
#include "plugin/common/parameter_text.h"
#include "plugin/vst3/vst3_effect.h"

namespace grainwheel::vst3 {

using Flags = Steinberg_Vst_ParameterInfo_ParameterFlags;

tresult Vst3Effect::describeParameter(std::int32_t index, Steinberg_Vst_ParameterInfo* info) {
    if (info == nullptr || index < 0 || index >= kParameterCount) return Steinberg_kInvalidArgument;
    std::memset(info, 0, sizeof *info);
    info->id = static_cast<Steinberg_Vst_ParamID>(index);
    info->unitId = 0;  // the root unit
    if (index == kBypassId) {
        toUtf16("Bypass", info->title, 128);
        toUtf16("Bypass", info->shortTitle, 128);
        info->stepCount = 1;
        info->flags = Flags::Steinberg_Vst_ParameterInfo_ParameterFlags_kCanAutomate |
                      Flags::Steinberg_Vst_ParameterInfo_ParameterFlags_kIsBypass;
        return Steinberg_kResultOk;
    }
    const ParameterInfo& p = parameterInfo(index);
    toUtf16(p.name, info->title, 128);
    toUtf16(p.name, info->shortTitle, 128);
    toUtf16(p.label, info->units, 128);
    info->stepCount = stepCountOf(p);
    info->defaultNormalizedValue = p.init;
    if (automatable(p)) info->flags |= Flags::Steinberg_Vst_ParameterInfo_ParameterFlags_kCanAutomate;
    if (p.kind == ParameterKind::Choice) info->flags |= Flags::Steinberg_Vst_ParameterInfo_ParameterFlags_kIsList;
    if (index == kProgram) info->flags |= Flags::Steinberg_Vst_ParameterInfo_ParameterFlags_kIsProgramChange;
    return Steinberg_kResultOk;
}

tresult Vst3Effect::stringByValue(Steinberg_Vst_ParamID id, double value, Steinberg_char16* out) {
    if (out == nullptr || id >= static_cast<Steinberg_Vst_ParamID>(kParameterCount)) return Steinberg_kInvalidArgument;
    const float v = !(value > 0.0) ? 0.0f : value >= 1.0 ? 1.0f : static_cast<float>(value);
    char text[64] = {};
    if (id == static_cast<Steinberg_Vst_ParamID>(kBypassId)) std::strcpy(text, v >= 0.5f ? "on" : "off");
    else engine_.parameters().displayFor(static_cast<std::int32_t>(id), v, text);
    toUtf16(text, out, 128);
    return Steinberg_kResultOk;
}

// The texts both ways are the adapters' shared ones (plugin/common/parameter_text.h).
tresult Vst3Effect::valueByString(Steinberg_Vst_ParamID id, const Steinberg_char16* string, double* value) {
    if (string == nullptr || value == nullptr || id >= static_cast<Steinberg_Vst_ParamID>(kParameterCount))
        return Steinberg_kInvalidArgument;
    char typed[128];
    fromUtf16(string, typed, sizeof typed);
    const int steps = id == static_cast<Steinberg_Vst_ParamID>(kBypassId) ? 1 : stepCountOf(parameterInfo(static_cast<int>(id)));
    struct Context {
        Vst3Effect* fx;
        Steinberg_Vst_ParamID id;
    } context{this, id};
    auto textOf = [](void* c, double v, char* out) {
        const Context& x = *static_cast<Context*>(c);
        Steinberg_char16 wide[128];
        x.fx->stringByValue(x.id, v, wide);
        fromUtf16(wide, out, 64);
    };
    return valueOfText(typed, steps, textOf, &context, *value) ? Steinberg_kResultOk : Steinberg_kResultFalse;
}

double Vst3Effect::normalized(Steinberg_Vst_ParamID id) {
    if (id == static_cast<Steinberg_Vst_ParamID>(kBypassId)) return bypass_.load();
    if (id >= static_cast<Steinberg_Vst_ParamID>(kNumHostParameters)) return 0.0;
    return engine_.getParameter(static_cast<std::int32_t>(id));
}

void Vst3Effect::setHandler(Steinberg_Vst_IComponentHandler* handler) {
    if (handler == handler_) return;
    if (handler != nullptr) handler->lpVtbl->addRef(handler);
    if (handler_ != nullptr) handler_->lpVtbl->release(handler_);
    handler_ = handler;
}

}  // namespace grainwheel::vst3
