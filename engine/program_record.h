#pragma once
// One program of the effect, stored byte for byte in bank files and host chunks.
// The layout is a file format: never reorder, resize or insert fields.

#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/dsp/buffer_limits.h"

namespace grainwheel {

constexpr int kNumPrograms = 16;
constexpr int kNumGlobalSettings = 10;
constexpr int kNumUnits = 16;
constexpr std::size_t kPathSize = 1024;     // 1023 characters and a terminator
constexpr std::size_t kProgramNameSize = 24;

struct ProgramRecord {
    char bufferPath[kPathSize];              // file path of audio buffer k (record k)
    float globalSettings[kNumGlobalSettings];  // record 0 only
    float reserved1[20];                     // 4444.0, never read
    float mainLevl;
    float density;
    float unitDura;
    float envSust;
    float reso;
    std::int32_t currentProgram;             // record 0 only
    float voiceCount;
    float trigmode;
    float grid;                              // record 0 only
    float monitor;                           // record 0 only
    float recFree;
    float recSync;
    float time[kNumUnits];
    float speed[kNumUnits];
    float pitch[kNumUnits];
    float freq[kNumUnits];
    float bufferStart;                       // start position of audio buffer k (record k)
    float bufferNumber;                      // the buffer this program plays
    std::uint8_t bufferSaved;                // audio buffer k saved (record k)
    // The rate audio buffer k's samples are at (record k), frames per second as a 24-bit
    // little-endian integer; 0 means 44100 (what writers before it always wrote here). Read
    // and written through recordedRate() / setRecordedRate().
    std::uint8_t bufferRate[3];
    float reserved2[100];                    // 5555.0, never read
    char name[kProgramNameSize];

    // Fills the record with the "Init" content.
    void initialise();
};

// The rate record k's buffer is at: the stored value, 0 giving kDefaultBufferRate (44100). A value outside
// kMinBufferRate..kMaxBufferRate also gives 44100 (sanitiseRecord stores it as 0).
int recordedRate(const ProgramRecord& record);
// Stores `rate`; 44100, and anything outside kMinBufferRate..kMaxBufferRate, as 0.
void setRecordedRate(ProgramRecord& record, int rate);
// The value the three bytes hold for `rate` (as setRecordedRate stores it).
constexpr int storedRateValue(int rate) {
    return rate >= kMinBufferRate && rate <= kMaxBufferRate && rate != kDefaultBufferRate ? rate : 0;
}

// Index order of globalSettings.
enum GlobalSetting : int {
    kTimeFaderValues = 0,   // setting 267
    kSpeedFaderRange = 1,   // setting 268
    kPitchFaderRange = 2,   // setting 269
    kEnvelopeType = 3,      // setting 270
    kFreqCutoff = 4,        // setting 271
    kPlaybackMode = 5,      // setting 272
    kMorphAlgorithm = 6,    // setting 274
    kMorphStepsize = 7,     // setting 275
    kScopeViewMode = 8,     // setting 273
    kRecordSyncUnit = 9,    // setting 276
};

// Values from outside (a host chunk, a bank file, the clipboard, imported settings, the
// editor's setting indices) brought into the ranges the engine works with, so that no
// stored value can stall or poison the audio loop. Pure functions of the values given; the
// layout stays as it is and values already in range keep their bytes (valid files load
// unchanged). NaN gives the field's "Init" value, values outside the range the nearer end:
//  - the parameter fields (levels, switches, unit values, the buffer start) to 0..1;
//  - each global setting to 0 .. the highest value the engine tells apart (above it
//    every value acts the same): 0..4 time Fader Values, 0..5 speed Fader Range, 0..3
//    pitch Fader Range, 0..3 Envelope Type, 0..3 freq Cutoff Frequency, 0..3 Playback
//    Mode, 0..3 Morph Algorithm, 0..19 Morph Stepsize, 0..4 Scope View Mode, 0..29 record
//    Sync Unit;
//  - the stored voice count to 0..16 (the engine scans at most its six slots);
//  - `currentProgram` to 0..15; `bufferNumber` to a value whose integer part is 0..15;
//  - a `bufferPath` without a terminator (too long to be a path) is emptied, a `name`
//    without one is cut to 23 characters.
//  - a stored buffer rate outside kMinBufferRate..kMaxBufferRate (no writer stores one) is
//    taken as 44100 and stored as 0.
// The reserved fields and the saved flag are never read and stay as they are.
void sanitiseRecord(ProgramRecord& record);
void sanitiseRecords(std::span<ProgramRecord> records);
// One global setting (slot in GlobalSetting order), all ten, or the voice count, brought
// into range as in a record.
float sanitisedSetting(int slot, float value);
void sanitiseSettings(float (&settings)[kNumGlobalSettings]);
float sanitisedVoiceCount(float value);

static_assert(sizeof(float) == 4, "IEEE single precision floats expected");
static_assert(sizeof(ProgramRecord) == 1884, "ProgramRecord is a storage format");
static_assert(offsetof(ProgramRecord, globalSettings) == 1024);
static_assert(offsetof(ProgramRecord, reserved1) == 1064);
static_assert(offsetof(ProgramRecord, mainLevl) == 1144);
static_assert(offsetof(ProgramRecord, density) == 1148);
static_assert(offsetof(ProgramRecord, unitDura) == 1152);
static_assert(offsetof(ProgramRecord, envSust) == 1156);
static_assert(offsetof(ProgramRecord, reso) == 1160);
static_assert(offsetof(ProgramRecord, currentProgram) == 1164);
static_assert(offsetof(ProgramRecord, voiceCount) == 1168);
static_assert(offsetof(ProgramRecord, trigmode) == 1172);
static_assert(offsetof(ProgramRecord, grid) == 1176);
static_assert(offsetof(ProgramRecord, monitor) == 1180);
static_assert(offsetof(ProgramRecord, recFree) == 1184);
static_assert(offsetof(ProgramRecord, recSync) == 1188);
static_assert(offsetof(ProgramRecord, time) == 1192);
static_assert(offsetof(ProgramRecord, speed) == 1256);
static_assert(offsetof(ProgramRecord, pitch) == 1320);
static_assert(offsetof(ProgramRecord, freq) == 1384);
static_assert(offsetof(ProgramRecord, bufferStart) == 1448);
static_assert(offsetof(ProgramRecord, bufferNumber) == 1452);
static_assert(offsetof(ProgramRecord, bufferSaved) == 1456);
static_assert(offsetof(ProgramRecord, bufferRate) == 1457 && sizeof(ProgramRecord::bufferRate) == 3);
static_assert(kMaxBufferRate < (1 << 24), "a buffer rate fits the record's three bytes");
static_assert(offsetof(ProgramRecord, reserved2) == 1460);
static_assert(offsetof(ProgramRecord, name) == 1860);

constexpr std::size_t kBankChunkSize = sizeof(ProgramRecord) * kNumPrograms;  // 30144
static_assert(kBankChunkSize == 30144);

}  // namespace grainwheel
