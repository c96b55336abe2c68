#include "tests/support/effect_fixture.h"

#include <cstring>

#include "engine/engine_inspection.h"

namespace enginetest {

void EffectTest::SetUp() {
    scriptedHost().reset();
    scoped = std::make_unique<platform::ScopedDialogs>(dialogs);
    fx = std::make_unique<grainwheel::GrainEffect>(&hostCallback);
}

void EffectTest::TearDown() {
    fx.reset();
    scoped.reset();
}

std::string EffectTest::display(int index) {
    char text[64];
    std::memset(text, '#', sizeof text);
    text[63] = 0;
    fx->getParameterDisplay(index, text);
    return text;
}

void EffectTest::hostAt(double ppq, double barStart, double tempo, int num, int den) {
    ScriptedHost& host = scriptedHost();
    host.playingAt(ppq, barStart, tempo, num, den);
    host.time.sampleRate = 44100.0;
}

void EffectTest::recordFrames(int n, float left, float right) {
    for (int i = 0; i < n; ++i) grainwheel::EngineInspection::recordFrame(fx->engine(), currentFrames(), left, right);
}

}  // namespace enginetest
