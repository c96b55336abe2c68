// Buffers at the rate of the session: WAV files, banks and host chunks at other rates are
// converted to the working rate on load (duration and pitch kept), audio at the working
// rate keeps its bits, a host's new rate converts the buffers through the deferred work,
// and what is written says the buffer's own rate.
//
// Some cases need the WAV reader of every rate and depth, or the writer of other rates:
// until those are in, they are skipped with that reason (a 48 or 96 kHz file refused with
// code 10, a Save Wav at 48 kHz refused with code 2).

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "editor/file_commands.h"
#include "persistence/bank_file.h"
#include "persistence/wave_file.h"
#include "plugin/grain_effect.h"
#include "platform/scripted_dialogs.h"
#include "test_util.h"
#include "tests/support/buffer_fill.h"
#include "tests/support/scripted_host.h"
#include "tests/support/tone_wave.h"

#if GW_TEST_SNDFILE
#include <sndfile.h>
#endif

namespace {

using namespace grainwheel;
using grainwheel::test::TempDir;
using gwtest::hostCallback;

constexpr double kPi = 3.14159265358979323846;
constexpr double kTone = 1000.0;

using gwtest::writeToneWave;

// The frequency of a sine in x (frames at `rate`): from the first to the last rising zero
// crossing, each placed between its two frames.
double measuredFrequency(const float* x, int frames, double rate) {
    double first = -1.0, last = -1.0;
    int crossings = 0;
    for (int i = 1; i < frames; ++i) {
        if (x[i - 1] < 0.0f && x[i] >= 0.0f) {
            const double at = (i - 1) + x[i - 1] / static_cast<double>(x[i - 1] - x[i]);
            if (first < 0.0) first = at;
            last = at;
            ++crossings;
        }
    }
    if (crossings < 2) return 0.0;
    return (crossings - 1) * rate / (last - first);
}

class RatesTest : public ::testing::Test {
protected:
    void SetUp() override {
        gwtest::scriptedHost().reset();
        gwtest::scriptedHost().directory = dir.path();
        scoped = std::make_unique<platform::ScopedDialogs>(dialogs);
    }
    void TearDown() override {
        scoped.reset();
        gwtest::scriptedHost().reset();
    }
    // An effect whose host runs at `rate`.
    std::unique_ptr<GrainEffect> session(float rate) {
        auto fx = std::make_unique<GrainEffect>(&hostCallback);
        fx->suspend();
        fx->setSampleRate(rate);
        fx->resume();
        return fx;
    }
    // Buffer n's frames, rate, its record's rate and the frequency of its left channel.
    struct Seen {
        int frames = 0;
        int rate = 0;
        int recordRate = 0;
        double frequency = 0.0;
    };
    static Seen seen(GrainEffect& fx, int n) {
        const BufferFrames f = framesOf(fx.engine().buffers().buffer(n));
        Seen s;
        s.frames = f.length;
        s.rate = fx.engine().bufferRate(n);
        s.recordRate = recordedRate(fx.engine().programs().record(n));
        s.frequency = f.empty() ? 0.0 : measuredFrequency(f.left, f.length, s.rate);
        return s;
    }
    // Checks that buffer n holds `seconds` of the tone at the session's rate.
    static void expectToneAt(GrainEffect& fx, int n, int sourceFrames, int sourceRate, int sessionRate) {
        const Seen s = seen(fx, n);
        EXPECT_EQ(s.rate, sessionRate);
        EXPECT_EQ(s.recordRate, sessionRate);
        const double want = static_cast<double>(sourceFrames) * sessionRate / sourceRate;
        EXPECT_LE(std::fabs(s.frames - want), 1.0) << s.frames << " frames for " << want;
        // A fraction of the 1 Hz bin of a one-second transform.
        EXPECT_NEAR(s.frequency, kTone, 0.25);
    }

