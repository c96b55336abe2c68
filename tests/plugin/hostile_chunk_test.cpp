// Hostile values in a restored chunk, through the built module as a host loads it: every
// value word of a program record set in turn to a huge, negative, NaN or infinite value,
// the chunk restored with effSetChunk and audio processed with a recorded buffer playing.
// Each case runs in a child process with a time limit, so a hung audio thread fails the
// case (and the test) instead of hanging the run; the output must stay finite and sane.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <stdlib.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "host/vst2abi.h"
#include "tests/support/scripted_host.h"
#include "tests/support/watchdog.h"

#if defined(__SANITIZE_ADDRESS__)
#define GW_HOSTILE_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define GW_HOSTILE_SANITIZED 1
#endif
#endif

namespace {

using Entry = AEffect* (*)(audioMasterCallback);
using gwtest::hostCallback;

using gwtest::kHostileValues;
constexpr std::size_t kRecordSize = 1884;
constexpr std::size_t kFirstValue = 1024;  // the global settings
constexpr std::size_t kValuesEnd = 1860;   // the name follows
constexpr int kSweptProgram = 3;           // the bank sweep's record (and current program)

constexpr double kRate = 44100.0;
constexpr double kTempo = 480.0;  // 1/64 units: the 16 units pass in one beat, 5512 frames
constexpr int kBlock = 256;
#if defined(GW_HOSTILE_SANITIZED)
constexpr int kBlocksPerCase = 12;  // half the units: the sanitizer build runs several times slower
#else
constexpr int kBlocksPerCase = 24;  // every unit once
#endif
// Far above the soft clipper's ceiling (about 1.18) and the monitored input.
constexpr float kSaneBound = 4.0f;

// What a child reports through its exit status; a hang is the watchdog's.
enum Outcome : int { kFine = 0, kNonFinite = 10, kTooLoud = 11, kSilent = 12 };

float inputAt(long n) { return 0.4f * std::sin(0.013f * static_cast<float>(n)); }

struct Tally {
    int cases = 0;
    int hangs = 0;
    int nonFinite = 0;
    int tooLoud = 0;
    int crashes = 0;
    std::vector<std::string> examples;
    std::string label = "byte";  // what the position in `add` counts

