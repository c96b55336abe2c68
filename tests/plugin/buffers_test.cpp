// Audio buffers: selection, allocation, erasing and both recording modes.

#include <cmath>

#include "engine/engine_inspection.h"
#include "tests/support/effect_fixture.h"
#include "tests/support/notice_recorder.h"

using namespace grainwheel;
using enginetest::EffectTest;
using enginetest::scriptedHost;

TEST_F(EffectTest, FreeRecordingAllocatesSixteenBeatsAndLoops) {
    fx->engine().programs().records()[0].bufferPath[0] = 'x';
    fx->setParameter(9, 1.0f);
    BufferFrames b = currentFrames();
    EXPECT_EQ(b.length, 352800);  // 16 quarter notes at 120 bpm, 44100 Hz
    EXPECT_EQ(fx->engine().buffers().buffer(0).saved, 0);
    EXPECT_EQ(fx->engine().programs().records()[0].bufferSaved, 0);
    EXPECT_EQ(fx->engine().programs().records()[0].bufferPath[0], 0);
    EXPECT_EQ(EngineInspection::recorder(fx->engine()).state().recordFadeIn, 220);
    EXPECT_EQ(EngineInspection::recorder(fx->engine()).state().recordFadeOut, 0);

    recordFrames(300, 1.0f, -1.0f);
    // Fade-in: frame k carries 1 - (220 - k) / 220.
    for (int k = 0; k < 220; ++k) {
        EXPECT_FLOAT_EQ(b.left[k], 1.0f - static_cast<float>(220 - k) / 220.0f) << k;
        EXPECT_FLOAT_EQ(b.right[k], -b.left[k]);
    }
    EXPECT_FLOAT_EQ(b.left[250], 1.0f);
    EXPECT_EQ(EngineInspection::recorder(fx->engine()).state().recording, 1);
    EXPECT_EQ(b.left[b.length], b.left[0]);  // guard frame

    recordFrames(b.length - 300, 0.5f, 0.5f);  // completes the pass
    EXPECT_EQ(EngineInspection::recorder(fx->engine()).state().recordWritePosition, 0);
    recordFrames(1, 0.25f, 0.25f);
    EXPECT_FLOAT_EQ(b.left[0], 0.25f);
    EXPECT_FLOAT_EQ(b.left[b.length], 0.25f);
    EXPECT_EQ(EngineInspection::recorder(fx->engine()).state().recordWritePosition, 1);
}

TEST_F(EffectTest, FreeRecordingOffFadesOutOver220Frames) {
    fx->setParameter(9, 1.0f);
    recordFrames(1000, 1.0f, 1.0f);
    fx->setParameter(9, 0.0f);
    EXPECT_EQ(EngineInspection::recorder(fx->engine()).state().recordFadeOut, 220);
    recordFrames(300, 1.0f, 1.0f);
    const BufferFrames b = currentFrames();
    for (int k = 0; k < 220; ++k) EXPECT_FLOAT_EQ(b.left[1000 + k], static_cast<float>(220 - k) / 220.0f) << k;
    EXPECT_FLOAT_EQ(b.left[1220], 0.0f);  // nothing after the fade
    EXPECT_EQ(EngineInspection::recorder(fx->engine()).state().recordWritePosition, 1220);
}

TEST_F(EffectTest, RecordingAtTheSampleRateOfResume) {
    fx->setSampleRate(48000.0f);
    fx->resume();
    fx->setParameter(9, 1.0f);
    EXPECT_EQ(currentFrames().length, 384000);
}

