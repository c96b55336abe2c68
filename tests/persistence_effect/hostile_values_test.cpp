// Values from outside reach the engine only within their ranges, whichever way they come
// in: the host chunk (one program, the bank), a bank file, paste, imported settings and
// the setting indices of setParameter. NaN becomes the field's "Init" value, anything
// beyond a range its nearer end; what a valid record holds comes through bit for bit.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <span>
#include <string>

#include "engine/engine_inspection.h"
#include "persistence/bank_file.h"
#include "platform/scripted_dialogs.h"
#include "plugin/grain_effect.h"
#include "test_util.h"
#include "tests/support/scripted_host.h"

namespace {

using namespace grainwheel;
using grainwheel::test::ScopedEnvironment;
using grainwheel::test::TempDir;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// The top of each global setting's range, and its setParameter index, in record order.
constexpr float kSettingTop[kNumGlobalSettings] = {4, 5, 3, 3, 3, 3, 3, 19, 4, 29};
constexpr int kSettingIndex[kNumGlobalSettings] = {267, 268, 269, 270, 271, 272, 274, 275, 273, 276};

ProgramRecord initRecord() {
    ProgramRecord r;
    r.initialise();
    return r;
}

// Every value the engine reads set to `v`; the reserved fields get values no range
// allows, which must stay as they are since nothing reads them.
ProgramRecord recordOf(float v) {
    ProgramRecord r = initRecord();
    for (float& s : r.globalSettings) s = v;
    for (float* f : {&r.mainLevl, &r.density, &r.unitDura, &r.envSust, &r.reso, &r.voiceCount, &r.trigmode, &r.grid,
                     &r.monitor, &r.recFree, &r.recSync, &r.bufferStart, &r.bufferNumber})
        *f = v;
    for (int u = 0; u < kNumUnits; ++u) r.time[u] = r.speed[u] = r.pitch[u] = r.freq[u] = v;
    r.reserved1[3] = kNaN;
    r.reserved2[7] = -kInf;
    r.reserved2[8] = 1e30f;
    return r;
}

// A valid record far from "Init": every value inside its range, edges and fractions included.
ProgramRecord validRecord() {
    ProgramRecord r = initRecord();
    for (int i = 0; i < kNumGlobalSettings; ++i) r.globalSettings[i] = kSettingTop[i] * (i % 3) / 2.0f;
    r.mainLevl = 1.0f;
    r.density = 0.0f;
    r.unitDura = 0.99f;
    r.envSust = 0.33f;
    r.reso = -0.0f;
    r.voiceCount = 3.0f;
    r.trigmode = 1.0f;
    r.recSync = 0.25f;
    for (int u = 0; u < kNumUnits; ++u) {
        r.time[u] = 0.06f * static_cast<float>(u);
        r.speed[u] = 1.0f - 0.05f * static_cast<float>(u);
        r.pitch[u] = 0.0625f * static_cast<float>(u);
        r.freq[u] = 0.01f + 0.06f * static_cast<float>(u);
    }
    r.bufferStart = 0.75f;
    r.bufferNumber = 12.0f;  // a program change stores the buffer it selects
    r.reserved1[0] = kNaN;  // never read: carried along
    std::strcpy(r.name, "valid");
    return r;
}

bool same(const void* a, const void* b, std::size_t n) { return std::memcmp(a, b, n) == 0; }

// The unit values and levels that paste carries, compared as bytes.
bool sameProgramFields(const ProgramRecord& a, const ProgramRecord& b) {
    return same(a.time, b.time, sizeof a.time) && same(a.speed, b.speed, sizeof a.speed) &&
           same(a.pitch, b.pitch, sizeof a.pitch) && same(a.freq, b.freq, sizeof a.freq) &&
           same(&a.mainLevl, &b.mainLevl, 5 * sizeof(float)) && same(&a.voiceCount, &b.voiceCount, 2 * sizeof(float)) &&
           same(&a.recSync, &b.recSync, sizeof(float));
}

// What `recordOf(v)` must become once installed: NaN the "Init" record's values, any
// other value one within each field's range (the program change that follows may derive
// one value from another, as the linked time modes do with the density).
void expectSanitised(const ProgramRecord& r, float v, bool settingsToo, const char* path) {
    SCOPED_TRACE(std::string(path) + ", value " + std::to_string(v));
    const ProgramRecord init = initRecord();
    const auto expect = [&](float got, float lo, float hi, float initial, const char* field) {
        if (std::isnan(v)) {
            EXPECT_EQ(got, initial) << field;
        } else {
            EXPECT_GE(got, lo) << field;
            EXPECT_LE(got, hi) << field;
        }
    };
    if (settingsToo)
        for (int i = 0; i < kNumGlobalSettings; ++i)
            expect(r.globalSettings[i], 0.0f, kSettingTop[i], init.globalSettings[i], "setting");
    expect(r.mainLevl, 0, 1, init.mainLevl, "mainLevl");
    expect(r.density, 0, 1, init.density, "density");
    expect(r.unitDura, 0, 1, init.unitDura, "unitDura");
    expect(r.envSust, 0, 1, init.envSust, "envSust");
    expect(r.reso, 0, 1, init.reso, "reso");
    expect(r.voiceCount, 0, 16, init.voiceCount, "voiceCount");
    expect(r.trigmode, 0, 1, 0, "trigmode");
    expect(r.recSync, 0, 1, 0, "recSync");
    for (int u = 0; u < kNumUnits; ++u) {
        expect(r.time[u], 0, 1, init.time[u], "time");
        expect(r.speed[u], 0, 1, init.speed[u], "speed");
        expect(r.pitch[u], 0, 1, init.pitch[u], "pitch");
        expect(r.freq[u], 0, 1, init.freq[u], "freq");
    }
}

class HostileValues : public ::testing::Test {
protected:
    void SetUp() override {
        gwtest::scriptedHost().reset();
        dataHome = std::make_unique<ScopedEnvironment>("XDG_DATA_HOME", dir.file("data"));
        scoped = std::make_unique<platform::ScopedDialogs>(dialogs);
        fx = std::make_unique<GrainEffect>(&gwtest::hostCallback);
    }
    void TearDown() override {
        fx.reset();
        scoped.reset();
        dataHome.reset();
    }
    const ProgramRecord& record(int k) { return fx->engine().programs().records()[k]; }
    // Every record back to "Init" through a bank chunk.
    void restoreInit() {
        std::array<ProgramRecord, kNumPrograms> init;
        init.fill(initRecord());
        ASSERT_EQ(fx->files().setChunk(init.data(), static_cast<std::int32_t>(sizeof init), false), 1);
    }
    std::string bankWith(const ProgramRecord& r, const char* name) {
        std::array<ProgramRecord, kNumPrograms> records;
        for (ProgramRecord& each : records) each = r;
        records[0].currentProgram = 0;
        const BufferView none[kNumPrograms] = {};
        const std::string path = dir.file(name);
        EXPECT_EQ(writeBankFile(path.c_str(), records, none), kFileOk);
        return path;
    }

