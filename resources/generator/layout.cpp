#include "layout.h"

namespace artwork::layout {

std::vector<Placed> allControls() {
    std::vector<Placed> v = {
        {"statusLabel", kStatusLabel}, {"mainScope", kMainScope}, {"smallScope", kSmallScope},
        {"splash", kSplashArea},       {"vuMeter", kVuMeter},     {"density", kDensity},
        {"sustain", kSustain},         {"resonance", kResonance}, {"unitLength", kUnitLength},
        {"level", kLevelKnob},         {"program", kProgramSwitch}, {"next", kNext},
        {"prev", kPrev},               {"copy", kCopy},           {"paste", kPaste},
        {"options", kOptionsMenu},     {"grid", kGrid},           {"file", kFileMenu},
        {"saveBank", kSaveBank},       {"trigMode", kTrigMode},   {"monitor", kMonitor},
        {"recSync", kRecSync},         {"recFree", kRecFree},     {"loadWave", kLoadWave},
        {"saveWave", kSaveWave},       {"killBuffer", kKillBuffer},
    };
    for (int i = 0; i < 16; ++i) {
        v.push_back({"bufferScope", bufferScope(i)});
        v.push_back({"bufferSlider", bufferSlider(i)});
        for (int c = 0; c < 4; ++c) v.push_back({"fader", columnFader(c, i)});
    }
    for (int k = 0; k < 5; ++k) {
        v.push_back({"pitchPreset", pitchPreset(k)});
        v.push_back({"speedPreset", speedPreset(k)});
    }
    return v;
}

} // namespace artwork::layout