TEST_F(EffectTest, SyncedRecordingWaitsForTheBarAndStopsItself) {
    hostAt(1.5, 0.0, 120.0);
    fx->setParameter(10, 1.0f);  // record Sync Unit 5: "1/1", 4 quarter notes
    BufferFrames b = currentFrames();
    ASSERT_EQ(b.length, 88200);
    EXPECT_EQ(EngineInspection::recorder(fx->engine()).state().recordSyncWait, 55125);  // 2.5 beats at 22050 samples per beat
    EXPECT_EQ(fx->engine().buffers().buffer(0).saved, 0);

    recordFrames(55125, 1.0f, 1.0f);
    EXPECT_EQ(EngineInspection::recorder(fx->engine()).state().recordWritePosition, 0);
    EXPECT_EQ(EngineInspection::recorder(fx->engine()).state().recording, 0);
    EXPECT_FLOAT_EQ(b.left[0], 0.0f);

    // Writing: the stop rule fires once frame length - 221 is written.
    recordFrames(88200 - 221, 1.0f, 1.0f);
    EXPECT_FLOAT_EQ(fx->getParameter(10), 1.0f);
    recordFrames(1, 1.0f, 1.0f);
    EXPECT_FLOAT_EQ(fx->getParameter(10), 0.0f);
    EXPECT_EQ(EngineInspection::recorder(fx->engine()).state().recordFadeOut, 220);
    recordFrames(220, 1.0f, 1.0f);
    for (int k = 0; k < 220; ++k)
        EXPECT_FLOAT_EQ(b.left[88200 - 220 + k], static_cast<float>(220 - k) / 220.0f) << k;
    EXPECT_EQ(EngineInspection::recorder(fx->engine()).state().recordWritePosition, 0);
    EXPECT_FLOAT_EQ(b.left[88200], b.left[0]);
    recordFrames(10, 1.0f, 1.0f);  // off: nothing more is written
    EXPECT_EQ(EngineInspection::recorder(fx->engine()).state().recordWritePosition, 0);
}

// Deliberate departure from the documented wait: the plain formula (bar length + bar start
// - position) goes negative once the host is past the next bar line, which would start the
// recording at once, off the beat; the engine waits for the following bar line instead.
TEST_F(EffectTest, SyncedRecordingPastTheBarLineWaitsForTheNextOne) {
    hostAt(5.0, 0.0, 120.0);  // the computed wait (4 - 5 beats) is negative
    fx->setParameter(10, 1.0f);
    EXPECT_EQ(EngineInspection::recorder(fx->engine()).state().recordSyncWait, 3 * 22050);
    hostAt(13.25, 4.0, 120.0, 3, 4);  // 3/4: bars of 3 beats, 6.25 beats past the next line
    fx->setParameter(10, 1.0f);
    EXPECT_EQ(EngineInspection::recorder(fx->engine()).state().recordSyncWait, static_cast<int>(22050 * 2.75));
}

TEST_F(EffectTest, SyncedRecordingLengths) {
    fx->setParameter(276, 2.0f);  // "1 bar"
    fx->setParameter(10, 1.0f);
    EXPECT_EQ(currentFrames().length, 352800);
    EXPECT_EQ(EngineInspection::recorder(fx->engine()).state().recordSyncWait, 0);  // no host time
    fx->setParameter(276, 28.0f);  // "1 bar (default)"
    fx->setParameter(10, 1.0f);
    EXPECT_EQ(currentFrames().length, 352800);
    fx->setParameter(276, 17.0f);  // "3/16"
    fx->setParameter(10, 1.0f);
    EXPECT_EQ(currentFrames().length, static_cast<int>(44100.0 * 0.75 * 60.0 / 120.0));
    fx->setParameter(276, 6.0f);  // a separator: unchanged
    EXPECT_DOUBLE_EQ(EngineInspection::recorder(fx->engine()).syncUnitBeats(), 0.75);

    hostAt(0.5, 0.0, 90.0);
    fx->setParameter(276, 5.0f);
    fx->setParameter(10, 1.0f);
    EXPECT_EQ(currentFrames().length, static_cast<int>(44100.0 * 4 * 60.0 / 90.0));
}

TEST_F(EffectTest, AZeroTempoFromTheHostIsNotTaken) {
    hostAt(0.0, 0.0, 0.0);
    fx->setParameter(10, 1.0f);
    EXPECT_DOUBLE_EQ(EngineInspection::transport(fx->engine()).tempo, 120.0);
    EXPECT_EQ(currentFrames().length, 88200);
    hostAt(0.0, 0.0, -50.0);
    fx->setParameter(9, 1.0f);
    EXPECT_DOUBLE_EQ(EngineInspection::transport(fx->engine()).tempo, 120.0);
    scriptedHost().answerTime = false;
    fx->setParameter(10, 1.0f);
    EXPECT_DOUBLE_EQ(EngineInspection::transport(fx->engine()).tempo, 120.0);
}