    TempDir dir;
    platform::ScriptedDialogs dialogs;
    std::unique_ptr<ScopedEnvironment> dataHome;
    std::unique_ptr<platform::ScopedDialogs> scoped;
    std::unique_ptr<GrainEffect> fx;
};

constexpr float kHostile[] = {kNaN, kInf, -kInf, 1e30f, -1e30f, 3e38f, 4.9e19f, -1.0f, 1e9f};

TEST_F(HostileValues, HostChunksComeInWithinRange) {
    for (const float v : kHostile) {
        ProgramRecord one = recordOf(v);
        fx->setProgram(0);
        ASSERT_EQ(fx->files().setChunk(&one, sizeof one, true), 1);
        expectSanitised(record(0), v, true, "program chunk");
        EXPECT_TRUE(same(record(0).reserved1, one.reserved1, sizeof one.reserved1));
        EXPECT_TRUE(same(record(0).reserved2, one.reserved2, sizeof one.reserved2));

        std::array<ProgramRecord, kNumPrograms> bank;
        bank.fill(recordOf(v));
        ASSERT_EQ(fx->files().setChunk(bank.data(), static_cast<std::int32_t>(sizeof bank), false), 1);
        for (int k = 0; k < kNumPrograms; ++k) expectSanitised(record(k), v, true, "bank chunk");
        EXPECT_GE(record(0).currentProgram, 0);
        EXPECT_LT(record(0).currentProgram, kNumPrograms);
        EXPECT_GE(fx->engine().getCurrentBuffer(), 0);
        EXPECT_LT(fx->engine().getCurrentBuffer(), kNumBuffers);
    }
}

TEST_F(HostileValues, BankFilesAndImportedSettingsComeInWithinRange) {
    for (const float v : kHostile) {
        const std::string path = bankWith(recordOf(v), "hostile.grb");
        restoreInit();
        ASSERT_EQ(fx->files().readBankFile(path.c_str()), kFileOk);
        for (int k = 0; k < kNumPrograms; ++k) expectSanitised(record(k), v, true, "bank file");

        restoreInit();
        ASSERT_EQ(fx->files().importBankOptions(path.c_str()), kFileOk);
        expectSanitised(record(0), v, true, "imported settings");
        for (int i = 0; i < kNumGlobalSettings; ++i)
            EXPECT_EQ(fx->getParameter(kSettingIndex[i]), record(0).globalSettings[i]) << "the live setting " << i;
        std::filesystem::remove(path);
    }
}

TEST_F(HostileValues, PasteTakesOnlyValuesWithinRange) {
    for (const float v : kHostile) {
        fx->engine().programs().clipboard() = recordOf(v);
        fx->engine().parameters().pasteFromClipboard();
        expectSanitised(record(fx->getProgram()), v, false, "paste");
    }
}

TEST_F(HostileValues, SettingIndicesStoreValuesWithinRange) {
    const ProgramRecord init = initRecord();
    for (const float v : kHostile) {
        SCOPED_TRACE(v);
        for (int i = 0; i < kNumGlobalSettings; ++i) {
            fx->setParameter(kSettingIndex[i], v);
            // Stored and live alike: NaN gives "Init", the rest an end of the range.
            const float want = std::isnan(v) ? init.globalSettings[i] : (v > 0.0f ? kSettingTop[i] : 0.0f);
            EXPECT_EQ(record(0).globalSettings[i], want) << i;
            EXPECT_EQ(fx->getParameter(kSettingIndex[i]), want) << i;
        }
        fx->setParameter(kVoiceCount, v);
        EXPECT_EQ(record(fx->getProgram()).voiceCount, std::isnan(v) ? 10.0f : (v > 0.0f ? 16.0f : 0.0f));
        EXPECT_GE(EngineInspection::sequencer(fx->engine()).voiceCount, 1);
        EXPECT_LE(EngineInspection::sequencer(fx->engine()).voiceCount, 6);
    }
}

TEST_F(HostileValues, ValidRecordsComeThroughBitForBit) {
    const ProgramRecord valid = validRecord();
    ProgramRecord one = valid;
    fx->setProgram(0);
    ASSERT_EQ(fx->files().setChunk(&one, sizeof one, true), 1);
    // setProgram stores each value back through setParameter: the same bytes.
    EXPECT_TRUE(same(&record(0).globalSettings, &valid.globalSettings, offsetof(ProgramRecord, name) - 1024))
        << "program chunk";

    std::array<ProgramRecord, kNumPrograms> bank;
    bank.fill(valid);
    bank[0].currentProgram = 0;
    const auto sent = bank;
    ASSERT_EQ(fx->files().setChunk(bank.data(), static_cast<std::int32_t>(sizeof bank), false), 1);
    EXPECT_TRUE(same(fx->engine().programs().records(), sent.data(), sizeof sent)) << "bank chunk";

    const std::string path = bankWith(valid, "valid.grb");
    restoreInit();
    ASSERT_EQ(fx->files().readBankFile(path.c_str()), kFileOk);
    for (int k = 0; k < kNumPrograms; ++k) {
        ProgramRecord want = valid;
        if (k == 0) want.currentProgram = 0;
        EXPECT_TRUE(same(&record(k).globalSettings, &want.globalSettings, offsetof(ProgramRecord, bufferSaved) - 1024))
            << "bank file, record " << k;
    }

    restoreInit();
    ASSERT_EQ(fx->files().importBankOptions(path.c_str()), kFileOk);
    EXPECT_TRUE(same(record(0).globalSettings, valid.globalSettings, sizeof valid.globalSettings)) << "imported";

    restoreInit();
    fx->engine().programs().clipboard() = valid;
    fx->engine().parameters().pasteFromClipboard();
    EXPECT_TRUE(sameProgramFields(record(0), valid)) << "paste";
}

}  // namespace
