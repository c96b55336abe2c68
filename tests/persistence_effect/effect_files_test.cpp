// The effect's file operations end to end: banks, WAV files, the host chunk's session
// restore, closing with unsaved audio and the recent-bank list.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "engine/engine_inspection.h"
#include "plugin/grain_effect.h"
#include "persistence/bank_file.h"
#include "persistence/messages.h"
#include "persistence/recovery_banks.h"
#include "platform/ask_capability.h"
#include "platform/default_dialogs.h"
#include "platform/scripted_dialogs.h"
#include "test_util.h"
#include "tests/support/buffer_fill.h"
#include "tests/support/notice_recorder.h"
#include "tests/support/scripted_host.h"

namespace {

using namespace grainwheel;
using grainwheel::test::Bytes;
using grainwheel::test::readFile;
using grainwheel::test::ScopedEnvironment;
using grainwheel::test::ScopedFixedFile;
using grainwheel::test::TempDir;
using grainwheel::test::writeFile;

using gwtest::hostCallback;

// A back end with nobody to ask: no display, no dialog program.
class NoDesktop final : public platform::Dialogs, public platform::AskCapability {
public:
    bool canAsk() const override { return false; }
    bool askYesNo(const char*, const char*) override { ++questions; return false; }
    void showMessage(const char*, const char*) override { ++messages; }
    bool selectFile(const platform::FileSelectRequest&, char*) override { return false; }
    int questions = 0;
    int messages = 0;
};

class EffectFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        gwtest::scriptedHost().reset();
        gwtest::scriptedHost().directory = dir.path();
        dataHome = std::make_unique<ScopedEnvironment>("XDG_DATA_HOME", dir.file("data"));
        scoped = std::make_unique<platform::ScopedDialogs>(dialogs);
        fx = std::make_unique<GrainEffect>(&hostCallback);
    }
    void TearDown() override {
        fx.reset();
        scoped.reset();
        dataHome.reset();
        gwtest::scriptedHost().reset();
    }

    // The bank an exit save falls back to (suffix "-2" for the second one): the Windows
    // build's fixed "C:\lastsession.grb", or one in the data folder set up above.
    std::string fallbackBank(const std::string& suffix = "") const {
#ifdef _WIN32
        return "C:\\lastsession" + suffix + ".grb";
#else
        return dir.file("data/grainwheel/lastsession" + suffix + ".grb");
#endif
    }

    // Fills buffer n with frames of noise from seed and marks it unsaved.
    void fill(GrainEffect& e, int n, int frames, unsigned seed) { gwtest::fillUnsavedNoise(e, n, frames, seed); }
    bool sameAudio(GrainEffect& a, GrainEffect& b, int n) {
        const BufferFrames x = framesOf(a.engine().buffers().buffer(n));
        const BufferFrames y = framesOf(b.engine().buffers().buffer(n));
        if (x.length != y.length) return false;
        if (x.length == 0) return x.left == nullptr && y.left == nullptr;
        const auto bytes = static_cast<std::size_t>(x.length + 1) * sizeof(float);
        return std::memcmp(x.left, y.left, bytes) == 0 && std::memcmp(x.right, y.right, bytes) == 0;
    }
    int savedCount(GrainEffect& e) {
        int n = 0;
        for (int k = 0; k < kNumBuffers; ++k) n += e.engine().buffers().buffer(k).saved == 1;
        return n;
    }
    TempDir dir;
    std::unique_ptr<ScopedEnvironment> dataHome;
    platform::ScriptedDialogs dialogs;
    std::unique_ptr<platform::ScopedDialogs> scoped;
    std::unique_ptr<GrainEffect> fx;
};

// --- banks ----------------------------------------------------------------------------

