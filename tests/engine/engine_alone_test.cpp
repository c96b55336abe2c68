// The grain engine on its own, without the VST 2 adapter: a scripted EngineHost gives
// the transport and answers questions, a NoticeLog listens. Covers what the engine asks
// of whoever embeds it, the notices it sends, the typed read accessors against the old
// numeric state ids, and the work it hands off the audio thread.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "engine/engine_inspection.h"
#include "engine/grain_engine.h"
#include "tests/support/notice_log.h"

namespace {

using namespace grainwheel;

struct ScriptedEngineHost : EngineHost {
    bool transport(std::int32_t wanted, EngineTransport& out) override {
        queries.fetch_add(1);
        lastWanted = wanted;
        if (!answers) return false;
        out = now;
        return true;
    }
    void automated(int index, float value) override { automations.push_back({index, value}); }
    bool askYesNo(const char*, const char* text) override {
        questions.push_back(text);
        return answerYes;
    }

    EngineTransport now{};
    bool answers = true;
    bool answerYes = true;
    std::atomic<int> queries{0};
    std::int32_t lastWanted = 0;
    std::vector<gwtest::Notice> automations;
    std::vector<std::string> questions;
};

class EngineAlone : public ::testing::Test {
protected:
    void SetUp() override {
        host.now.flags = EngineTransport::kPlaying | EngineTransport::kTempoValid;
        host.now.tempo = 120.0;
        engine.setListener(&log);
        engine.resume(44100.0f);
    }
    void fill(int n, int frames) {
        float* l = BufferBank::newSampleArray(frames);
        float* r = BufferBank::newSampleArray(frames);
        for (int i = 0; i < frames; ++i) l[i] = r[i] = 0.5f + 0.25f * std::sin(0.01f * static_cast<float>(i));
        engine.replaceBufferArrays(n, l, r, frames);
    }
    // Renders one block on the calling thread (which then counts as the audio thread).
    float block(int frames = 256) {
        std::vector<float> in(static_cast<std::size_t>(frames), 0.0f), l(in.size()), r(in.size());
        float* ins[2] = {in.data(), in.data()};
        float* outs[2] = {l.data(), r.data()};
        engine.processReplacing(ins, outs, frames);
        float peak = 0.0f;
        for (float v : l) peak = std::max(peak, std::fabs(v));
        return peak;
    }