    TempDir dir;
    platform::ScriptedDialogs dialogs;
    std::unique_ptr<platform::ScopedDialogs> scoped;
};

// 48 and 96 kHz files in 44.1 and 48 kHz sessions (and a 44.1 kHz file in both); a file at
// the session's rate is taken sample for sample.
TEST_F(RatesTest, WaveFilesKeepTheirDurationAndPitchInEverySession) {
    for (const int fileRate : {44100, 48000, 96000}) {
        const std::string path = dir.file("tone" + std::to_string(fileRate) + ".wav");
        writeToneWave(path, fileRate, fileRate);  // one second
        for (const int sessionRate : {44100, 48000}) {
            SCOPED_TRACE(std::to_string(fileRate) + " Hz file, " + std::to_string(sessionRate) + " Hz session");
            auto fx = session(static_cast<float>(sessionRate));
            fx->engine().selectBuffer(3);
            ASSERT_EQ(fx->files().readWaveFile(path.c_str()), kFileOk);
            expectToneAt(*fx, 3, fileRate, fileRate, sessionRate);
            if (fileRate == sessionRate) {
                SampleArrays file;
                ASSERT_EQ(readWaveFile(path.c_str(), file), kFileOk);
                const BufferFrames f = framesOf(fx->engine().buffers().buffer(3));
                ASSERT_EQ(f.length, file.length);
                EXPECT_EQ(std::memcmp(f.left, file.left.get(), sizeof(float) * (f.length + 1)), 0);
            }
            // The seconds on the buffer's line, at its own rate.
            const std::string line = bufferInfoLine(path.c_str(), seen(*fx, 3).frames,
                                                    static_cast<float>(seen(*fx, 3).rate), true);
            EXPECT_NE(line.find("[1.000 sec audio]"), std::string::npos) << line;
        }
    }
}

TEST_F(RatesTest, SaveWavWritesTheBuffersOwnRate) {
    auto fx = session(48000.0f);
    gwtest::fillBuffer(*fx, 0, 4800, [](int i) { return 0.5 * std::sin(2.0 * kPi * kTone * i / 48000.0); });
    EXPECT_EQ(fx->engine().bufferRate(0), 48000);
    const std::string path = dir.file("saved48.wav");
    ASSERT_EQ(fx->files().writeWaveFile(path.c_str()), kFileOk);
#if GW_TEST_SNDFILE
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    EXPECT_EQ(info.samplerate, 48000);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.frames, 4800);
    EXPECT_EQ(info.format & SF_FORMAT_SUBMASK, SF_FORMAT_PCM_16);
    sf_close(f);
#endif
    // Loaded again into a 44.1 kHz session: the same tenth of a second.
    auto other = session(44100.0f);
    ASSERT_EQ(other->files().readWaveFile(path.c_str()), kFileOk);
    expectToneAt(*other, 0, 4800, 48000, 44100);
}

// Records written before buffers had a rate (the bytes 0) are 44.1 kHz audio: at 44.1 kHz
// a bank loads exactly as it did, record bytes and samples alike.
TEST_F(RatesTest, BanksFromBeforeLoadExactlyAsBefore) {
    std::array<ProgramRecord, kNumPrograms> records;
    for (ProgramRecord& r : records) r.initialise();
    std::vector<float> left(30001), right(30001);
    for (int i = 0; i < 30000; ++i) {
        left[i] = static_cast<float>(0.5 * std::sin(2.0 * kPi * kTone * i / 44100.0));
        right[i] = 0.25f * static_cast<float>(i % 97) / 97.0f;
    }
    BufferView views[kNumPrograms] = {};
    views[2] = BufferView{left.data(), right.data(), 30000};
    const std::string path = dir.file("old.grb");
    ASSERT_EQ(writeBankFile(path.c_str(), records, views), kFileOk);
    const auto bytes = test::readFile(path);
    for (int k = 0; k < kNumPrograms; ++k)
        for (int i = 0; i < 3; ++i) ASSERT_EQ(bytes[20 + 1884 * k + 1457 + i], 0);

    auto fx = session(44100.0f);
    ASSERT_EQ(fx->files().readBankFile(path.c_str()), kFileOk);
    const BufferFrames f = framesOf(fx->engine().buffers().buffer(2));
    ASSERT_EQ(f.length, 30000);
    EXPECT_EQ(std::memcmp(f.left, left.data(), 30000 * sizeof(float)), 0);
    EXPECT_EQ(std::memcmp(f.right, right.data(), 30000 * sizeof(float)), 0);
    EXPECT_EQ(fx->engine().bufferRate(2), 44100);
    // Saved again: the same bytes (the rate of 44.1 kHz audio is written as 0).
    const std::string again = dir.file("again.grb");
    ASSERT_EQ(fx->files().writeBankFile(again.c_str()), kFileOk);
    const auto rewritten = test::readFile(again);
    ASSERT_EQ(rewritten.size(), bytes.size());
    for (int k = 0; k < kNumPrograms; ++k)
        for (int i = 0; i < 3; ++i) EXPECT_EQ(rewritten[20 + 1884 * k + 1457 + i], 0) << k;
    EXPECT_EQ(std::memcmp(rewritten.data() + kBankRecordsEnd, bytes.data() + kBankRecordsEnd,
                          bytes.size() - kBankRecordsEnd),
              0)
        << "the audio blocks";

    // The same bank in a 48 kHz session: converted, duration and pitch kept.
    auto at48 = session(48000.0f);
    ASSERT_EQ(at48->files().readBankFile(path.c_str()), kFileOk);
    expectToneAt(*at48, 2, 30000, 44100, 48000);
}