TEST_F(EffectFilesTest, SixteenFullBuffersSurviveABankBitExact) {
    for (int k = 0; k < kNumBuffers; ++k) fill(*fx, k, 1000 + 37 * k, 100u + static_cast<unsigned>(k));
    fx->setProgram(5);
    const std::string path = dir.file("all.grb");
    ASSERT_EQ(fx->files().writeBankFile(path.c_str()), 0);
    EXPECT_EQ(savedCount(*fx), 16);
    for (int k = 0; k < kNumPrograms; ++k) EXPECT_EQ(fx->engine().programs().records()[k].bufferSaved, 1);
    std::uint64_t frames = 0;
    for (int k = 0; k < kNumBuffers; ++k) frames += 1000 + 37 * k;
    EXPECT_EQ(readFile(path).size(), 20 + 16 * 1884 + 16 * 8 + 8 * frames);
    EXPECT_TRUE(dialogs.questions.empty());

    GrainEffect other(&hostCallback);
    ASSERT_EQ(other.files().readBankFile(path.c_str()), 0);
    EXPECT_TRUE(dialogs.questions.empty()) << "every buffer of the new effect was saved";
    for (int k = 0; k < kNumBuffers; ++k) EXPECT_TRUE(sameAudio(*fx, other, k)) << k;
    EXPECT_EQ(other.getProgram(), 5);
    EXPECT_EQ(savedCount(other), 16);
    EXPECT_EQ(other.engine().getCurrentBuffer(), static_cast<int>(other.engine().programs().records()[5].bufferNumber));
    const BufferFrames cur = framesOf(other.engine().buffers().buffer(other.engine().getCurrentBuffer()));
    EXPECT_EQ(cur.left[cur.length], cur.left[0]);
}

TEST_F(EffectFilesTest, OverwritingABankAsksAndNoKeepsTheFile) {
    const std::string path = dir.file("old.grb");
    writeFile(path, Bytes{'o', 'l', 'd'});
    fill(*fx, 2, 500, 7);
    EXPECT_EQ(fx->files().writeBankFile(path.c_str()), 1);
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0].title, "grainwheel - confirm overwrite file");
    EXPECT_EQ(dialogs.questions[0].text, "Overwrite existing file ?");
    EXPECT_EQ(readFile(path), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(fx->engine().buffers().buffer(2).saved, 0);

    dialogs.queueAnswer(true);
    EXPECT_EQ(fx->files().writeBankFile(path.c_str()), 0);
    EXPECT_EQ(readFile(path).size(), 30292u + 8u * 500u);
    EXPECT_EQ(fx->engine().buffers().buffer(2).saved, 1);
}

TEST_F(EffectFilesTest, FailedBankWriteLeavesBuffersUnsaved) {
    fill(*fx, 3, 100, 9);
    const std::string path = dir.file("missing-folder/x.grb");
    EXPECT_EQ(fx->files().writeBankFile(path.c_str()), 2);
    EXPECT_EQ(fx->engine().buffers().buffer(3).saved, 0);
}

TEST_F(EffectFilesTest, BufferQuestionOnLoadYesReplacesNoKeepsAudio) {
    GrainEffect writer(&hostCallback);
    fill(writer, 0, 300, 1);
    std::snprintf(writer.engine().programs().records()[4].name, kProgramNameSize, "from file");
    const std::string path = dir.file("bank.grb");
    ASSERT_EQ(writer.files().writeBankFile(path.c_str()), 0);

    fill(*fx, 0, 50, 2);
    fill(*fx, 1, 60, 3);
    dialogs.queueAnswer(false);
    ASSERT_EQ(fx->files().readBankFile(path.c_str()), 0);
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0].title, "grainwheel - confirm overwrite buffer");
    EXPECT_EQ(dialogs.questions[0].text,
              "Overwrite existing data in every audiobuffer ?\n       (some buffers are not saved yet)");
    EXPECT_STREQ(fx->engine().programs().records()[4].name, "from file");
    EXPECT_EQ(framesOf(fx->engine().buffers().buffer(0)).length, 50);
    EXPECT_EQ(fx->engine().buffers().buffer(0).saved, 0);
    EXPECT_EQ(fx->engine().programs().records()[0].bufferSaved, 0) << "the records follow the audio kept";
    EXPECT_EQ(fx->engine().programs().records()[1].bufferSaved, 0);

    const auto& notices = gwtest::NoticeRecorder::replaceEditorOf(*fx);
    dialogs.queueAnswer(true);
    ASSERT_EQ(fx->files().readBankFile(path.c_str()), 0);
    EXPECT_TRUE(sameAudio(writer, *fx, 0));
    EXPECT_EQ(framesOf(fx->engine().buffers().buffer(1)).length, 0);
    EXPECT_EQ(savedCount(*fx), 16);
    EXPECT_TRUE(notices.heard(kRedrawAll));
    EXPECT_TRUE(notices.heard(kBuffersChanged));
    EXPECT_EQ(EngineInspection::sequencer(fx->engine()).halted, 0);
}