    ScriptedEngineHost host;
    gwtest::NoticeLog log;
    GrainEngine engine{&host, 44100.0f};
};

TEST_F(EngineAlone, RendersGrainsFromTheTransportItIsGiven) {
    ASSERT_TRUE(engine.usable());
    fill(engine.getCurrentBuffer(), 20000);
    float peak = 0.0f;
    for (int k = 0; k < 40; ++k) peak = std::max(peak, block());
    EXPECT_GT(peak, 0.01f);
    EXPECT_EQ(host.queries.load(), 40) << "one transport query per block";
    EXPECT_EQ(host.lastWanted, EngineTransport::kPpqValid | EngineTransport::kTempoValid |
                                   EngineTransport::kBarsValid | EngineTransport::kTimeSigValid);

    // A host that answers nothing: the engine keeps the last tempo and goes on.
    host.answers = false;
    host.now.tempo = 90.0;
    block();
    EXPECT_DOUBLE_EQ(EngineInspection::transport(engine).tempo, 120.0);
    // Without a host at all the engine still renders (no transport, no questions).
    GrainEngine bare(nullptr);
    float* l = BufferBank::newSampleArray(100);
    float* r = BufferBank::newSampleArray(100);
    bare.replaceBufferArrays(bare.getCurrentBuffer(), l, r, 100);
    std::vector<float> out(64);
    float* outs[2] = {out.data(), nullptr};
    bare.processReplacing(nullptr, outs, 64);
    EXPECT_FALSE(bare.hasDeferred());
}

TEST_F(EngineAlone, ParameterEchoesAndNoticesReachTheListener) {
    log.clear();
    engine.setParameter(kUnitDura, 0.40f);  // shown as the step it falls on
    ASSERT_GE(log.count(), 1u);
    EXPECT_EQ(log.recent(0).index, kUnitDura);
    EXPECT_FLOAT_EQ(log.recent(0).value, 3.0f / 8.0f);

    fill(3, 1000);
    engine.setParameter(kSettingMorphAlgorithm, 0.0f);  // a plain selection, no morph
    log.clear();
    engine.setParameter(kSelectBuffer, 3.0f);
    EXPECT_TRUE(log.saw(EngineNotice::BuffersChanged));
    EXPECT_EQ(engine.getCurrentBuffer(), 3);

    const long before = log.refreshes();
    engine.setProgram(2);
    EXPECT_GT(log.refreshes(), before);
    EXPECT_TRUE(log.saw(EngineNotice::VoiceCount));
}

TEST_F(EngineAlone, NextProgramIsAppliedAndReportedAsAutomation) {
    engine.setParameter(kNextProg, 1.0f);
    engine.setParameter(kNextProg, 0.0f);  // the falling edge fires
    ASSERT_EQ(host.automations.size(), 1u);
    EXPECT_EQ(host.automations[0].index, kProgram);
    EXPECT_EQ(engine.getProgram(), 1);
    EXPECT_FLOAT_EQ(engine.getParameter(kProgram), host.automations[0].value);
}

TEST_F(EngineAlone, KillBufferAsksTheHostAndErasesOnlyOnYes) {
    fill(engine.getCurrentBuffer(), 500);
    host.answerYes = false;
    engine.setParameter(kKillBufr, 1.0f);
    ASSERT_EQ(host.questions.size(), 1u);
    EXPECT_EQ(host.questions[0], "Erase buffer number  1 ?");
    EXPECT_EQ(engine.bufferLength(engine.getCurrentBuffer()), 500);
    host.answerYes = true;
    engine.setParameter(kKillBufr, 1.0f);
    EXPECT_EQ(engine.bufferLength(engine.getCurrentBuffer()), 0);
}

// The typed accessors the editor's port reads answer what the engine holds.
TEST_F(EngineAlone, TypedAccessorsAnswerWhatTheEngineHolds) {
    fill(0, 3000);
    fill(5, 1234);
    engine.setParameter(kSettingMorphAlgorithm, 0.0f);
    engine.setParameter(kSelectBuffer, 5.0f);
    for (int k = 0; k < 8; ++k) block();
    EXPECT_EQ(EngineInspection::currentLeftSamples(engine), EngineInspection::bufferLeftSamples(engine, 5));
    EXPECT_EQ(engine.getCurrentBuffer(), 5);
    EXPECT_EQ(EngineInspection::currentBufferLength(engine), 1234.0f);
    EXPECT_EQ(EngineInspection::captureStateWord(engine).load(), static_cast<std::int32_t>(EngineInspection::captureStage(engine)));
    EXPECT_EQ(engine.bufferLength(5), 1234);
    EXPECT_EQ(EngineInspection::previousBufferIndex(engine), 0);
    EXPECT_EQ(EngineInspection::captureSize(engine), 4097);
    EXPECT_EQ(EngineInspection::morph(engine).morphState.load(), MorphStage::Idle);
}

// A host automating rec sync, rec free or kill buffer from its audio thread: the rec
// modes take the spare at once (the buffer has its length before the next block); kill
// buffer's question, the new spare, and a rec mode met while the spare is gone wait for a
// thread that may block (runDeferred), editor open or not.
TEST_F(EngineAlone, BlockingWorkFromTheAudioThreadWaitsForAThreadThatMayBlock) {
    block();  // this thread is now the audio thread
    const int n = engine.getCurrentBuffer();
    ASSERT_EQ(engine.bufferLength(n), 0);

    engine.setParameter(kRecSync, 1.0f);
    EXPECT_EQ(engine.bufferLength(n), 88200) << "the spare, one rec sync unit at 120 bpm";
    EXPECT_FLOAT_EQ(engine.getParameter(kRecSync), 1.0f);
    const float* spare = EngineInspection::bufferLeftSamples(engine, n);
    for (int i = 0; i <= 88200; i += 997) ASSERT_EQ(spare[i], 0.0f) << i;
    EXPECT_TRUE(engine.hasDeferred()) << "a new spare is wanted";
    host.answerYes = false;  // keep what rec sync took
    engine.setParameter(kKillBufr, 1.0f);
    EXPECT_TRUE(host.questions.empty()) << "no question on the audio thread";

    // The spare is gone: a second rec sync before a worker came round is taken in value
    // and gets its buffer there.
    engine.setParameter(kRecSync, 0.0f);
    engine.setParameter(kRecSync, 1.0f);
    EXPECT_EQ(EngineInspection::bufferLeftSamples(engine, n), spare) << "nothing allocated or freed here";

    std::thread worker([&] { EXPECT_TRUE(engine.runDeferred()); });
    worker.join();
    EXPECT_EQ(host.questions.size(), 1u);
    EXPECT_GT(engine.bufferLength(n), 0);
    EXPECT_NE(EngineInspection::bufferLeftSamples(engine, n), spare) << "rec sync allocated by the worker";
    EXPECT_FALSE(engine.runDeferred());
    block();
    EXPECT_FALSE(engine.hasDeferred());

    // With a spare ready again, rec free on an empty buffer takes it too.
    engine.setParameter(kRecSync, 0.0f);
    engine.allocateBuffer(-1);
    ASSERT_EQ(engine.bufferLength(n), 0);
    engine.setParameter(kRecFree, 1.0f);
    EXPECT_EQ(engine.bufferLength(n), 352800) << "the spare again, 16 beats at 120 bpm";
    EXPECT_TRUE(engine.hasDeferred());
    engine.setParameter(kRecFree, 0.0f);

    // Switched on and off again while the spare is gone: the worker allocates nothing.
    engine.allocateBuffer(-1);
    engine.setParameter(kRecFree, 1.0f);
    engine.setParameter(kRecFree, 0.0f);
    std::thread worker2([&] { engine.runDeferred(); });
    worker2.join();
    EXPECT_EQ(engine.bufferLength(n), 0);
    EXPECT_FALSE(engine.hasDeferred());
}

}  // namespace
