// The engine's parts on their own: the buffer bank (publication, the audio thread's held
// records, the spare, the rate conversion's hand-over), the recorder's bookkeeping, the
// sequencer's unit timing and play head, the morph's dispatch of a due grain, the program
// bank's records and the parameter model's routing of a value to the part that owns it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "engine/buffer_bank.h"
#include "engine/buffer_morph.h"
#include "engine/conversions.h"
#include "engine/parameter_model.h"
#include "engine/parameter_table.h"
#include "engine/program_bank.h"
#include "engine/recorder.h"
#include "engine/sequencer.h"
#include "engine/voices.h"

namespace {

using namespace grainwheel;

float* filledArray(int frames, float value) {
    float* a = BufferBank::newSampleArray(frames);
    for (int i = 0; i <= frames; ++i) a[i] = value;
    return a;
}

// Publishes through the bank as a replacing thread does (no block runs here).
void publish(BufferBank& bank, int n, int frames, int rate) {
    claimWriting(bank.buffer(n));
    const auto [left, right] = bank.publish(n, filledArray(frames, 0.5f), filledArray(frames, -0.5f), frames, rate);
    bank.buffer(n).writing.store(false);
    delete[] left;
    delete[] right;
}

TEST(BufferBankTest, HeldRecordsFollowPublicationsOnlyWhenTaken) {
    BufferBank bank;
    EXPECT_EQ(bank.takePublished(), 0u);
    publish(bank, 3, 100, 48000);
    publish(bank, 5, 200, 44100);
    EXPECT_TRUE(bank.held(3).empty()) << "the audio thread's copy changes only when it takes the records";
    EXPECT_EQ(bank.takePublished(), (1u << 3) | (1u << 5));
    EXPECT_EQ(bank.held(3).length, 100);
    EXPECT_EQ(bank.held(5).length, 200);
    EXPECT_EQ(bank.takePublished(), 0u) << "nothing new";

    // The rate each publication tells, and the buffers at another rate than the working one.
    std::uint32_t generation = 0;
    EXPECT_FALSE(framesOf(bank.buffer(3), &generation).empty());
    EXPECT_EQ(bank.buffer(3).rateOf(generation), 48000);
    EXPECT_TRUE(bank.anyAtOtherRate(44100));
    publish(bank, 3, 100, 44100);
    EXPECT_FALSE(bank.anyAtOtherRate(44100));

    // An empty publication has no rate, and its held copy is empty.
    claimWriting(bank.buffer(5));
    const auto [left, right] = bank.publish(5, nullptr, nullptr, 0, 44100);
    bank.buffer(5).writing.store(false);
    delete[] left;
    delete[] right;
    EXPECT_EQ(bank.buffer(5).rate.load(), 0);
    EXPECT_EQ(bank.takePublished(), (1u << 3) | (1u << 5));
    EXPECT_TRUE(bank.held(5).empty());
}

TEST(BufferBankTest, SpareIsTakenOnceAndRemadeWithTheReplacedArraysFreed) {
    BufferBank bank;
    EXPECT_FALSE(bank.spareReady());
    EXPECT_FALSE(bank.takeSpare(0, 1000, 44100)) << "no spare made yet";
    ASSERT_TRUE(bank.makeSpare());
    ASSERT_TRUE(bank.spareReady());
    publish(bank, 0, 50, 44100);
    ASSERT_TRUE(bank.takeSpare(0, 1000, 48000));
    EXPECT_FALSE(bank.spareReady());
    EXPECT_FALSE(bank.takeSpare(1, 1000, 48000)) << "one spare, taken";
    EXPECT_EQ(bank.buffer(0).length.load(), 1000);
    EXPECT_EQ(bank.buffer(0).rate.load(), 48000);
    ASSERT_EQ(bank.takePublished(), 1u);
    for (int i = 0; i <= 1000; ++i) ASSERT_EQ(bank.held(0).left[i], 0.0f) << "the spare is zeroed";
    EXPECT_TRUE(bank.makeSpare());  // frees the 50-frame pair (the sanitizer builds check that)
    EXPECT_TRUE(bank.spareReady());

    // A buffer another thread is replacing does not take the spare.
    claimWriting(bank.buffer(1));
    EXPECT_FALSE(bank.takeSpare(1, 1000, 44100));
    EXPECT_TRUE(bank.spareReady());
    bank.buffer(1).writing.store(false);
}

TEST(BufferBankTest, ConversionMarksTheRecordItPublishesNext) {
    BufferBank bank;
    publish(bank, 2, 4410, 22050);
    bank.takePublished();
    std::int32_t frames = 0;
    EXPECT_FALSE(bank.heldFromConversion(2, frames));

    ConvertedAudio out;
    const std::unique_lock<std::mutex> reads = bank.holdReads();
    ASSERT_EQ(bank.convert(2, 44100, out), RateConversion::Converted);
    EXPECT_TRUE(bank.buffer(2).writing.load()) << "kept for the publication that follows";
    EXPECT_EQ(out.frames, 8820);
    const auto [left, right] = bank.publish(2, out.left, out.right, out.frames, 44100);
    bank.buffer(2).writing.store(false);
    delete[] left;
    delete[] right;
    bank.takePublished();
    ASSERT_TRUE(bank.heldFromConversion(2, frames));
    EXPECT_EQ(frames, 4410);

    // A record published afterwards by anyone else is not the conversion's.
    publish(bank, 2, 100, 44100);
    bank.takePublished();
    EXPECT_FALSE(bank.heldFromConversion(2, frames));

    // Nothing to convert: the flag is released, nothing published.
    EXPECT_EQ(bank.convert(2, 44100, out), RateConversion::Unusable);
    EXPECT_FALSE(bank.buffer(2).writing.load());
    EXPECT_EQ(bank.convert(7, 44100, out), RateConversion::Unusable) << "an empty buffer";
}

TEST(RecorderTest, FadesStopAndSyncUnit) {
    Recorder r;
    r.setFades(1.0f);
    EXPECT_EQ(r.state().recordFadeIn.load(), kFadeFrames);
    EXPECT_EQ(r.state().recordFadeOut.load(), 0);
    EXPECT_FALSE(r.fadingOut());
    r.setFades(0.0f);
    EXPECT_EQ(r.state().recordFadeIn.load(), 0);
    EXPECT_TRUE(r.fadingOut());
    r.stop();
    EXPECT_FALSE(r.fadingOut());

    EXPECT_EQ(r.syncUnitBeats(), 0.0);
    r.setSyncUnit(8.0f);  // "1/4"
    EXPECT_EQ(r.syncUnitBeats(), 1.0);
    r.setSyncUnit(6.0f);  // a separator changes nothing
    r.setSyncUnit(-3.0f);
    r.setSyncUnit(29.0f);
    EXPECT_EQ(r.syncUnitBeats(), 1.0);
}

TEST(RecorderTest, RecordsAndFollowsAConversion) {
    std::vector<float> left(101, 0.0f), right(101, 0.0f);
    const BufferFrames buffer{left.data(), right.data(), 100};
    Recorder r;
    EXPECT_FALSE(r.takeMark());
    for (int i = 0; i < 40; ++i) r.record(buffer, true, false, 1.0f, -1.0f);
    EXPECT_EQ(r.state().recordWritePosition.load(), 40);
    EXPECT_TRUE(r.takeMark());
    EXPECT_FALSE(r.takeMark()) << "cleared by reading";
    EXPECT_EQ(left[0], left[100]) << "the guard frame follows frame 0";

    r.setSyncWait(1000);
    r.followConversion(100, 200);  // twice the frames: the take goes on at the same moment
    EXPECT_EQ(r.state().recordWritePosition.load(), 80);
    EXPECT_EQ(r.state().recordSyncWait.load(), 2000);
    r.followConversion(200, 50);
    EXPECT_EQ(r.state().recordWritePosition.load(), 20);
    r.rewind();
    EXPECT_EQ(r.state().recordWritePosition.load(), 0);
}

TEST(SequencerTest, TransportTakesValidTempoOnly) {
    TransportState host;
    EngineTransport t;
    t.flags = EngineTransport::kPlaying | EngineTransport::kTempoValid;
    t.tempo = 90.0;
    host.take(t);
    EXPECT_EQ(host.tempo.load(), 90.0);
    EXPECT_NE(host.playing.load(), 0);
    t.flags = 0;
    t.tempo = -5.0;
    host.take(t);
    EXPECT_EQ(host.tempo.load(), 90.0) << "a tempo of 0 or below is not taken";
    EXPECT_EQ(host.playing.load(), 0);
    t.tempo = 1.0e9;
    host.take(t);
    EXPECT_EQ(host.tempo.load(), 90.0);
}

TEST(SequencerTest, UnitsWrapAndTheSequenceEndsAfterTheLastUnit) {
    Sequencer s;
    s.unitLengthBeats = 0.25f;
    s.samplesPerUnit = 100;
    int ends = 0;
    for (int u = 0; u < 2 * kNumUnits; ++u) ends += s.nextUnit() ? 1 : 0;
    EXPECT_EQ(ends, 2);
    EXPECT_EQ(s.currentUnit.load(), 0);
    EXPECT_EQ(s.unitCountdown, 100);
    s.unitLengthBeats = 0.0f;  // a unit length of 0 holds the unit
    EXPECT_FALSE(s.nextUnit());
    EXPECT_EQ(s.currentUnit.load(), 0);
}

TEST(SequencerTest, AlignsToTheHostsBarAndReportsTheWrap) {
    Sequencer s;
    s.sampleRate = 48000.0f;
    s.unitLengthBeats = 0.25f;  // a sixteenth: 16 units to a 4/4 bar
    TransportState host;
    EngineTransport t;
    t.flags = EngineTransport::kPlaying | EngineTransport::kPpqValid | EngineTransport::kBarsValid |
              EngineTransport::kTempoValid;
    t.tempo = 120.0;
    t.ppqPosition = 3.8;  // unit 15 of the bar starting at 0
    host.take(t);
    EXPECT_FALSE(s.alignToHost(host, false, 256));
    EXPECT_EQ(s.currentUnit.load(), 15);
    EXPECT_EQ(host.timeSigNumerator.load(), 4.0) << "no time signature given: 4/4";
    EXPECT_EQ(s.samplesPerUnit, 6000);
    EXPECT_EQ(s.unitCountdown, 4800);  // 0.2 beats left at 24000 samples a beat
    t.ppqPosition = 4.1;  // the next bar's first unit
    host.take(t);
    EXPECT_TRUE(s.alignToHost(host, false, 256));
    EXPECT_EQ(s.currentUnit.load(), 0);

    // Without a bar position the units run on by themselves.
    t.flags = EngineTransport::kPlaying | EngineTransport::kTempoValid;
    host.take(t);
    s.currentUnit = 7;
    EXPECT_FALSE(s.alignToHost(host, false, 256));
    EXPECT_EQ(s.currentUnit.load(), 7);
    // A unit length of 0 (or not finite) stands at unit 0 for the block.
    s.unitLengthBeats = 0.0f;
    EXPECT_FALSE(s.alignToHost(host, false, 256));
    EXPECT_EQ(s.currentUnit.load(), 0);
    EXPECT_EQ(s.unitCountdown, 257);
}

TEST(SequencerTest, HeadWrapsOrRestartsAtTheBufferEnds) {
    Sequencer s;
    s.headSpeed = 3.0f;
    s.playPosition = 8.0f;
    int restarts = 0;
    s.advanceHead(10, false, [&] { ++restarts; });
    EXPECT_EQ(s.playPosition.load(), 1.0f);
    s.playPosition = 8.0f;
    s.advanceHead(10, true, [&] {
        ++restarts;
        s.playPosition = 4.0f;
    });
    EXPECT_EQ(restarts, 1);
    EXPECT_EQ(s.playPosition.load(), 4.0f);
    s.headSpeed = -5.0f;
    s.advanceHead(10, false, [&] { ++restarts; });
    EXPECT_EQ(s.playPosition.load(), 9.0f) << "backwards past frame 0 wraps to the end";
    s.headRun = 0;  // a morph holds the head
    s.advanceHead(10, false, [&] { ++restarts; });
    EXPECT_EQ(s.playPosition.load(), 9.0f);
    EXPECT_EQ(restarts, 1);
}

TEST(BufferMorphTest, ArmedMorphWaitsThenTakesSourceAndAbandonFreesTheHead) {
    BufferMorph m;
    Sequencer seq;
    int pending = 0;
    EXPECT_EQ(m.dispatch(pending), MorphStart::Normal);
    EXPECT_EQ(pending, -1);
    m.pendingBuffer = 4;
    EXPECT_EQ(m.dispatch(pending), MorphStart::Wait);
    EXPECT_EQ(pending, 4);
    seq.grainLength = kTransformSize + 500;
    m.wait(seq);
    EXPECT_EQ(seq.triggerCountdown, 500.0f) << "the source grain fits the transform";
    EXPECT_EQ(m.dispatch(pending), MorphStart::Source);
    m.morphState = MorphStage::SourceDone;
    EXPECT_EQ(m.dispatch(pending), MorphStart::Target);
    m.pendingBuffer = -1;
    m.morphState = MorphStage::Running;
    EXPECT_EQ(m.dispatch(pending), MorphStart::Next);

    seq.headRun = 0;
    m.pendingBuffer = 9;
    EXPECT_EQ(m.abandon(seq), 9);
    EXPECT_EQ(seq.headRun.load(), 1);
    EXPECT_EQ(m.morphState.load(), MorphStage::Idle);
    EXPECT_EQ(m.morphWait.load(), 0);
    m.pendingBuffer = -1;
    EXPECT_EQ(m.abandon(seq), -1) << "nothing under way";
}

TEST(ProgramBankTest, NamesCurrentProgramAndChunk) {
    ProgramBank bank;
    ASSERT_TRUE(bank.usable());
    char text[32];
    bank.name(text);
    EXPECT_STREQ(text, "Init 1");
    bank.setCurrent(4);
    EXPECT_EQ(bank.record(0).currentProgram, 4) << "record 0 keeps the current program for the bank";
    bank.setName("a name far longer than the field holds");
    bank.name(text);
    EXPECT_STREQ(text, "a name far longer than ");
    EXPECT_TRUE(bank.nameOf(0, text));
    EXPECT_STREQ(text, "Init");
    EXPECT_FALSE(bank.nameOf(16, text));

    void* data = nullptr;
    EXPECT_EQ(bank.chunk(&data, true), 1884);
    EXPECT_EQ(data, &bank.record(4));
    EXPECT_EQ(bank.chunk(&data, false), 30144);
    EXPECT_EQ(data, bank.records());
}

TEST(ProgramBankTest, ClipboardCarriesTheProgramFieldsSanitisedAndStoreTakesTheBuffersRate) {
    ProgramBank bank;
    bank.currentRecord().mainLevl = 0.25f;
    bank.currentRecord().time[3] = 0.5f;
    bank.currentRecord().bufferNumber = 7.0f;
    bank.copy();
    bank.setCurrent(2);
    bank.clipboard().density = std::nanf("");
    bank.paste();
    EXPECT_EQ(bank.record(2).mainLevl, 0.25f);
    EXPECT_EQ(bank.record(2).time[3], 0.5f);
    EXPECT_EQ(bank.record(2).density, bank.record(5).density) << "a NaN pastes as the Init value";
    EXPECT_EQ(bank.record(2).bufferNumber, 0.0f) << "the buffer number is not the clipboard's";

    ProgramRecord from = bank.record(2);
    setRecordedRate(from, 22050);
    std::strcpy(from.bufferPath, "/tmp/x.wav");
    bank.store(9, from, 48000);
    EXPECT_STREQ(bank.record(9).bufferPath, "/tmp/x.wav");
    EXPECT_EQ(recordedRate(bank.record(9)), 48000) << "the rate bytes tell the buffer's own rate";
    bank.record(9).bufferNumber = 99.0f;
    EXPECT_EQ(bank.bufferNumber(9, 3), 3) << "a number no buffer has keeps the fallback";
}

// The engine's side of the parameter model: what spans several parts, recorded.
struct FakeEffects : ParameterEffects {
    int current = 2;
    std::vector<std::pair<const char*, float>> calls;
    std::vector<std::pair<int, float>> notices;
    int currentBufferIndex() const override { return current; }
    int currentBufferFrames() const override { return 44100; }
    void setCurrentBufferIndex(int n) override { calls.emplace_back("current", static_cast<float>(current = n)); }
    void requestBuffer(float value) override { calls.emplace_back("request", value); }
    void selectBuffer(int n) override { calls.emplace_back("select", static_cast<float>(n)); }
    void setRecFree(float value) override { calls.emplace_back("recFree", value); }
    void setRecSync(float value) override { calls.emplace_back("recSync", value); }
    void eraseBuffer() override { calls.emplace_back("erase", 1.0f); }
    void setVoiceCount(float value) override { calls.emplace_back("voices", value); }
    void notice(int index, float value) override { notices.emplace_back(index, value); }
    void refresh() override { calls.emplace_back("refresh", 0.0f); }
    bool listened() const override { return true; }
    void automated(int index, float value) override { calls.emplace_back("automated", value + 100.0f * index); }
};

struct ParameterModelTest : ::testing::Test {
    ProgramBank programs;
    Sequencer seq;
    TransportState transport;
    VoiceBank voices;
    BufferMorph morph;
    Recorder recorder;
    FakeEffects effects;
    ParameterModel model{programs, seq, transport, voices, morph, recorder, effects};
    bool called(const char* what, float value) const {
        for (const auto& c : effects.calls)
            if (std::strcmp(c.first, what) == 0 && c.second == value) return true;
        return false;
    }
};

TEST_F(ParameterModelTest, ValuesReachTheOwningPartTheRecordAndTheDisplay) {
    model.set(kMainLevl, 0.5f);
    EXPECT_EQ(seq.mainGain.load(), 0.5f) << "2 v^2";
    EXPECT_EQ(programs.currentRecord().mainLevl, 0.5f);
    EXPECT_EQ(model.get(kMainLevl), 0.5f);
    char text[16] = {};
    model.display(kMainLevl, text);
    EXPECT_STREQ(text, "-6 dB");
    model.set(kReso, -1.0f);
    EXPECT_EQ(voices.resonantFilter.q.load(), 0.0f) << "a negative resonance is none";
    model.set(kSettingRecordSyncUnit, 5.0f);
    EXPECT_GT(recorder.syncUnitBeats(), 0.0);

    // Linked time mode: a unit's time sets the density, and the echo shows the step taken.
    model.set(kSettingTimeFaderValues, 2.0f);
    effects.notices.clear();
    model.set(kTime + 3, 0.37f);
    EXPECT_FLOAT_EQ(model.get(kDensity), 0.7f);
    ASSERT_FALSE(effects.notices.empty());
    EXPECT_EQ(effects.notices.back(), std::make_pair(kTime + 3, 0.3f));

    // The buffer number shows the buffer a morph has armed.
    morph.pendingBuffer = 11;
    model.display(kBufferNo, text);
    EXPECT_STREQ(text, "     12");
    EXPECT_EQ(model.get(kBufferNo), stepValue(11));
}

TEST_F(ParameterModelTest, WhatSpansPartsGoesToTheEffects) {
    seq.halted = 1;
    model.set(kBufferNo, stepValue(6));
    EXPECT_TRUE(called("request", 6.0f));
    EXPECT_EQ(seq.halted.load(), 0);
    model.set(kRecFree, 1.0f);
    model.set(kKillBufr, 0.5f);
    model.set(kKillBufr, 1.0f);
    model.set(kVoiceCount, 40.0f);
    EXPECT_TRUE(called("recFree", 1.0f));
    EXPECT_TRUE(called("erase", 1.0f));
    EXPECT_EQ(effects.calls.size(), 3u + 1u) << "kill buffer acts on 1 only";
    EXPECT_EQ(programs.currentRecord().voiceCount, 16.0f) << "stored within range";

    // Next program fires on the release: the host hears of it, the program's buffer plays.
    programs.record(1).bufferNumber = 9.0f;
    model.set(kNextProg, 1.0f);
    EXPECT_EQ(programs.current(), 0);
    model.set(kNextProg, 0.0f);
    EXPECT_EQ(programs.current(), 1);
    EXPECT_TRUE(called("automated", 100.0f * static_cast<float>(kProgram) + 0.06666667f));
    EXPECT_TRUE(called("current", 9.0f));
    EXPECT_TRUE(called("select", 9.0f));
}

TEST_F(ParameterModelTest, ProgramChangesApplyTheirRecord) {
    programs.record(0).globalSettings[kPitchFaderRange] = 0.0f;
    programs.record(0).grid = 1.0f;
    programs.record(3).pitch[0] = 0.25f;
    programs.record(3).bufferStart = 0.5f;
    model.applyProgram(3);
    EXPECT_EQ(programs.current(), 3);
    EXPECT_EQ(model.get(kGrid), 1.0f);
    EXPECT_EQ(model.get(kPitch), 0.25f);
    EXPECT_EQ(model.get(kSettingPitchFaderRange), 0.0f);
    EXPECT_EQ(model.bufferStart(3), 0.5f);
    EXPECT_EQ(effects.calls.back().first, std::string("refresh"));

    // The host's program parameter: the program's own values, not the switches of record 0.
    programs.record(0).grid = 0.0f;
    programs.record(5).pitch[0] = 0.75f;
    model.set(kProgram, stepValue(5));
    EXPECT_EQ(programs.current(), 5);
    EXPECT_EQ(model.get(kPitch), 0.75f);
    EXPECT_EQ(model.get(kGrid), 1.0f);
}

}  // namespace
