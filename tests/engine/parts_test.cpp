// The engine's parts on their own: the buffer bank (publication, the audio thread's held
// records, the spare, the rate conversion's hand-over), the recorder's bookkeeping, the
// sequencer's unit timing and play head, and the morph's dispatch of a due grain.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/buffer_bank.h"
#include "engine/buffer_morph.h"
#include "engine/conversions.h"
#include "engine/recorder.h"
#include "engine/sequencer.h"

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

}  // namespace