// Deliberately all or nothing (the documented reader kept the records and the buffers read
// before a failing block): no failure changes a program or a buffer.
TEST_F(EffectFilesTest, BankReadFailuresChangeNothing) {
    fill(*fx, 0, 64, 5);
    std::snprintf(fx->engine().programs().records()[2].name, kProgramNameSize, "mine");
    EXPECT_EQ(fx->files().readBankFile(dir.file("none.grb").c_str()), 23);
    writeFile(dir.file("magic.grb"), Bytes{'G', 'R', 'B', 'X', 3, 0, 4, 0});
    EXPECT_EQ(fx->files().readBankFile(dir.file("magic.grb").c_str()), 20);
    Bytes v{'G', 'R', 'B', ' ', 3, 0, 5, 0, 16, 0, 0, 0, 16, 0, 0, 0, 'P', 'R', 'O', 'G'};
    writeFile(dir.file("version.grb"), v);
    EXPECT_EQ(fx->files().readBankFile(dir.file("version.grb").c_str()), 22);
    EXPECT_EQ(fx->files().importBankOptions(dir.file("version.grb").c_str()), 22);
    // Records complete, then a block with another id.
    v[6] = 4;
    v.resize(20 + 16 * 1884, 0);
    grainwheel::test::putId(v, "WAVX");
    grainwheel::test::put32(v, 0);
    writeFile(dir.file("block.grb"), v);
    EXPECT_EQ(fx->files().readBankFile(dir.file("block.grb").c_str()), 21);
    EXPECT_EQ(fx->files().readBankFile(std::string(1024, 'a').c_str()), 24);
    EXPECT_EQ(fx->files().writeBankFile(std::string(1024, 'a').c_str()), 24);
    EXPECT_STREQ(fx->engine().programs().records()[2].name, "mine");
    EXPECT_EQ(framesOf(fx->engine().buffers().buffer(0)).length, 64);
    EXPECT_EQ(EngineInspection::sequencer(fx->engine()).halted, 0);
    EXPECT_TRUE(dialogs.questions.empty());
}

TEST_F(EffectFilesTest, ImportOptionsTakesOnlyTheGlobalSettings) {
    GrainEffect writer(&hostCallback);
    writer.setParameter(kFirstSetting + 5, 2.0f);  // playback mode
    writer.setParameter(kFirstSetting + 1, 4.0f);  // speed fader range "pure position"
    std::snprintf(writer.engine().programs().records()[1].name, kProgramNameSize, "other");
    const std::string path = dir.file("opts.grb");
    ASSERT_EQ(writer.files().writeBankFile(path.c_str()), 0);
    const ProgramRecord before = fx->engine().programs().records()[1];
    fx->setParameter(kSpeed, 0.5f);
    ASSERT_EQ(fx->files().importBankOptions(path.c_str()), 0);
    EXPECT_EQ(fx->engine().programs().records()[0].globalSettings[kPlaybackMode], 2.0f);
    // Stored and live: the engine and the texts follow the imported settings at once.
    EXPECT_EQ(fx->engine().parameters().settings[kPlaybackMode], 2.0f);
    EXPECT_EQ(fx->engine().parameters().settings[kSpeedFaderRange], 4.0f);
    char text[16];
    fx->getParameterDisplay(kSpeed, text);
    EXPECT_STREQ(text, " 50 %");
    EXPECT_EQ(std::memcmp(&before, &fx->engine().programs().records()[1], sizeof before), 0);
    EXPECT_EQ(fx->files().importBankOptions(dir.file("none.grb").c_str()), 23);
}