TEST_F(EffectTest, EraseAnsweredNoChangesNothing) {
    fx->setParameter(9, 1.0f);
    recordFrames(500, 0.5f, 0.5f);
    fx->setParameter(9, 0.0f);
    const BufferFrames before = currentFrames();
    fx->setParameter(11, 0.5f);  // only exactly 1.0 erases
    EXPECT_TRUE(dialogs.questions.empty());
    dialogs.queueAnswer(false);
    fx->setParameter(11, 1.0f);
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0].title, "grainwheel - confirm erase buffer");
    EXPECT_EQ(dialogs.questions[0].text, "Erase buffer number  1 ?");
    const BufferFrames after = currentFrames();
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.length, before.length);
    EXPECT_FLOAT_EQ(after.left[400], 0.5f);
    EXPECT_EQ(fx->engine().buffers().buffer(0).saved, 0);

    dialogs.queueAnswer(true);
    fx->engine().programs().records()[0].bufferPath[0] = 'x';
    fx->setParameter(11, 1.0f);
    EXPECT_TRUE(currentFrames().empty());
    EXPECT_EQ(fx->engine().buffers().buffer(0).saved, 1);
    EXPECT_EQ(fx->engine().programs().records()[0].bufferPath[0], 0);
    EXPECT_EQ(EngineInspection::bufferLeftSamples(fx->engine(), 0), nullptr);
}

TEST_F(EffectTest, AllocationLimits) {
    const auto& editor = gwtest::NoticeRecorder::replaceEditorOf(*fx);
    fx->engine().allocateBuffer(2000000);
    EXPECT_EQ(currentFrames().length, 882000);
    fx->engine().allocateBuffer(0);
    EXPECT_EQ(currentFrames().length, 176400);
    fx->engine().allocateBuffer(-7);
    EXPECT_EQ(currentFrames().length, 176400);
    fx->engine().allocateBuffer(10);
    const BufferFrames b = currentFrames();
    for (int i = 0; i <= 10; ++i) EXPECT_EQ(b.left[i], 0.0f);
    EXPECT_EQ(EngineInspection::sequencer(fx->engine()).halted, 0);
    EXPECT_EQ(editor.last().index, kBuffersChanged);
}

TEST_F(EffectTest, SelectingBuffers) {
    fx->setParameter(274, 0.0f);  // no morph
    fx->setParameter(9, 1.0f);    // buffer 0 recorded
    fx->setParameter(27, 0.5f);   // bufpos01
    fx->setParameter(257, 1.0f);  // an empty buffer: recording stops
    EXPECT_EQ(fx->engine().getCurrentBuffer(), 1);
    EXPECT_FLOAT_EQ(fx->getParameter(9), 0.0f);
    EXPECT_EQ(EngineInspection::recorder(fx->engine()).state().recordFadeOut, 0);
    EXPECT_FLOAT_EQ(EngineInspection::sequencer(fx->engine()).playPosition, 0.0f);

    fx->setParameter(257, 0.0f);
    EXPECT_FLOAT_EQ(EngineInspection::sequencer(fx->engine()).playPosition, (352800 - 1) * 0.5f);
    EXPECT_EQ(EngineInspection::currentLeftSamples(fx->engine()), EngineInspection::bufferLeftSamples(fx->engine(), 0));
    EXPECT_EQ(fx->engine().bufferLength(0), 352800);

    fx->setParameter(257, 0.0f);  // the current buffer again: a restart
    EXPECT_FLOAT_EQ(EngineInspection::sequencer(fx->engine()).playPosition, 352800 * 0.5f);
    EXPECT_EQ(fx->engine().getCurrentBuffer(), 0);
}

TEST_F(EffectTest, CloseAsksOnlyForUnsavedBuffers) {
    fx->close();
    EXPECT_TRUE(dialogs.questions.empty());
    fx->setParameter(9, 1.0f);
    dialogs.queueAnswer(true);
    fx->close();
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0].title, "grainwheel - confirm exitus");
    EXPECT_EQ(dialogs.questions[0].text, "audiobuffer(s) are not saved. Save to grb file ?");
    // The yes reaches the editor, which offers the save.
    ASSERT_EQ(dialogs.fileRequestDetails.size(), 1u);
    EXPECT_EQ(dialogs.fileRequestDetails[0].mode, platform::FileSelectRequest::Mode::Save);
}

