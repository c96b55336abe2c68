// Program records: program changes, names, the clipboard and the host chunk.

#include <atomic>
#include <cstddef>
#include <cstring>
#include <iterator>

#include "engine/conversions.h"
#include "engine/grain_engine.h"
#include "engine/parameter_table.h"
#include "engine/text_format.h"

namespace grainwheel {

namespace {

// Record fields that the audio thread writes while other threads copy the records: each
// read and written as one whole word.
float loadWhole(const float& field) noexcept {
    return std::atomic_ref<float>(const_cast<float&>(field)).load(std::memory_order_relaxed);
}
void storeWhole(float& field, float value) noexcept {
    std::atomic_ref<float>(field).store(value, std::memory_order_relaxed);
}

// The fields of a record that the audio thread writes (see storeRecord), in layout order.
struct WholeField {
    std::size_t offset;
    std::size_t size;  // 1 (a byte) or 4 (a float)
};
constexpr WholeField kWholeFields[] = {
    {offsetof(ProgramRecord, bufferPath), 1},    // emptied when recording starts
    {offsetof(ProgramRecord, recFree), 4},
    {offsetof(ProgramRecord, recSync), 4},
    {offsetof(ProgramRecord, bufferNumber), 4},
    {offsetof(ProgramRecord, bufferSaved), 1},   // cleared when recording starts
    // The buffer's rate, set when recording takes the spare (storeRecord then writes the
    // buffer's own over what the record brought).
    {offsetof(ProgramRecord, bufferRate) + 0, 1},
    {offsetof(ProgramRecord, bufferRate) + 1, 1},
    {offsetof(ProgramRecord, bufferRate) + 2, 1},
};
constexpr bool inLayoutOrder() {
    for (std::size_t i = 1; i < std::size(kWholeFields); ++i)
        if (kWholeFields[i - 1].offset + kWholeFields[i - 1].size > kWholeFields[i].offset) return false;
    return true;
}
static_assert(inLayoutOrder());

// The buffer a program plays; a record from a file may hold anything. The audio thread
// writes the field whole (a selection at a block boundary, the morph): read it whole.
int bufferNumberOf(ProgramRecord& r, int fallback) {
    int n = fallback;
    truncInRange(std::atomic_ref<float>(r.bufferNumber).load(std::memory_order_relaxed), 0, kNumBuffers - 1, n);
    return n;
}

// What copy and paste carry: the units, the levels and trigmode; not the name, recFree,
// the buffer number or the fields used only in fixed records.
void copyProgramFields(const ProgramRecord& from, ProgramRecord& to) {
    std::memcpy(to.time, from.time, sizeof to.time);
    std::memcpy(to.speed, from.speed, sizeof to.speed);
    std::memcpy(to.pitch, from.pitch, sizeof to.pitch);
    std::memcpy(to.freq, from.freq, sizeof to.freq);
    to.trigmode = from.trigmode;
    storeWhole(to.recSync, loadWhole(from.recSync));
    to.voiceCount = from.voiceCount;
    to.mainLevl = from.mainLevl;
    to.density = from.density;
    to.unitDura = from.unitDura;
    to.envSust = from.envSust;
    to.reso = from.reso;
}

}  // namespace

// Applies a program's stored values through setParameter, in the order both program
// changes use; the grid and monitor switches of record 0 only on a full change.
void GrainEngine::applyProgramValues(const ProgramRecord& p, bool withSwitches) {
    setParameter(kDensity, p.density);
    setParameter(kUnitDura, p.unitDura);
    setParameter(kEnvSust, p.envSust);
    setParameter(kMainLevl, p.mainLevl);
    setParameter(kReso, p.reso);
    setParameter(kTrigmode, p.trigmode);
    if (withSwitches) {
        setParameter(kGrid, programs[0].grid);
        setParameter(kMonitor, programs[0].monitor);
    }
    for (int u = 0; u < kNumUnits; ++u) {
        setParameter(kTime + u, p.time[u]);
        setParameter(kSpeed + u, p.speed[u]);
        setParameter(kPitch + u, p.pitch[u]);
        setParameter(kFreq + u, p.freq[u]);
    }
}

void GrainEngine::setProgram(std::int32_t index) {
    if (index < 0 || index >= kNumPrograms || programs == nullptr) return;
    curProgram = index;
    programs[0].currentProgram = index;
    params.live[kProgram] = stepValue(index);

    const ProgramRecord& globals = programs[0];
    for (int i = 0; i < kNumGlobalSettings; ++i) setParameter(kSettingOfSlot[i], globals.globalSettings[i]);

    currentBuffer = bufferNumberOf(programs[index], currentBuffer);
    if (hasEditor()) {
        notifyEditor(kVoiceCount, 1.0f);
        notifyEditor(kProgram, params.live[kProgram]);
    }
    applyProgramValues(programs[index], true);
    for (int k = 0; k < kNumPrograms; ++k) setParameter(kBufPos + k, programs[k].bufferStart);
    postEditorUpdate();
}

void GrainEngine::switchProgram(int index) {
    if (index < 0 || index >= kNumPrograms) return;
    curProgram = index;
    programs[0].currentProgram = index;
    params.live[kProgram] = stepValue(index);
    applyProgramValues(programs[index], false);
    currentBuffer = bufferNumberOf(programs[index], currentBuffer);
    postEditorUpdate();
}

void GrainEngine::setProgramName(const char* text) {
    char* name = current().name;
    std::size_t n = 0;
    while (n < kProgramNameSize - 1 && text[n] != 0) {
        name[n] = text[n];
        ++n;
    }
    name[n] = 0;
}

void GrainEngine::getProgramName(char* text) {
    const char* name = current().name;
    if (std::strcmp(name, "Init") == 0) {
        std::memcpy(text, "Init ", 5);
        formatInteger(text + 5, static_cast<int>(curProgram) + 1, 0, false);
        return;
    }
    std::size_t n = 0;
    while (n < kProgramNameSize - 1 && name[n] != 0) {  // a record from a file may lack a terminator
        text[n] = name[n];
        ++n;
    }
    text[n] = 0;
}

bool GrainEngine::getProgramNameIndexed(std::int32_t, std::int32_t index, char* text) {
    if (index < 0 || index >= kNumPrograms) return false;
    const char* name = programs[index].name;
    std::size_t n = 0;
    while (n < kProgramNameSize - 1 && name[n] != 0) {
        text[n] = name[n];
        ++n;
    }
    text[n] = 0;
    return true;
}

void GrainEngine::copyToClipboard() { copyProgramFields(current(), *programClipboard); }

void GrainEngine::pasteFromClipboard() {
    // The clipboard may hold whatever a host stored in the record it was copied from.
    ProgramRecord from = *programClipboard;
    sanitiseRecord(from);
    copyProgramFields(from, current());
    setProgram(curProgram);
}

std::int32_t GrainEngine::getChunk(void** data, bool isPreset) {
    if (data == nullptr || programs == nullptr) return 0;
    if (isPreset) {
        *data = &programs[curProgram];
        return static_cast<std::int32_t>(sizeof(ProgramRecord));
    }
    *data = programs;
    return static_cast<std::int32_t>(kBankChunkSize);
}

void GrainEngine::storeRecord(int k, const ProgramRecord& from) {
    if (k < 0 || k >= kNumPrograms || programs == nullptr) return;
    auto* to = reinterpret_cast<unsigned char*>(&programs[k]);
    const auto* source = reinterpret_cast<const unsigned char*>(&from);
    std::size_t at = 0;
    for (const WholeField& field : kWholeFields) {
        std::memcpy(to + at, source + at, field.offset - at);
        if (field.size == 1) {
            std::atomic_ref<unsigned char>(to[field.offset]).store(source[field.offset], std::memory_order_relaxed);
        } else {
            float value;
            std::memcpy(&value, source + field.offset, sizeof value);
            storeWhole(*reinterpret_cast<float*>(to + field.offset), value);
        }
        at = field.offset + field.size;
    }
    std::memcpy(to + at, source + at, sizeof(ProgramRecord) - at);
    // Record k's rate tells buffer k's, whatever the record came from.
    storeRecordRate(k, audioBuffers[k].rate.load(std::memory_order_acquire));
}

}  // namespace grainwheel