TEST_F(EffectFilesTest, WildSettingsFromAFileAreSafeToPlay) {
    GrainEffect writer(&hostCallback);
    const float wild[] = {std::nanf(""), 1.0e30f, -5.0f, 3.7e9f, -1.0e30f, 99.0f, 7.5f, -0.0f, 1.0e9f, 1000.0f};
    std::memcpy(writer.engine().programs().records()[0].globalSettings, wild, sizeof wild);
    const std::string path = dir.file("wild.grb");
    ASSERT_EQ(writer.files().writeBankFile(path.c_str()), 0);
    fill(*fx, fx->engine().getCurrentBuffer(), 30000, 3);
    ASSERT_EQ(fx->files().importBankOptions(path.c_str()), 0);
    fx->engine().selectBuffer(fx->engine().getCurrentBuffer());
    float inL[512] = {}, inR[512] = {}, outL[512], outR[512];
    float* in[2] = {inL, inR};
    float* out[2] = {outL, outR};
    for (int block = 0; block < 200; ++block) {
        fx->processReplacing(in, out, 512);
        for (int i = 0; i < 512; ++i) {
            // The soft clipper keeps every finite sum below 1.2 in magnitude.
            ASSERT_TRUE(std::isfinite(outL[i]) && std::fabs(outL[i]) < 1.2f) << block << " " << i;
            ASSERT_TRUE(std::isfinite(outR[i]) && std::fabs(outR[i]) < 1.2f) << block << " " << i;
        }
    }
    EXPECT_GE(EngineInspection::sequencer(fx->engine()).voiceCount, 1);
    EXPECT_LE(EngineInspection::sequencer(fx->engine()).voiceCount, 6);
    EXPECT_GE(fx->engine().getCurrentBuffer(), 0);
    EXPECT_LT(fx->engine().getCurrentBuffer(), kNumBuffers);
    for (int i = 0; i <= kLastSetting; ++i) {
        char text[16 + 8];
        std::memset(text, 0x5A, sizeof text);
        text[0] = 0;
        fx->getParameterDisplay(i, text);
        EXPECT_NE(std::memchr(text, 0, 16), nullptr) << i;
        for (std::size_t k = 16; k < sizeof text; ++k) ASSERT_EQ(text[k], 0x5A) << i;
    }
}

// --- WAV files ------------------------------------------------------------------------

TEST_F(EffectFilesTest, BufferThroughWavWithinTheSixteenBitStep) {
    fill(*fx, fx->engine().getCurrentBuffer(), 4410, 11);
    const int n = fx->engine().getCurrentBuffer();
    const std::string path = dir.file("take.wav");
    ASSERT_EQ(fx->files().writeWaveFile(path.c_str()), 0);
    EXPECT_EQ(readFile(path).size(), 44u + 4u * 4410u);
    EXPECT_EQ(fx->engine().buffers().buffer(n).saved, 1);
    EXPECT_STREQ(fx->engine().programs().records()[n].bufferPath, path.c_str());

    GrainEffect other(&hostCallback);
    ASSERT_EQ(other.files().readWaveFile(path.c_str()), 0);
    const int m = other.engine().getCurrentBuffer();
    const BufferFrames a = framesOf(fx->engine().buffers().buffer(n));
    const BufferFrames b = framesOf(other.engine().buffers().buffer(m));
    ASSERT_EQ(b.length, 4410);
    for (int i = 0; i < a.length; ++i) {
        ASSERT_NEAR(a.left[i], b.left[i], 1.0 / 32767.0) << i;
        ASSERT_NEAR(a.right[i], b.right[i], 1.0 / 32767.0) << i;
    }
    EXPECT_EQ(b.left[b.length], b.left[0]);
    EXPECT_EQ(other.engine().buffers().buffer(m).saved, 1);
    EXPECT_STREQ(other.engine().programs().records()[m].bufferPath, path.c_str());
    EXPECT_EQ(EngineInspection::sequencer(other.engine()).halted, 0);
}

TEST_F(EffectFilesTest, WavCodesAtTheEffect) {
    const int n = fx->engine().getCurrentBuffer();
    fx->engine().replaceBufferArrays(n, nullptr, nullptr, 0);
    EXPECT_EQ(fx->files().writeWaveFile(dir.file("empty.wav").c_str()), 3);
    EXPECT_FALSE(std::filesystem::exists(dir.file("empty.wav")));
    fill(*fx, n, 10, 4);
    writeFile(dir.file("old.wav"), Bytes{1, 2});
    EXPECT_EQ(fx->files().writeWaveFile(dir.file("old.wav").c_str()), 1);
    EXPECT_EQ(readFile(dir.file("old.wav")), (Bytes{1, 2}));
    EXPECT_EQ(fx->engine().buffers().buffer(n).saved, 0);
    EXPECT_EQ(fx->files().writeWaveFile(dir.file("no/folder.wav").c_str()), 2);
    EXPECT_EQ(fx->files().readWaveFile(dir.file("old.wav").c_str()), 4);
    EXPECT_EQ(fx->files().readWaveFile(dir.file("none.wav").c_str()), 23);
    EXPECT_EQ(fx->files().readWaveFile(std::string(1100, 'w').c_str()), 24);
    EXPECT_EQ(framesOf(fx->engine().buffers().buffer(n)).length, 10) << "header failures change nothing";
}