TEST_F(RatesTest, BankSavedAt48kKeepsPitchAndDurationAt44k) {
    auto a = session(48000.0f);
    gwtest::fillBuffer(*a, 5, 48000, [](int i) { return 0.5 * std::sin(2.0 * kPi * kTone * i / 48000.0); });
    gwtest::fillBuffer(*a, 9, 24000, [](int i) { return 0.5 * std::sin(2.0 * kPi * kTone * i / 48000.0); });
    const std::string path = dir.file("at48.grb");
    ASSERT_EQ(a->files().writeBankFile(path.c_str()), kFileOk);
    const auto bytes = test::readFile(path);
    for (int k = 0; k < kNumPrograms; ++k) {
        const std::uint8_t* at = bytes.data() + 20 + 1884 * k + 1457;
        EXPECT_EQ(at[0] | at[1] << 8 | at[2] << 16, k == 5 || k == 9 ? 48000 : 0) << k;
    }

    auto b = session(44100.0f);
    ASSERT_EQ(b->files().readBankFile(path.c_str()), kFileOk);
    expectToneAt(*b, 5, 48000, 48000, 44100);
    expectToneAt(*b, 9, 24000, 48000, 44100);
    // The program records say so too (the host chunk carries them).
    void* chunk = nullptr;
    ASSERT_EQ(b->getChunk(&chunk, false), static_cast<VstInt32>(kBankChunkSize));
    EXPECT_EQ(recordedRate(static_cast<const ProgramRecord*>(chunk)[5]), 44100);

    // Back in a 48 kHz session: the bank's own samples, untouched.
    auto c = session(48000.0f);
    ASSERT_EQ(c->files().readBankFile(path.c_str()), kFileOk);
    const BufferFrames x = framesOf(a->engine().buffers().buffer(5)), y = framesOf(c->engine().buffers().buffer(5));
    ASSERT_EQ(x.length, y.length);
    EXPECT_EQ(std::memcmp(x.left, y.left, sizeof(float) * (x.length + 1)), 0);
}

// A host chunk from before: its records (rate bytes 0) name a 44.1 kHz file, which loads
// sample for sample at 44.1 kHz and converted at 48 kHz.
TEST_F(RatesTest, ChunkRestoreLoadsItsFilesAtTheWorkingRate) {
    const std::string path = dir.file("chunk.wav");
    writeToneWave(path, 44100, 22050);
    std::array<ProgramRecord, kNumPrograms> records;
    for (ProgramRecord& r : records) r.initialise();
    std::snprintf(records[7].bufferPath, kPathSize, "%s", path.c_str());
    records[7].bufferRate[0] = 0x80;  // the chunk's word is the file's: its header wins
    records[7].bufferRate[1] = 0xbb;

    auto fx = session(44100.0f);
    ASSERT_EQ(fx->setChunk(records.data(), static_cast<VstInt32>(kBankChunkSize), false), 1);
    SampleArrays file;
    ASSERT_EQ(readWaveFile(path.c_str(), file), kFileOk);
    const BufferFrames f = framesOf(fx->engine().buffers().buffer(7));
    ASSERT_EQ(f.length, 22050);
    EXPECT_EQ(std::memcmp(f.left, file.left.get(), sizeof(float) * 22051), 0);
    EXPECT_EQ(recordedRate(fx->engine().programs().record(7)), 44100) << "the record tells the buffer's rate";

    auto at48 = session(48000.0f);
    ASSERT_EQ(at48->setChunk(records.data(), static_cast<VstInt32>(kBankChunkSize), false), 1);
    expectToneAt(*at48, 7, 22050, 44100, 48000);
}

