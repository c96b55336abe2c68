// The record's sanitiser alone: each value field to its range (NaN to its "Init" value),
// everything a valid record holds kept bit for bit, the fields nothing reads untouched.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <vector>

#include "engine/program_record.h"

namespace grainwheel {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

ProgramRecord initRecord() {
    ProgramRecord r;
    r.initialise();
    return r;
}

// A float field of the record: where it is, its range and its "Init" value.
struct Field {
    std::size_t offset;
    float lo;
    float hi;
    float init;
};

// Built from the layout, independent of the sanitiser's own tables.
std::vector<Field> valueFields() {
    const ProgramRecord init = initRecord();
    const float top[kNumGlobalSettings] = {4, 5, 3, 3, 3, 3, 3, 19, 4, 29};
    std::vector<Field> f;
    for (int i = 0; i < kNumGlobalSettings; ++i)
        f.push_back({offsetof(ProgramRecord, globalSettings) + 4 * i, 0, top[i], init.globalSettings[i]});
    f.push_back({offsetof(ProgramRecord, mainLevl), 0, 1, 0.5f});
    f.push_back({offsetof(ProgramRecord, density), 0, 1, 1.0f});
    f.push_back({offsetof(ProgramRecord, unitDura), 0, 1, 0.43089432f});
    f.push_back({offsetof(ProgramRecord, envSust), 0, 1, 0});
    f.push_back({offsetof(ProgramRecord, reso), 0, 1, 0});
    f.push_back({offsetof(ProgramRecord, voiceCount), 0, 16, 10});
    for (std::size_t at : {offsetof(ProgramRecord, trigmode), offsetof(ProgramRecord, grid),
                           offsetof(ProgramRecord, monitor), offsetof(ProgramRecord, recFree),
                           offsetof(ProgramRecord, recSync), offsetof(ProgramRecord, bufferStart)})
        f.push_back({at, 0, 1, 0});
    for (int u = 0; u < kNumUnits; ++u) {
        f.push_back({offsetof(ProgramRecord, time) + 4 * u, 0, 1, 0.8f});
        f.push_back({offsetof(ProgramRecord, speed) + 4 * u, 0, 1, 1.0f});
        f.push_back({offsetof(ProgramRecord, pitch) + 4 * u, 0, 1, 0.5f});
        f.push_back({offsetof(ProgramRecord, freq) + 4 * u, 0, 1, 1.0f});
    }
    return f;
}

float at(const ProgramRecord& r, std::size_t offset) {
    float v;
    std::memcpy(&v, reinterpret_cast<const char*>(&r) + offset, sizeof v);
    return v;
}
void put(ProgramRecord& r, std::size_t offset, float v) {
    std::memcpy(reinterpret_cast<char*>(&r) + offset, &v, sizeof v);
}

TEST(RecordSanitise, EachValueFieldComesIntoItsRange) {
    const float values[] = {kNaN, kInf, -kInf, 1e30f, -1e30f, 3e38f, 4.9e19f, -1.0f, 1e9f, 29.0f, -0.001f};
    for (const Field& f : valueFields()) {
        for (const float v : values) {
            ProgramRecord r = initRecord();
            put(r, f.offset, v);
            ProgramRecord before = r;
            sanitiseRecord(r);
            const float want = std::isnan(v) ? f.init : (v < f.lo ? f.lo : (v > f.hi ? f.hi : v));
            EXPECT_EQ(at(r, f.offset), want) << "byte " << f.offset << " = " << v;
            // Nothing else changes.
            put(before, f.offset, want);
            EXPECT_EQ(std::memcmp(&r, &before, sizeof r), 0) << "byte " << f.offset << " = " << v;
        }
    }
}

TEST(RecordSanitise, ValuesWithinRangeAndUnreadFieldsKeepTheirBytes) {
    ProgramRecord r = initRecord();
    int n = 0;
    for (const Field& f : valueFields()) {
        // The ends, -0 and values between, in turn.
        const float choices[] = {f.lo, f.hi, -0.0f, f.lo + (f.hi - f.lo) * 0.37f, std::nextafter(f.hi, 0.0f)};
        put(r, f.offset, choices[n++ % 5]);
    }
    r.bufferNumber = 15.99f;
    r.currentProgram = 15;
    r.reserved1[2] = kNaN;  // never read: whatever a writer put there stays
    r.reserved2[99] = -kInf;
    r.bufferSaved = 7;
    setRecordedRate(r, 96000);  // a rate in range keeps its bytes
    std::memcpy(r.name, "twenty-three characters", 24);
    r.name[23] = 0;
    const ProgramRecord before = r;
    sanitiseRecord(r);
    EXPECT_EQ(std::memcmp(&r, &before, sizeof r), 0);

    const ProgramRecord init = initRecord();
    ProgramRecord again = init;
    sanitiseRecord(again);
    EXPECT_EQ(std::memcmp(&again, &init, sizeof init), 0);
}

TEST(RecordSanitise, SingleSettingsAndTheVoiceCountAsInARecord) {
    const ProgramRecord init = initRecord();
    for (int i = 0; i < kNumGlobalSettings; ++i) {
        ProgramRecord r = init;
        for (const float v : {kNaN, kInf, -kInf, 1e30f, -1.0f, 2.5f}) {
            r.globalSettings[i] = v;
            ProgramRecord whole = r;
            sanitiseRecord(whole);
            const float one = sanitisedSetting(i, v);
            EXPECT_EQ(std::memcmp(&one, &whole.globalSettings[i], 4), 0) << i << " " << v;
            float all[kNumGlobalSettings];
            std::memcpy(all, r.globalSettings, sizeof all);
            sanitiseSettings(all);
            EXPECT_EQ(std::memcmp(all, whole.globalSettings, sizeof all), 0) << i << " " << v;
        }
    }
    EXPECT_EQ(sanitisedVoiceCount(kNaN), 10.0f);
    EXPECT_EQ(sanitisedVoiceCount(1e9f), 16.0f);
    EXPECT_EQ(sanitisedVoiceCount(-kInf), 0.0f);
    EXPECT_EQ(sanitisedVoiceCount(6.5f), 6.5f);
}

// The buffer's rate lives in the three bytes after the saved flag, which writers before it
// always left 0: little-endian, 0 meaning 44100.
TEST(RecordRate, StoredLittleEndianAfterTheSavedFlagWithZeroFor44100) {
    static_assert(offsetof(ProgramRecord, bufferRate) == offsetof(ProgramRecord, bufferSaved) + 1);
    static_assert(offsetof(ProgramRecord, bufferRate) + 3 == offsetof(ProgramRecord, reserved2));
    ProgramRecord r = initRecord();
    EXPECT_EQ(recordedRate(r), 44100);  // an old record
    const auto bytes = [&r](int offset) { return reinterpret_cast<const std::uint8_t*>(&r)[1457 + offset]; };
    setRecordedRate(r, 384000);  // 0x05dc00
    EXPECT_EQ(bytes(0), 0x00);
    EXPECT_EQ(bytes(1), 0xdc);
    EXPECT_EQ(bytes(2), 0x05);
    EXPECT_EQ(recordedRate(r), 384000);
    for (const int rate : {8000, 22050, 48000, 88200, 96000, 176400, 192000, 352800}) {
        setRecordedRate(r, rate);
        EXPECT_EQ(recordedRate(r), rate);
        ProgramRecord again = r;
        sanitiseRecord(again);
        EXPECT_EQ(std::memcmp(&again, &r, sizeof r), 0) << rate;
    }
    setRecordedRate(r, 44100);
    EXPECT_EQ(bytes(0) | bytes(1) | bytes(2), 0);
    // Nothing outside the range is stored.
    for (const int rate : {0, -1, 7999, 384001, 1 << 24}) {
        setRecordedRate(r, rate);
        EXPECT_EQ(bytes(0) | bytes(1) | bytes(2), 0) << rate;
    }
}

// A stored rate no writer makes (below 8000 but not 0, above 384000) is taken as 44100
// and stored as 0; the record is otherwise unchanged.
TEST(RecordRate, HostileStoredRatesBecome44100) {
    const std::uint32_t hostile[] = {1, 7999, 384001, 0xffffff, 0x800000, 0x000100};
    for (const std::uint32_t v : hostile) {
        ProgramRecord r = initRecord();
        r.bufferRate[0] = static_cast<std::uint8_t>(v);
        r.bufferRate[1] = static_cast<std::uint8_t>(v >> 8);
        r.bufferRate[2] = static_cast<std::uint8_t>(v >> 16);
        EXPECT_EQ(recordedRate(r), 44100) << v;
        sanitiseRecord(r);
        EXPECT_EQ(recordedRate(r), 44100) << v;
        const ProgramRecord init = initRecord();
        EXPECT_EQ(std::memcmp(&r, &init, sizeof r), 0) << v;
    }
}

}  // namespace
}  // namespace grainwheel
