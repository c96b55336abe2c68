#include "engine/conversions.h"

namespace grainwheel {

bool convertTime(int mode, float value, float& derived) noexcept {
    switch (mode) {
    case 0:
    case 2: {
        int k = 0;
        if (!truncInRange(value * 10.0f, 0, 10, k)) return false;
        derived = kFixedTimes[k];
        return true;
    }
    case 1:
    case 3:
        derived = value < 1.0f / 32 ? 1.0f / 32 : value;
        return true;
    default:
        return false;
    }
}

bool convertSpeed(int mode, float value, float& derived) noexcept {
    switch (mode) {
    case 1: derived = 2.0f * value; break;
    case 2: derived = (value - 0.5f) * 4.0f; break;
    default: derived = value; break;
    }
    return true;
}

bool convertPitch(int mode, float value, float& derived) noexcept {
    switch (mode) {
    case 0: derived = 2.0f * value; return true;
    case 1: derived = value == 0.5f ? 1.0f : std::pow(2.0f, (value - 0.5f) * 2.0f); return true;
    case 2:
        derived = value == 0.5f ? 1.0f : std::pow(2.0f, (value - 0.5f) * 2.0f / 6.0f);
        return true;
    default: return false;
    }
}

bool convertCutoff(int mode, float value, float& derived) noexcept {
    switch (mode) {
    case 1: derived = value / 2.0f; break;
    case 2: derived = value / 4.0f; break;
    default: derived = value; break;
    }
    return true;
}

float convertDensity(float value) noexcept { return value < 0.05f ? 0.1f : 2.0f * value; }

}  // namespace grainwheel
