#include "engine/grain_effect.h"

#include <cstring>
#include <new>

#include "editor/ad_editor.h"
#include "engine/text_format.h"
#include "host/entry.h"
#include "platform/dialogs.h"

namespace grainwheel {

namespace {

struct CanDoAnswer {
    const char* text;
    VstInt32 answer;
};

constexpr CanDoAnswer kCanDo[] = {
    {"sendVstEvents", -1},      {"sendVstMidiEvent", -1},   {"sendVstTimeInfo", -1},
    {"receiveVstEvents", -1},   {"receiveVstMidiEvent", -1}, {"receiveVstTimeInfo", 1},
    {"offline", 0},             {"plugAsChannelInsert", 1}, {"plugAsSend", 1},
    {"mixDryWet", -1},          {"noRealTime", -1},         {"multipass", 0},
    {"metapass", 0},            {"1in1out", -1},            {"1in2out", 1},
    {"2in1out", -1},            {"2in2out", 1},             {"2in4out", -1},
    {"4in2out", -1},            {"4in4out", -1},            {"4in8out", -1},
    {"8in4out", -1},            {"8in8out", -1},            {"midiProgramNames", 0},
    {"conformsToWindowRules", 0}, {"bypass", 1},
};

}  // namespace

GrainEffect::GrainEffect(audioMasterCallback hostCallback)
    : AudioEffectX(hostCallback, kNumPrograms, kNumHostParameters) {
    setUniqueID(vstFourCC('G', 'W', '0', '9'));
    programsAreChunks(true);
    setNumInputs(2);
    setNumOutputs(2);
    hasVu(false);
    canProcessReplacing(true);
    canMono(true);

    // Engine start values are the member initialisers; the live values start at 0 and
    // the per-unit values at their neutral forms until program 0 is applied.
    for (int u = 0; u < kNumUnits; ++u) {
        params.unitTime[u] = 0.8f;
        params.unitSpeed[u] = 1.0f;
        params.unitPitch[u] = 1.0f;
        params.unitCutoff[u] = 1.0f;
    }
    seq.sampleRate = getSampleRate();

    programs = new (std::nothrow) ProgramRecord[kNumPrograms];
    programClipboard = new (std::nothrow) ProgramRecord;
    if (programs)
        for (int i = 0; i < kNumPrograms; ++i) programs[i].initialise();
    if (programClipboard) programClipboard->initialise();
    if (programs && programClipboard) setProgram(0);

    // The editor registers itself through setEditor().
    if (new (std::nothrow) ADEditor(this) == nullptr) effectOutOfMemory() = true;

    resume();
}

GrainEffect::~GrainEffect() {
    // An open editor window goes first, while everything it shows still exists.
    if (editor != nullptr) editor->close();
    for (AudioBuffer& b : audioBuffers) {
        delete[] b.left.exchange(nullptr);
        delete[] b.right.exchange(nullptr);
        b.length = 0;
    }
    currentLeft = nullptr;
    currentRight = nullptr;
    delete[] programs;
    programs = nullptr;
    delete programClipboard;
    programClipboard = nullptr;
    // The base destructor deletes the editor.
}

void GrainEffect::notifyEditor(VstInt32 index, float value) {
    if (editor != nullptr) static_cast<AEffGUIEditor*>(editor)->setParameter(index, value);
}

void GrainEffect::postEditorUpdate() {
    if (editor != nullptr) editor->postUpdate();
}

// --- host dialogue ----------------------------------------------------------------------

bool GrainEffect::getEffectName(char* name) {
    std::memcpy(name, "grainwheel", 11);
    return true;
}

bool GrainEffect::getVendorString(char* text) {
    std::memcpy(text, "orbelune audio", 15);
    return true;
}

bool GrainEffect::getProductString(char* text) {
    std::memcpy(text, "grainwheel vst", 15);
    return true;
}

VstInt32 GrainEffect::canDo(const char* text) {
    if (text == nullptr) return 0;
    for (const CanDoAnswer& c : kCanDo)
        if (std::strcmp(text, c.text) == 0) return c.answer;
    return 0;
}

void GrainEffect::suspend() { seq.halted = 1; }

void GrainEffect::resume() {
    seq.sampleRate = getSampleRate();
    loadRecentBankList();
    setParameter(kBuffersChanged, 1.0f);
    seq.halted = 0;
}

// close() is with the file operations (persistence/effect_files.cpp).

void GrainEffect::takeTimeInfo(const VstTimeInfo* info) {
    if (info == nullptr) return;
    const VstInt32 flags = info->flags;
    hostTime.ppqValid = flags & kVstPpqPosValid;
    hostTime.ppqPosition = info->ppqPos;
    hostTime.barsValid = flags & kVstBarsValid;
    hostTime.barStart = info->barStartPos;
    hostTime.tempoValid = flags & kVstTempoValid;
    if (info->tempo > 0.0 && info->tempo < 1.0e6) hostTime.tempo = info->tempo;
    hostTime.timeSigValid = flags & kVstTimeSigValid;
    hostTime.timeSigNumerator = static_cast<double>(info->timeSigNumerator);
    hostTime.timeSigDenominator = static_cast<double>(info->timeSigDenominator);
    hostTime.playing = flags & kVstTransportPlaying;
}

}  // namespace grainwheel

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) {
    return new (std::nothrow) grainwheel::GrainEffect(audioMaster);
}
