// The VST 2 adapter: construction, the host dialogue, and the engine's and file
// operations' way back to the host and the editor.

#include "plugin/grain_effect.h"

#include <chrono>
#include <cstring>
#include <new>

#include "editor/ad_editor.h"
#include "host/entry.h"
#include "platform/dialogs.h"
#include "plugin/vst2_editor.h"

namespace grainwheel {

namespace {

struct CanDoAnswer {
    const char* text;
    VstInt32 answer;
};

// "bypass" is answered yes while effSetBypass answers 0 (setBypass returns false): on
// purpose. A host that asks first then knows the plug-in has no bypass of its own and
// bypasses it by itself; do not change either answer to make them agree.
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

// The engine's transport flags are the interface's own bit values.
static_assert(EngineTransport::kPlaying == kVstTransportPlaying);
static_assert(EngineTransport::kPpqValid == kVstPpqPosValid);
static_assert(EngineTransport::kTempoValid == kVstTempoValid);
static_assert(EngineTransport::kBarsValid == kVstBarsValid);
static_assert(EngineTransport::kTimeSigValid == kVstTimeSigValid);

}  // namespace

GrainEffect::GrainEffect(audioMasterCallback hostCallback)
    : AudioEffectX(hostCallback, kNumPrograms, kNumHostParameters),
      engine_(this, getSampleRate()),
      files_(engine_, this) {
    setUniqueID(vstFourCC('G', 'W', '0', '9'));
    programsAreChunks(true);
    setNumInputs(2);
    setNumOutputs(2);
    hasVu(false);
    canProcessReplacing(true);
    canMono(true);
    if (!engine_.usable()) {
        // Nothing runs without its records: the entry point deletes the effect and
        // answers the host with null.
        effectOutOfMemory() = true;
        return;
    }

    // The editor registers itself through setEditor(); it owns the panel.
    std::unique_ptr<Panel> panel(new (std::nothrow) ADEditor(makeEditorPort()));
    if (!panel || new (std::nothrow) Vst2Editor(this, std::move(panel)) == nullptr) effectOutOfMemory() = true;
    engine_.setListener(this);

    resume();
}

GrainEffect::~GrainEffect() {
    stopWorker();
    // An open editor window goes first, while everything it shows still exists.
    if (editor != nullptr) editor->close();
    // The base destructor deletes the editor; it must hear no more notices.
    engine_.setListener(nullptr);
}

VstIntPtr GrainEffect::dispatcher(VstInt32 opCode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    // The editor's idle also runs what the audio thread handed off.
    if (opCode == effEditIdle) engine_.runDeferred();
    // The worker runs while the host has the effect switched on (loading and opening
    // start no thread).
    if (opCode == effMainsChanged && value != 0) startWorker();
    const VstIntPtr answer = AudioEffectX::dispatcher(opCode, index, value, ptr, opt);
    if (opCode == effEditOpen && editor != nullptr) editorOpen_ = true;
    if (opCode == effEditClose) editorOpen_ = false;
    if (opCode == effMainsChanged && value == 0) stopWorker();
    return answer;
}

void GrainEffect::startWorker() {
    if (worker_.joinable()) return;
    stopping_.store(false, std::memory_order_relaxed);
    worker_ = std::thread([this] {
        while (!stopping_.load(std::memory_order_acquire)) {
            if (!runsDeferredWork() && engine_.hasDeferred()) engine_.runDeferred();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
}

void GrainEffect::stopWorker() {
    stopping_.store(true, std::memory_order_release);
    if (worker_.joinable()) worker_.join();
}

void GrainEffect::resume() {
    files_.loadRecentBankList();
    engine_.resume(getSampleRate());
}

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

bool GrainEffect::transport(std::int32_t wanted, EngineTransport& out) {
    const VstTimeInfo* info = getTimeInfo(wanted);
    if (info == nullptr) return false;
    out.flags = info->flags;
    out.ppqPosition = info->ppqPos;
    out.barStart = info->barStartPos;
    out.tempo = info->tempo;
    out.timeSigNumerator = info->timeSigNumerator;
    out.timeSigDenominator = info->timeSigDenominator;
    return true;
}

void GrainEffect::automated(int index, float value) { callHost(audioMasterAutomate, index, 0, nullptr, value); }

bool GrainEffect::askYesNo(const char* title, const char* text) { return platform::dialogs().askYesNo(title, text); }

void GrainEffect::engineNotice(int index, float value) {
    if (editor != nullptr) static_cast<AEffGUIEditor*>(editor)->setParameter(index, value);
}

void GrainEffect::engineRefresh() {
    if (editor != nullptr) editor->postUpdate();
}

bool GrainEffect::runsDeferredWork() const { return editorOpen_.load(std::memory_order_relaxed); }

const char* GrainEffect::hostFolder() { return static_cast<const char*>(getDirectory()); }

}  // namespace grainwheel

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) {
    return new (std::nothrow) grainwheel::GrainEffect(audioMaster);
}