// --- host chunk -----------------------------------------------------------------------

TEST_F(EffectFilesTest, BankChunkReloadsExistingMissingAndTooLongPaths) {
    GrainEffect writer(&hostCallback);
    fill(writer, writer.engine().getCurrentBuffer(), 2000, 21);
    const int n = writer.engine().getCurrentBuffer();
    const std::string wav = dir.file("b.wav");
    ASSERT_EQ(writer.files().writeWaveFile(wav.c_str()), 0);
    writer.setProgram(3);
    void* data = nullptr;
    ASSERT_EQ(writer.getChunk(&data, false), 30144);
    Bytes chunk(static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + 30144);
    const std::string missing = dir.file("gone.wav");
    std::memcpy(&chunk[5 * 1884], missing.c_str(), missing.size() + 1);
    std::memset(&chunk[9 * 1884], 'x', 1024);  // no terminator

    fill(*fx, 5, 77, 3);  // stays as it was: its file is gone
    EXPECT_EQ(fx->setChunk(chunk.data(), 30143, false), 0);
    ASSERT_EQ(fx->setChunk(chunk.data(), 30144, false), 1);
    ASSERT_EQ(framesOf(fx->engine().buffers().buffer(n)).length, 2000);
    // The WAV file keeps 16 bits: the reloaded audio is the written one within one step.
    const BufferFrames written = framesOf(writer.engine().buffers().buffer(n));
    const BufferFrames reloaded = framesOf(fx->engine().buffers().buffer(n));
    for (int i = 0; i <= 2000; ++i) {
        ASSERT_NEAR(reloaded.left[i], written.left[i], 1.0f / 32767.0f) << i;
        ASSERT_NEAR(reloaded.right[i], written.right[i], 1.0f / 32767.0f) << i;
    }
    EXPECT_EQ(framesOf(fx->engine().buffers().buffer(5)).length, 77);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].title, "grainwheel - Error recovering last session");
    EXPECT_EQ(dialogs.messages[0].text,
              "Error loading these files :\n\n" + missing + "\n(-filename too long-)\n");
    EXPECT_TRUE(dialogs.questions.empty());
    EXPECT_EQ(fx->getProgram(), 3);
    EXPECT_EQ(fx->engine().getCurrentBuffer(), static_cast<int>(fx->engine().programs().records()[3].bufferNumber));
    EXPECT_STREQ(fx->files().state().bankName, wav.c_str()) << "the last successful reload";
    EXPECT_EQ(fx->files().state().restoringState, 0);
    EXPECT_EQ(fx->engine().programs().records()[9].bufferPath[0], 0) << "a path without end is not kept";
}

TEST_F(EffectFilesTest, BankChunkWithEmptyPathsShowsNothing) {
    void* data = nullptr;
    GrainEffect source(&hostCallback);
    for (int k = 0; k < kNumPrograms; ++k) source.engine().programs().records()[k].bufferPath[0] = 0;
    source.getChunk(&data, false);
    Bytes chunk(static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + 30144);
    ASSERT_EQ(fx->setChunk(chunk.data(), 30144, false), 1);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_STREQ(fx->files().state().bankName, "grainwheel v0.9 beta");
}

TEST_F(EffectFilesTest, ProgramChunkKeepsTheCurrentProgram) {
    fx->setProgram(0);
    ProgramRecord r = fx->engine().programs().records()[0];
    r.currentProgram = 9;
    std::snprintf(r.name, kProgramNameSize, "chunked");
    EXPECT_EQ(fx->setChunk(&r, 1883, true), 0);
    ASSERT_EQ(fx->setChunk(&r, 1884, true), 1);
    EXPECT_EQ(fx->getProgram(), 0);
    EXPECT_EQ(fx->engine().programs().records()[0].currentProgram, 0);
    EXPECT_STREQ(fx->engine().programs().records()[0].name, "chunked");
}