// A VST 2 host restoring a 48 kHz session: the rate first, then the chunk, then resume.
// The files at 48 kHz are taken as they are, not converted to the rate before and back.
TEST_F(RatesTest, ChunkRestoredBeforeResumeIsTakenAtTheHostsNewRate) {
    const std::string path = dir.file("at48.wav");
    writeToneWave(path, 48000, 24000);
    std::array<ProgramRecord, kNumPrograms> records;
    for (ProgramRecord& r : records) r.initialise();
    std::snprintf(records[2].bufferPath, kPathSize, "%s", path.c_str());

    auto fx = std::make_unique<GrainEffect>(&hostCallback);  // constructed at 44.1 kHz
    fx->suspend();
    fx->setSampleRate(48000.0f);
    ASSERT_EQ(fx->setChunk(records.data(), static_cast<VstInt32>(kBankChunkSize), false), 1);
    fx->resume();
    fx->engine().runDeferred();
    SampleArrays file;
    ASSERT_EQ(readWaveFile(path.c_str(), file), kFileOk);
    const BufferFrames f = framesOf(fx->engine().buffers().buffer(2));
    ASSERT_EQ(f.length, 24000);
    EXPECT_EQ(fx->engine().bufferRate(2), 48000);
    EXPECT_EQ(std::memcmp(f.left, file.left.get(), sizeof(float) * 24001), 0) << "converted there and back";
}

// The host changes the rate between suspend and resume: resume converts the current
// buffer (a take may go on in it), the deferred work the others, never a block.
TEST_F(RatesTest, ResumeAtANewRateConvertsTheBuffersThroughTheDeferredWork) {
    auto fx = session(44100.0f);
    gwtest::fillBuffer(*fx, 0, 44100, [](int i) { return 0.5 * std::sin(2.0 * kPi * kTone * i / 44100.0); });
    gwtest::fillBuffer(*fx, 4, 10000, [](int i) { return 0.5 * std::sin(2.0 * kPi * kTone * i / 44100.0); });
    fx->engine().markBufferSaved(4);
    EXPECT_FALSE(fx->engine().hasDeferred());
    ASSERT_EQ(fx->engine().getCurrentBuffer(), 0);
    fx->suspend();
    fx->setSampleRate(96000.0f);
    fx->resume();
    EXPECT_TRUE(fx->engine().hasDeferred());
    EXPECT_EQ(fx->engine().bufferRate(0), 96000) << "resume converts the current buffer";
    EXPECT_EQ(fx->engine().bufferRate(4), 44100) << "and no other";
    // Meanwhile the buffer's line counts its seconds at its own rate.
    EXPECT_EQ(fx->makeEditorPort()->bufferRate(4), 44100.0f);
    float in[64] = {}, outL[64], outR[64];
    float* ins[2] = {in, in};
    float* outs[2] = {outL, outR};
    fx->processReplacing(ins, outs, 64);
    EXPECT_EQ(fx->engine().bufferRate(4), 44100) << "nor does a block";

    EXPECT_TRUE(fx->engine().runDeferred());
    expectToneAt(*fx, 0, 44100, 44100, 96000);
    expectToneAt(*fx, 4, 10000, 44100, 96000);
    EXPECT_EQ(fx->engine().buffers().buffer(4).saved.load(), 1) << "its file still holds its audio";
    EXPECT_EQ(fx->makeEditorPort()->bufferRate(4), 96000.0f);
    EXPECT_FALSE(fx->engine().hasDeferred());

    // Back at 96 kHz after a suspend: nothing to do.
    fx->suspend();
    fx->resume();
    EXPECT_FALSE(fx->engine().hasDeferred());
}

// Longer audio than a buffer holds after the conversion is cut to kMaxBufferFrames.
TEST_F(RatesTest, ConversionKeepsTheBufferCap) {
    auto fx = session(44100.0f);
    gwtest::fillBuffer(*fx, 1, kMaxBufferFrames, [](int i) { return 0.5 * std::sin(0.01 * i); });
    fx->suspend();
    fx->setSampleRate(96000.0f);
    fx->resume();
    fx->engine().runDeferred();
    // The input is cut so that its conversion fits: within one input frame's worth.
    EXPECT_LE(fx->engine().bufferLength(1), kMaxBufferFrames);
    EXPECT_GE(fx->engine().bufferLength(1), kMaxBufferFrames - 3);
    EXPECT_EQ(fx->engine().bufferRate(1), 96000);
}

}  // namespace
