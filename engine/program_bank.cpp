// The program records: names, the clipboard, the chunk and the fields written whole.

#include "engine/program_bank.h"

#include <atomic>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <new>

#include "engine/audio_buffer.h"
#include "engine/conversions.h"
#include "engine/text_format.h"

namespace grainwheel {

namespace {

float loadWhole(const float& field) noexcept {
    return std::atomic_ref<float>(const_cast<float&>(field)).load(std::memory_order_relaxed);
}

// The fields of a record that the audio thread writes (see store), in layout order.
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
    // The buffer's rate, set when recording takes the spare (store then writes the
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

void copyProgramFields(const ProgramRecord& from, ProgramRecord& to) {
    std::memcpy(to.time, from.time, sizeof to.time);
    std::memcpy(to.speed, from.speed, sizeof to.speed);
    std::memcpy(to.pitch, from.pitch, sizeof to.pitch);
    std::memcpy(to.freq, from.freq, sizeof to.freq);
    to.trigmode = from.trigmode;
    ProgramBank::storeWhole(to.recSync, loadWhole(from.recSync));
    to.voiceCount = from.voiceCount;
    to.mainLevl = from.mainLevl;
    to.density = from.density;
    to.unitDura = from.unitDura;
    to.envSust = from.envSust;
    to.reso = from.reso;
}

// A name field cut to its size (a record from a file may lack a terminator).
void copyName(char* text, const char* name) {
    std::size_t n = 0;
    while (n < kProgramNameSize - 1 && name[n] != 0) {
        text[n] = name[n];
        ++n;
    }
    text[n] = 0;
}

}  // namespace

ProgramBank::ProgramBank() {
    records_ = new (std::nothrow) ProgramRecord[kNumPrograms];
    clipboard_ = new (std::nothrow) ProgramRecord;
    if (records_)
        for (int i = 0; i < kNumPrograms; ++i) records_[i].initialise();
    if (clipboard_) clipboard_->initialise();
}

ProgramBank::~ProgramBank() {
    delete[] records_;
    delete clipboard_;
}

void ProgramBank::setCurrent(int k) {
    current_ = k;
    records_[0].currentProgram = k;
}

void ProgramBank::storeWhole(float& field, float value) noexcept {
    std::atomic_ref<float>(field).store(value, std::memory_order_relaxed);
}

void ProgramBank::storeRate(int k, int rate) noexcept {
    if (records_ == nullptr || k < 0 || k >= kNumPrograms) return;
    const int value = storedRateValue(rate);
    for (int i = 0; i < 3; ++i)
        std::atomic_ref<std::uint8_t>(records_[k].bufferRate[i])
            .store(static_cast<std::uint8_t>((value >> (8 * i)) & 0xff), std::memory_order_relaxed);
}

void ProgramBank::storeSaved(int k, std::uint8_t saved) noexcept {
    std::atomic_ref<std::uint8_t>(records_[k].bufferSaved).store(saved, std::memory_order_relaxed);
}

void ProgramBank::clearPath(int k) noexcept {
    char* path = records_[k].bufferPath;
    std::atomic_ref<unsigned char>(reinterpret_cast<unsigned char&>(path[0])).store(0, std::memory_order_relaxed);
}

int ProgramBank::bufferNumber(int k, int fallback) const {
    int n = fallback;
    float& field = records_[k].bufferNumber;
    truncInRange(std::atomic_ref<float>(field).load(std::memory_order_relaxed), 0, kNumBuffers - 1, n);
    return n;
}

void ProgramBank::setName(const char* text) { copyName(currentRecord().name, text); }

void ProgramBank::name(char* text) const {
    const char* stored = currentRecord().name;
    if (std::strcmp(stored, "Init") == 0) {
        std::memcpy(text, "Init ", 5);
        formatInteger(text + 5, current() + 1, 0, false);
        return;
    }
    copyName(text, stored);
}

bool ProgramBank::nameOf(int k, char* text) const {
    if (k < 0 || k >= kNumPrograms) return false;
    copyName(text, records_[k].name);
    return true;
}

void ProgramBank::copy() { copyProgramFields(currentRecord(), *clipboard_); }

void ProgramBank::paste() {
    ProgramRecord from = *clipboard_;
    sanitiseRecord(from);
    copyProgramFields(from, currentRecord());
}

std::int32_t ProgramBank::chunk(void** data, bool isPreset) {
    if (data == nullptr || records_ == nullptr) return 0;
    if (isPreset) {
        *data = &records_[current_.load()];
        return static_cast<std::int32_t>(sizeof(ProgramRecord));
    }
    *data = records_;
    return static_cast<std::int32_t>(kBankChunkSize);
}

void ProgramBank::store(int k, const ProgramRecord& from, int bufferRate) {
    if (k < 0 || k >= kNumPrograms || records_ == nullptr) return;
    auto* to = reinterpret_cast<unsigned char*>(&records_[k]);
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
    storeRate(k, bufferRate);
}

}  // namespace grainwheel