    int failures() const { return hangs + nonFinite + tooLoud + crashes; }
    void add(int status, std::size_t offset, float value) {
        ++cases;
        const char* what = nullptr;
        if (gwtest::hung(status)) {
            ++hangs;
            what = "hangs";
        } else if (gwtest::exitedWith(status, kNonFinite)) {
            ++nonFinite;
            what = "gives a non-finite sample";
        } else if (gwtest::exitedWith(status, kTooLoud)) {
            ++tooLoud;
            what = "gives a sample beyond the bound";
        } else if (!gwtest::exitedWith(status, kFine)) {
            ++crashes;
            what = "crashes";
        }
        if (what && examples.size() < 12)
            examples.push_back(label + " " + std::to_string(offset) + " = " + std::to_string(value) + " " + what);
    }
    std::string summary() const {
        std::string s = std::to_string(cases) + " cases: " + std::to_string(hangs) + " hangs, " +
                         std::to_string(nonFinite) + " non-finite, " + std::to_string(tooLoud) + " too loud, " +
                         std::to_string(crashes) + " crashes";
        for (const std::string& e : examples) s += "\n  " + e;
        return s;
    }
};

class HostileChunk : public ::testing::Test {
protected:
    void SetUp() override {
        // The recorded audio is never saved: the recovery bank written at close goes here.
        char folder[] = "/tmp/gw-hostile-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        home_ = folder;
        setenv("HOME", folder, 1);
        setenv("XDG_DATA_HOME", folder, 1);
        gwtest::scriptedHost().reset();
        gwtest::scriptedHost().recordAutomation = false;
        library = dlopen(GW_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        auto entry = reinterpret_cast<Entry>(dlsym(library, "VSTPluginMain"));
        ASSERT_NE(entry, nullptr);
        e = entry(hostCallback);
        ASSERT_NE(e, nullptr);
        dispatch(effOpen);
        dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
        dispatch(effSetBlockSize, 0, kBlock);
        dispatch(effMainsChanged, 0, 1);
        moveTo(3.75);
        recordBuffer();
    }
    void TearDown() override {
        if (e) dispatch(effClose);
        if (!home_.empty()) std::filesystem::remove_all(home_);
    }
    VstIntPtr dispatch(VstInt32 op, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f) {
        return e->dispatcher(e, op, index, value, ptr, opt);
    }
    void set(VstInt32 index, float value) { e->setParameter(e, index, value); }
    void moveTo(double ppq) {
        ppq_ = ppq;
        gwtest::ScriptedHost& host = gwtest::scriptedHost();
        host.playingAt(ppq, 4.0 * std::floor(ppq / 4.0), kTempo);
        host.time.sampleRate = kRate;
    }
    // One block of the input; the transport moves on by its length. Returns the largest
    // absolute output sample, NaN when any sample is not finite.
    float block() {
        float in[kBlock], l[kBlock], r[kBlock];
        for (int i = 0; i < kBlock; ++i) in[i] = inputAt(frame_ + i);
        float* ins[2] = {in, in};
        float* outs[2] = {l, r};
        e->processReplacing(e, ins, outs, kBlock);
        frame_ += kBlock;
        moveTo(ppq_ + kBlock * kTempo / (60.0 * kRate));
        float peak = 0.0f;
        for (int i = 0; i < kBlock; ++i) {
            if (!std::isfinite(l[i]) || !std::isfinite(r[i])) return std::numeric_limits<float>::quiet_NaN();
            peak = std::max(peak, std::max(std::fabs(l[i]), std::fabs(r[i])));
        }
        return peak;
    }
    // Buffer 0 (the current one) recorded with rec sync: one whole note of the input.
    void recordBuffer() {
        set(276, 5.0f);  // record Sync Unit 1/1
        set(10, 1.0f);
        for (int n = 0; n < 200 && e->getParameter(e, 10) != 0.0f; ++n) block();
        ASSERT_EQ(e->getParameter(e, 10), 0.0f) << "the synced recording did not end";
    }
    // The current program plays grains from buffer 0: 1/64 units, two overlapping grains
    // at a time, unit pitches and speeds spread, monitor off.
    void playingProgram() {
        set(8, 0.0f);
        set(6, 0.0f);
        set(3, 0.125f);  // unitDura 1/64
        set(1, 0.6f);
        set(5, 0.3f);
        for (int u = 0; u < 16; ++u) {
            set(43 + u, 0.8f);
            set(59 + u, 0.25f + 0.05f * static_cast<float>(u));
            set(75 + u, 0.3f + 0.03f * static_cast<float>(u));
            set(91 + u, 0.2f + 0.05f * static_cast<float>(u));
        }
    }
    std::vector<std::uint8_t> chunk(bool preset) {
        void* data = nullptr;
        const VstIntPtr size = dispatch(effGetChunk, preset ? 1 : 0, 0, &data);
        if (size <= 0 || data == nullptr) return {};
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        return std::vector<std::uint8_t>(bytes, bytes + size);
    }

    // One case in a child process: makes the change, processes, and exits with the
    // outcome. Returns the child's wait status.
    template <typename Change>
    int child(Change change, bool mustSound = false) {
        return gwtest::inChild(gwtest::caseSeconds(10), [&] {
            change();
            float loudest = 0.0f;
            for (int n = 0; n < kBlocksPerCase; ++n) {
                const float peak = block();
                if (std::isnan(peak)) return kNonFinite;
                if (peak > kSaneBound) return kTooLoud;
                loudest = std::max(loudest, peak);
            }
            return mustSound && loudest < 0.01f ? kSilent : kFine;
        });
    }
    int restored(const std::vector<std::uint8_t>& bytes, bool preset, bool mustSound = false) {
        return child(
            [&] {
                std::vector<std::uint8_t> copy = bytes;
                dispatch(effSetChunk, preset ? 1 : 0, static_cast<VstIntPtr>(copy.size()), copy.data());
            },
            mustSound);
    }
    // Every value word of the record at `record` within `base`, set to each hostile value.
    Tally sweep(const std::vector<std::uint8_t>& base, std::size_t record, bool preset) {
        Tally t;
        for (std::size_t at = kFirstValue; at < kValuesEnd; at += 4) {
            for (const float value : kHostileValues) {
                std::vector<std::uint8_t> bytes = base;
                std::memcpy(bytes.data() + record + at, &value, sizeof value);
                t.add(restored(bytes, preset), at, value);
            }
        }
        return t;
    }

    void* library = nullptr;
    AEffect* e = nullptr;
    std::string home_;
    long frame_ = 0;
    double ppq_ = 0.0;
};

TEST_F(HostileChunk, ProgramChunkValuesNeverHangOrPoisonTheOutput) {
    playingProgram();
    const std::vector<std::uint8_t> base = chunk(true);
    ASSERT_EQ(base.size(), kRecordSize);
    const int plain = restored(base, true, true);
    ASSERT_TRUE(gwtest::exitedWith(plain, kFine)) << "the unchanged chunk " << gwtest::describe(plain);
    const Tally t = sweep(base, 0, true);
    std::printf("program chunk: %s\n", t.summary().c_str());
    EXPECT_EQ(t.cases, 209 * 9);
    EXPECT_EQ(t.failures(), 0) << t.summary();
}

TEST_F(HostileChunk, BankChunkValuesNeverHangOrPoisonTheOutput) {
    dispatch(effSetProgram, 0, kSweptProgram);
    playingProgram();
    const std::vector<std::uint8_t> base = chunk(false);
    ASSERT_EQ(base.size(), 16 * kRecordSize);
    const int plain = restored(base, false, true);
    ASSERT_TRUE(gwtest::exitedWith(plain, kFine)) << "the unchanged chunk " << gwtest::describe(plain);
    const Tally t = sweep(base, kSweptProgram * kRecordSize, false);
    std::printf("bank chunk: %s\n", t.summary().c_str());
    EXPECT_EQ(t.cases, 209 * 9);
    EXPECT_EQ(t.failures(), 0) << t.summary();
}

// The same values as parameters: the entry point takes a host's values into 0..1.
TEST_F(HostileChunk, HostParameterValuesNeverHangOrPoisonTheOutput) {
    playingProgram();
    const int plain = child([] {}, true);
    ASSERT_TRUE(gwtest::exitedWith(plain, kFine)) << "unchanged " << gwtest::describe(plain);
    Tally t;
    t.label = "parameter";
    for (VstInt32 index = 0; index <= 106; ++index)
        for (const float value : kHostileValues)
            t.add(child([&] { set(index, value); }), static_cast<std::size_t>(index), value);
    std::printf("host parameters: %s\n", t.summary().c_str());
    EXPECT_EQ(t.cases, 107 * 9);
    EXPECT_EQ(t.failures(), 0) << t.summary();
}

}  // namespace
