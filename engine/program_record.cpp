#include "engine/program_record.h"

#include <cmath>
#include <cstring>

#include "engine/parameter_table.h"

namespace grainwheel {

namespace {

// The "Init" values, which are also what a NaN in a field becomes.
constexpr float kInitSettings[kNumGlobalSettings] = {0, 0, 1, 0, 0, 0, 3, 10, 1, 5};
constexpr float kInitMainLevl = parameterInfo(kMainLevl).init;
constexpr float kInitDensity = parameterInfo(kDensity).init;
constexpr float kInitVoiceCount = 10.0f;
constexpr float kInitTime = parameterInfo(kTime).init;
constexpr float kInitSpeed = parameterInfo(kSpeed).init;
constexpr float kInitPitch = parameterInfo(kPitch).init;
constexpr float kInitFreq = parameterInfo(kFreq).init;

// The top of each global setting's range (GlobalSetting order): the highest value the
// engine tells apart, so that every value above it acts as it does. Past the menus' own
// entries that is a mode with no conversion of its own (time 4, speed 5, pitch 3, cutoff
// 3) or, for the record Sync Unit, a value that changes nothing (29).
constexpr float kSettingMax[kNumGlobalSettings] = {4, 5, 3, 3, 3, 3, 3, 19, 4, 29};
constexpr float kMaxVoiceCount = 16.0f;

// NaN gives `init`, a value outside [lo, hi] the nearer end; a value inside keeps its bytes.
float within(float v, float lo, float hi, float init) {
    if (std::isnan(v)) return init;
    if (v < lo) return lo;
    if (v > hi) return hi;
    return v;
}

void unitInterval(float& v, float init) { v = within(v, 0.0f, 1.0f, init); }

void unitIntervals(float (&values)[kNumUnits], float init) {
    for (float& v : values) unitInterval(v, init);
}

}  // namespace

void ProgramRecord::initialise() {
    std::memset(this, 0, sizeof(ProgramRecord));
    for (int i = 0; i < kNumGlobalSettings; ++i) globalSettings[i] = kInitSettings[i];
    for (float& r : reserved1) r = 4444.0f;
    mainLevl = kInitMainLevl;
    density = kInitDensity;
    unitDura = kInitUnitDura;
    voiceCount = kInitVoiceCount;
    for (int u = 0; u < kNumUnits; ++u) {
        time[u] = kInitTime;
        speed[u] = kInitSpeed;
        pitch[u] = kInitPitch;
        freq[u] = kInitFreq;
    }
    bufferSaved = 1;
    for (float& r : reserved2) r = 5555.0f;
    std::memcpy(name, "Init", 5);
}

float sanitisedSetting(int slot, float value) {
    if (slot < 0 || slot >= kNumGlobalSettings) return value;
    return within(value, 0.0f, kSettingMax[slot], kInitSettings[slot]);
}

void sanitiseSettings(float (&settings)[kNumGlobalSettings]) {
    for (int i = 0; i < kNumGlobalSettings; ++i) settings[i] = sanitisedSetting(i, settings[i]);
}

float sanitisedVoiceCount(float value) { return within(value, 0.0f, kMaxVoiceCount, kInitVoiceCount); }

namespace {
int storedRate(const ProgramRecord& r) {
    return r.bufferRate[0] | (r.bufferRate[1] << 8) | (r.bufferRate[2] << 16);
}
bool validRate(int rate) { return rate >= kMinBufferRate && rate <= kMaxBufferRate; }
}  // namespace

int recordedRate(const ProgramRecord& record) {
    const int rate = storedRate(record);
    return validRate(rate) ? rate : kDefaultBufferRate;
}

void setRecordedRate(ProgramRecord& record, int rate) {
    rate = storedRateValue(rate);
    for (int i = 0; i < 3; ++i) record.bufferRate[i] = static_cast<std::uint8_t>((rate >> (8 * i)) & 0xff);
}

void sanitiseRecord(ProgramRecord& r) {
    sanitiseSettings(r.globalSettings);
    unitInterval(r.mainLevl, kInitMainLevl);
    unitInterval(r.density, kInitDensity);
    unitInterval(r.unitDura, kInitUnitDura);
    unitInterval(r.envSust, 0.0f);
    unitInterval(r.reso, 0.0f);
    if (r.currentProgram < 0) r.currentProgram = 0;
    if (r.currentProgram >= kNumPrograms) r.currentProgram = kNumPrograms - 1;
    r.voiceCount = sanitisedVoiceCount(r.voiceCount);
    for (float* v : {&r.trigmode, &r.grid, &r.monitor, &r.recFree, &r.recSync}) unitInterval(*v, 0.0f);
    unitIntervals(r.time, kInitTime);
    unitIntervals(r.speed, kInitSpeed);
    unitIntervals(r.pitch, kInitPitch);
    unitIntervals(r.freq, kInitFreq);
    unitInterval(r.bufferStart, 0.0f);
    // The buffer number is used truncated toward zero.
    const float b = r.bufferNumber;
    if (std::isnan(b) || b <= -1.0f) r.bufferNumber = 0.0f;
    else if (b >= static_cast<float>(kNumPrograms)) r.bufferNumber = static_cast<float>(kNumPrograms - 1);
    if (!std::memchr(r.bufferPath, 0, sizeof r.bufferPath)) std::memset(r.bufferPath, 0, sizeof r.bufferPath);
    if (!std::memchr(r.name, 0, sizeof r.name)) r.name[sizeof r.name - 1] = 0;
    if (const int rate = storedRate(r); rate != 0 && !validRate(rate)) setRecordedRate(r, 0);
}

void sanitiseRecords(std::span<ProgramRecord> records) {
    for (ProgramRecord& r : records) sanitiseRecord(r);
}

}  // namespace grainwheel
