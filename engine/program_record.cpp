#include "engine/program_record.h"

#include <cstring>

namespace grainwheel {

void ProgramRecord::initialise() {
    std::memset(this, 0, sizeof(ProgramRecord));
    constexpr float kInitGlobals[kNumGlobalSettings] = {0, 0, 1, 0, 0, 0, 3, 10, 1, 5};
    for (int i = 0; i < kNumGlobalSettings; ++i) globalSettings[i] = kInitGlobals[i];
    for (float& r : reserved1) r = 4444.0f;
    mainLevl = 0.5f;
    density = 1.0f;
    unitDura = 0.43089432f;
    voiceCount = 10.0f;
    for (int u = 0; u < kNumUnits; ++u) {
        time[u] = 0.8f;
        speed[u] = 1.0f;
        pitch[u] = 0.5f;
        freq[u] = 1.0f;
    }
    bufferSaved = 1;
    for (float& r : reserved2) r = 5555.0f;
    std::memcpy(name, "Init", 5);
}

}  // namespace grainwheel
