// The host parameters' texts both ways (parameter_text.h).

#include "plugin/common/parameter_text.h"

#include <cmath>
#include <cstring>

namespace grainwheel {

int stepCountOf(const ParameterInfo& p) {
    switch (p.kind) {
    case ParameterKind::Choice: return p.steps;
    case ParameterKind::Switch:
    case ParameterKind::Command: return 1;
    case ParameterKind::Continuous: break;
    }
    return 0;
}

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

bool valueOfText(const char* typed, int steps, ValueText textOf, void* context, double& value) {
    char text[64];
    if (steps > 0) {
        for (int k = 0; k <= steps; ++k) {
            text[0] = 0;
            textOf(context, static_cast<double>(k) / steps, text);
            if (text[0] != 0 && sameText(typed, text)) {
                value = static_cast<double>(k) / steps;
                return true;
            }
        }
        return false;
    }
    double wanted = 0.0;
    if (!numberIn(typed, wanted)) return false;
    constexpr int kGrid = 2000;
    double best = -1.0, bestDistance = HUGE_VAL;
    for (int k = 0; k <= kGrid; ++k) {
        const double v = static_cast<double>(k) / kGrid;
        text[0] = 0;
        textOf(context, v, text);
        if (sameText(typed, text)) {
            value = v;
            return true;
        }
        double shown = 0.0;
        if (!numberIn(text, shown)) continue;
        const double distance = shown == wanted ? 0.0 : std::fabs(shown - wanted);
        if (distance < bestDistance) best = v, bestDistance = distance;
    }
    if (best < 0.0) return false;
    value = best;
    return true;
}

}  // namespace grainwheel
