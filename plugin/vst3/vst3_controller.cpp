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

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "engine/parameter_table.h"
#include "plugin/vst3/vst3_effect.h"

namespace grainwheel::vst3 {

namespace {

using Flags = Steinberg_Vst_ParameterInfo_ParameterFlags;

int stepCountOf(const ParameterInfo& p) {
    switch (p.kind) {
    case ParameterKind::Choice: return p.steps;
    case ParameterKind::Switch:
    case ParameterKind::Command: return 1;
    case ParameterKind::Continuous: break;
    }
    return 0;
}

}  // namespace

bool automatable(const ParameterInfo& p) { return p.automatable || p.kind == ParameterKind::Switch; }

namespace {

// The first number in a text ("-12 dB", "+1.5", "37%"); false when there is none. "-oo"
// is minus infinity. Independent of the C library's locale.
bool numberIn(const char* text, double& out) {
    const char* p = text;
    while (*p == ' ') ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (p[0] == 'o' && p[1] == 'o') {
        out = negative ? -HUGE_VAL : HUGE_VAL;
        return true;
    }
    double v = 0.0;
    bool digits = false;
    for (; *p >= '0' && *p <= '9'; ++p, digits = true) v = v * 10.0 + (*p - '0');
    if (*p == '.') {
        double scale = 0.1;
        for (++p; *p >= '0' && *p <= '9'; ++p, digits = true, scale /= 10.0) v += (*p - '0') * scale;
    }
    if (!digits) return false;
    out = negative ? -v : v;
    return true;
}

// Equal but for spaces around them (the engine right-aligns numbers).
bool sameText(const char* a, const char* b) {
    while (*a == ' ') ++a;
    while (*b == ' ') ++b;
    std::size_t n = std::strlen(b);
    while (n > 0 && b[n - 1] == ' ') --n;
    if (n == 0 || std::strncmp(a, b, n) != 0) return false;
    for (a += n; *a == ' '; ++a) {}
    return *a == 0;
}

}  // namespace

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

// A step's text gives its value; a continuous parameter's text gives the first value
// showing it, or else the value showing the nearest number.
tresult Vst3Effect::valueByString(Steinberg_Vst_ParamID id, const Steinberg_char16* string, double* value) {
    if (string == nullptr || value == nullptr || id >= static_cast<Steinberg_Vst_ParamID>(kParameterCount))
        return Steinberg_kInvalidArgument;
    char typed[128];
    fromUtf16(string, typed, sizeof typed);
    const int steps = id == static_cast<Steinberg_Vst_ParamID>(kBypassId) ? 1 : stepCountOf(parameterInfo(static_cast<int>(id)));
    char text[128];
    Steinberg_char16 wide[128];
    auto textOf = [&](double v) {
        stringByValue(id, v, wide);
        fromUtf16(wide, text, sizeof text);
    };
    if (steps > 0) {
        for (int k = 0; k <= steps; ++k) {
            textOf(static_cast<double>(k) / steps);
            if (text[0] != 0 && sameText(typed, text)) {
                *value = static_cast<double>(k) / steps;
                return Steinberg_kResultOk;
            }
        }
        return Steinberg_kResultFalse;
    }
    double wanted = 0.0;
    if (!numberIn(typed, wanted)) return Steinberg_kResultFalse;
    constexpr int kGrid = 2000;
    double best = -1.0, bestDistance = HUGE_VAL;
    for (int k = 0; k <= kGrid; ++k) {
        const double v = static_cast<double>(k) / kGrid;
        textOf(v);
        if (sameText(typed, text)) {
            *value = v;
            return Steinberg_kResultOk;
        }
        double shown = 0.0;
        if (!numberIn(text, shown)) continue;
        const double distance = shown == wanted ? 0.0 : std::fabs(shown - wanted);
        if (distance < bestDistance) best = v, bestDistance = distance;
    }
    if (best < 0.0) return Steinberg_kResultFalse;
    *value = best;
    return Steinberg_kResultOk;
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
