#include "effect_fixture.h"

#include <cstring>

namespace enginetest {

ScriptedHost& scriptedHost() {
    static ScriptedHost host;
    return host;
}

VstIntPtr VSTCALLBACK hostCallback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float opt) {
    ScriptedHost& host = scriptedHost();
    switch (opcode) {
    case audioMasterVersion: return 2300;
    case audioMasterAutomate: host.automations.push_back({index, opt}); return 0;
    case audioMasterGetTime:
        ++host.timeQueries;
        return host.answerTime ? reinterpret_cast<VstIntPtr>(&host.time) : 0;
    default: return 0;
    }
}

void EffectTest::SetUp() {
    scriptedHost() = ScriptedHost{};
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

void ScriptedHost::playingAt(double ppq, double barStart, double tempo, int num, int den) {
    answerTime = true;
    time = VstTimeInfo{};
    time.ppqPos = ppq;
    time.barStartPos = barStart;
    time.tempo = tempo;
    time.timeSigNumerator = num;
    time.timeSigDenominator = den;
    time.flags = kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid | kVstTransportPlaying;
}

void EffectTest::hostAt(double ppq, double barStart, double tempo, int num, int den) {
    ScriptedHost& host = scriptedHost();
    host.playingAt(ppq, barStart, tempo, num, den);
    host.time.sampleRate = 44100.0;
}

void EffectTest::recordFrames(int n, float left, float right) {
    for (int i = 0; i < n; ++i) fx->engine().recordOneFrame(currentFrames(), left, right);
}

}  // namespace enginetest