// A program chunk replaces the current program's record, whichever that is, and no other.
TEST_F(EffectFilesTest, ProgramChunkGoesIntoTheCurrentProgramsRecord) {
    fx->setProgram(5);
    const ProgramRecord first = fx->engine().programs().records()[0];
    ProgramRecord r = fx->engine().programs().records()[5];
    std::snprintf(r.name, kProgramNameSize, "into five");
    r.reso = 0.66f;
    ASSERT_EQ(fx->setChunk(&r, 1884, true), 1);
    EXPECT_EQ(fx->getProgram(), 5);
    EXPECT_STREQ(fx->engine().programs().records()[5].name, "into five");
    EXPECT_FLOAT_EQ(fx->getParameter(kReso), 0.66f);
    EXPECT_EQ(std::memcmp(&first, &fx->engine().programs().records()[0], sizeof first), 0);
}

// --- closing --------------------------------------------------------------------------

TEST_F(EffectFilesTest, CloseWithEverythingSavedAsksNothing) {
    fx->close();
    EXPECT_TRUE(dialogs.questions.empty());
}

TEST_F(EffectFilesTest, CloseYesRunsTheExitSaveNoSavesNothing) {
    fill(*fx, 6, 123, 8);
    fx->close();
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0].title, "grainwheel - confirm exitus");
    EXPECT_EQ(dialogs.questions[0].text, "audiobuffer(s) are not saved. Save to grb file ?");
    EXPECT_TRUE(dialogs.fileRequests.empty());

    dialogs.queueAnswer(true);
    dialogs.queueFile(dir.file("exit"));
    fx->close();
    ASSERT_EQ(dialogs.fileRequests.size(), 1u);
    EXPECT_EQ(dialogs.fileRequests[0], "Save Bank to");
    EXPECT_EQ(readFile(dir.file("exit.grb")).size(), 30292u + 8u * 123u);
    EXPECT_EQ(fx->engine().buffers().buffer(6).saved, 1);
    EXPECT_STREQ(fx->files().state().bankName, "grainwheel v0.9 beta");
    EXPECT_EQ(fx->files().state().recentBanks.entry(0)[0], 0);
}

TEST_F(EffectFilesTest, CloseYesWithoutEditorStillSaves) {
    AEffEditor* ed = fx->getEditor();
    fx->setEditor(nullptr);
    delete ed;
    fill(*fx, 1, 40, 8);
    dialogs.queueAnswer(true);
    dialogs.queueFile(dir.file("noeditor.grb"));
    fx->close();
    EXPECT_EQ(readFile(dir.file("noeditor.grb")).size(), 30292u + 8u * 40u);
    EXPECT_EQ(fx->engine().buffers().buffer(1).saved, 1);
}

TEST_F(EffectFilesTest, ExitSaveWithTooLongNameFallsBack) {
    const ScopedFixedFile bank(fallbackBank());
    fill(*fx, 6, 10, 8);
    dialogs.queueFile("/" + std::string(1020, 'n'));
    fx->exitSave();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    const std::string& fallback = bank.path();
    EXPECT_EQ(dialogs.messages[0].title, "grainwheel - file operation message");
    EXPECT_EQ(dialogs.messages[0].text, "Filename too long, writing to " + fallback);
    EXPECT_EQ(readFile(fallback).size(), 30292u + 8u * 10u);
    EXPECT_TRUE(dialogs.questions.empty());
}

TEST_F(EffectFilesTest, CloseWithNobodyToAskWritesARecoveryBank) {
    const ScopedFixedFile first(fallbackBank());
    const ScopedFixedFile second(fallbackBank("-2"));
    NoDesktop none;
    platform::setDialogs(&none);
    fill(*fx, 4, 321, 6);
    testing::internal::CaptureStderr();
    fx->close();
    const std::string said = testing::internal::GetCapturedStderr();
    const std::string& bank = first.path();
    EXPECT_EQ(none.questions, 0);
    EXPECT_NE(said.find(bank), std::string::npos) << said;
    EXPECT_EQ(readFile(bank).size(), 30292u + 8u * 321u);

    // A second recovery never replaces the first.
    fill(*fx, 4, 11, 6);
    testing::internal::CaptureStderr();
    fx->close();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(readFile(bank).size(), 30292u + 8u * 321u);
    EXPECT_EQ(readFile(second.path()).size(), 30292u + 8u * 11u);
    platform::setDialogs(&dialogs);

    GrainEffect back(&hostCallback);
    ASSERT_EQ(back.files().readBankFile(bank.c_str()), 0);
    EXPECT_EQ(framesOf(back.engine().buffers().buffer(4)).length, 321);
}