TEST_F(EffectTest, LoadersReplaceArrays) {
    EXPECT_EQ(grainwheel::BufferBank::newSampleArray(0), nullptr);
    EXPECT_EQ(grainwheel::BufferBank::newSampleArray(882001), nullptr);
    float* left = grainwheel::BufferBank::newSampleArray(100);
    float* right = grainwheel::BufferBank::newSampleArray(100);
    ASSERT_TRUE(left && right);
    EXPECT_EQ(left[100], 0.0f);
    for (int i = 0; i < 100; ++i) left[i] = right[i] = 0.1f * static_cast<float>(i % 10 + 1);
    fx->engine().replaceBufferArrays(0, left, right, 100);
    EXPECT_EQ(currentFrames().left, left);
    EXPECT_EQ(currentFrames().length, 100);
    EXPECT_FLOAT_EQ(left[100], left[0]);  // guard frame
    fx->engine().replaceBufferArrays(0, nullptr, nullptr, 0);
    EXPECT_TRUE(currentFrames().empty());
    fx->engine().replaceBufferArrays(16, new float[3], new float[3], 2);  // no such buffer: freed
}

TEST_F(EffectTest, HostDialogue) {
    char text[80];
    EXPECT_TRUE(fx->getEffectName(text));
    EXPECT_STREQ(text, "grainwheel");
    EXPECT_TRUE(fx->getVendorString(text));
    EXPECT_STREQ(text, "orbelune audio");
    EXPECT_TRUE(fx->getProductString(text));
    EXPECT_STREQ(text, "grainwheel vst");
    EXPECT_EQ(fx->getVendorVersion(), 1);
    EXPECT_EQ(fx->canDo("bypass"), 1);
    EXPECT_EQ(fx->canDo("Bypass"), 0);
    EXPECT_EQ(fx->canDo("1in2out"), 1);
    EXPECT_EQ(fx->canDo("2in2out"), 1);
    EXPECT_EQ(fx->canDo("1in1out"), -1);
    EXPECT_EQ(fx->canDo("receiveVstTimeInfo"), 1);
    EXPECT_EQ(fx->canDo("sendVstTimeInfo"), -1);
    EXPECT_EQ(fx->canDo("offline"), 0);
    EXPECT_EQ(fx->canDo("bypass "), 0);
    EXPECT_FALSE(fx->setBypass(true));
    EXPECT_EQ(fx->getGetTailSize(), 0);
    EXPECT_EQ(fx->getPlugCategory(), kPlugCategEffect);
    const AEffect* e = fx->getAeffect();
    EXPECT_EQ(e->flags, 0x39);
    EXPECT_EQ(e->uniqueID, 0x47573039);
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->numOutputs, 2);
    fx->suspend();
    EXPECT_EQ(EngineInspection::sequencer(fx->engine()).halted, 1);
    fx->resume();
    EXPECT_EQ(EngineInspection::sequencer(fx->engine()).halted, 0);
}

TEST_F(EffectTest, ProcessWritesSilenceAndRecords) {
    fx->setParameter(9, 1.0f);
    float in[64], outL[64], outR[64];
    for (int i = 0; i < 64; ++i) {
        in[i] = 1.0f;
        outL[i] = outR[i] = 7.0f;
    }
    float* ins[2] = {in, in};
    float* outs[2] = {outL, outR};
    fx->process(ins, outs, 64);
    // The output is replaced (the grains already play what is being recorded).
    for (int i = 0; i < 64; ++i) EXPECT_TRUE(outL[i] != 7.0f && std::fabs(outL[i]) < 1.0f);
    EXPECT_EQ(EngineInspection::recorder(fx->engine()).state().recordWritePosition, 64);
    float* onlyLeft[2] = {outL, nullptr};
    fx->processReplacing(ins, onlyLeft, 64);
    EXPECT_EQ(fx->engine().buffers().gate().blockSequence() % 2, 0u);
}