#ifndef _WIN32
// A host that closes the plug-in with unsaved audio again and again, nobody to ask:
// only the newest recovery banks stay, the last one holding the last audio.
TEST_F(EffectFilesTest, RecoveryBanksAreBoundedToTheNewestFew) {
    NoDesktop none;
    platform::setDialogs(&none);
    for (int k = 1; k <= kRecoveryBanksKept + 3; ++k) {
        fill(*fx, 2, 10 * k, static_cast<unsigned>(k));
        testing::internal::CaptureStderr();
        fx->close();
        testing::internal::GetCapturedStderr();
    }
    platform::setDialogs(&dialogs);
    int banks = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.file("data/grainwheel")))
        banks += e.path().extension() == ".grb";
    EXPECT_EQ(banks, kRecoveryBanksKept);
    const std::string newest = fallbackBank("-" + std::to_string(kRecoveryBanksKept + 3));
    EXPECT_EQ(readFile(newest).size(), 30292u + 8u * 10u * (kRecoveryBanksKept + 3));
    EXPECT_FALSE(std::filesystem::exists(fallbackBank()));
}
#endif

TEST(DefaultDialogsTest, CannotAsk) {
    platform::DefaultDialogs fallback;
    EXPECT_FALSE(platform::canAsk(fallback));
    platform::ScriptedDialogs s;
    EXPECT_TRUE(platform::canAsk(s));
}

// --- recent banks ---------------------------------------------------------------------

TEST_F(EffectFilesTest, RecentListIsReadOnEveryResumeAndRecorded) {
    const std::string list = dir.file("grblist.txt");
    EXPECT_STREQ(fx->files().state().listFilePath, list.c_str());
    writeFile(list, Bytes{'a', '#', 'b', '#'});
    fx->resume();
    EXPECT_STREQ(fx->files().state().recentBanks.entry(0), "a");
    EXPECT_STREQ(fx->files().state().recentBanks.entry(1), "b");
    EXPECT_STREQ(fx->files().state().recentBanks.entry(2), "");

    fx->files().recordRecentBank("/banks/new.grb");
    fx->files().recordRecentBank("a");  // already listed: no reordering
    const Bytes written = readFile(list);
    const std::string text(written.begin(), written.end());
    EXPECT_EQ(text, "/banks/new.grb#a#b#" + std::string(17, '#'));

    std::filesystem::remove(list);
    fx->resume();
    EXPECT_STREQ(fx->files().state().recentBanks.entry(0), "") << "a missing list empties the entries";
}

#ifdef _WIN32
TEST_F(EffectFilesTest, ListNextToThePluginWithOrWithoutClosingBackslash) {
    gwtest::scriptedHost().directory = dir.path() + "\\";
    fx->resume();
    EXPECT_STREQ(fx->files().state().listFilePath, dir.file("grblist.txt").c_str());
    fx->files().recordRecentBank("D:\\banks\\a.grb");
    const Bytes written = readFile(dir.file("grblist.txt"));
    EXPECT_EQ(std::string(written.begin(), written.end()), "D:\\banks\\a.grb" + std::string(20, '#'));
}

TEST_F(EffectFilesTest, ListGoesToDriveCWhenTheHostDirectoryHasNoDriveLetter) {
    const ScopedFixedFile list("C:\\grblist.txt");
    for (const char* host : {"vst\\plugins", "\\\\server\\share", "D:"}) {
        gwtest::scriptedHost().directory = host;
        fx->resume();
        EXPECT_STREQ(fx->files().state().listFilePath, "C:\\grblist.txt") << host;
    }
    fx->files().recordRecentBank("D:\\banks\\b.grb");
    const Bytes written = readFile(list.path());
    EXPECT_EQ(std::string(written.begin(), written.end()), "D:\\banks\\b.grb" + std::string(20, '#'));
}
#else
TEST_F(EffectFilesTest, ListMovesToTheConfigFolderWhenThePluginFolderIsReadOnly) {
    gwtest::scriptedHost().directory = dir.file("absent");  // a folder nothing can be written to
    const ScopedEnvironment config("XDG_CONFIG_HOME", dir.file("config"));
    fx->resume();
    EXPECT_STREQ(fx->files().state().listFilePath, dir.file("config/grainwheel/grblist.txt").c_str());
    fx->files().recordRecentBank("/x.grb");
    EXPECT_TRUE(std::filesystem::exists(dir.file("config/grainwheel/grblist.txt")));
}
#endif

}  // namespace
