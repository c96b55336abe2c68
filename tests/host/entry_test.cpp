// The entry point, the static callbacks and the calls back to the host.
#include <gtest/gtest.h>

#include "host/entry.h"
#include "test_host.h"

using testhost::host;
using testhost::TestEffect;

namespace {

class Entry : public ::testing::Test {
protected:
    void SetUp() override {
        host().reset();
        testhost::failEditor = false;
        TestEffect::closed = 0;
    }
};

}  // namespace

TEST_F(Entry, HostWithoutVst2GetsNothing) {
    host().versionAnswer = 0;
    EXPECT_EQ(vstEntry(testhost::hostCallback), nullptr);
    EXPECT_EQ(TestEffect::alive, 0);
    EXPECT_EQ(vstEntry(nullptr), nullptr);
}

TEST_F(Entry, AsksTheVersionFirstWithoutARecord) {
    AEffect* e = vstEntry(testhost::hostCallback);
    ASSERT_NE(e, nullptr);
    ASSERT_FALSE(host().calls.empty());
    EXPECT_EQ(host().calls.front().opcode, audioMasterVersion);
    EXPECT_EQ(host().calls.front().effect, nullptr);
    EXPECT_EQ(e->magic, kEffectMagic);
    EXPECT_EQ(e->flags & effFlagsHasEditor, effFlagsHasEditor);
    EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1);
}

TEST_F(Entry, FailedEditorDeletesTheEffectAndLaterInstancesStillWork) {
    testhost::failEditor = true;
    EXPECT_EQ(vstEntry(testhost::hostCallback), nullptr);
    EXPECT_EQ(TestEffect::alive, 0);
    testhost::failEditor = false;
    AEffect* e = vstEntry(testhost::hostCallback);
    ASSERT_NE(e, nullptr);
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
}

TEST_F(Entry, CloseThroughTheRecordClosesDeletesAndAnswersOne) {
    AEffect* e = vstEntry(testhost::hostCallback);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(TestEffect::alive, 1);
    EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1);
    EXPECT_EQ(TestEffect::closed, 1);
    EXPECT_EQ(TestEffect::alive, 0);
}

TEST_F(Entry, ParameterCallbacksForward) {
    AEffect* e = vstEntry(testhost::hostCallback);
    ASSERT_NE(e, nullptr);
    auto* effect = static_cast<TestEffect*>(e->object);
    e->setParameter(e, 42, 0.25f);
    EXPECT_EQ(effect->lastIndex, 42);
    EXPECT_FLOAT_EQ(effect->lastValue, 0.25f);
    EXPECT_FLOAT_EQ(e->getParameter(e, 42), 0.0f);
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
}

TEST_F(Entry, AccumulatingProcessOverwritesLikeReplacing) {
    AEffect* e = vstEntry(testhost::hostCallback);
    ASSERT_NE(e, nullptr);
    constexpr int n = 64;
    float inL[n], inR[n], outA[2][n], outB[2][n];
    for (int i = 0; i < n; ++i) {
        inL[i] = static_cast<float>(i) * 0.01f;
        inR[i] = -inL[i];
        outA[0][i] = outA[1][i] = 1000.0f;  // garbage that must not survive
        outB[0][i] = outB[1][i] = -3.0f;
    }
    float* ins[2] = {inL, inR};
    float* outsA[2] = {outA[0], outA[1]};
    float* outsB[2] = {outB[0], outB[1]};
    e->process(e, ins, outsA, n);
    e->processReplacing(e, ins, outsB, n);
    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < n; ++i) ASSERT_EQ(outA[ch][i], outB[ch][i]) << ch << ":" << i;
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
}

TEST_F(Entry, HostMayWriteResvd1) {
    AEffect* e = vstEntry(testhost::hostCallback);
    ASSERT_NE(e, nullptr);
    e->resvd1 = static_cast<VstIntPtr>(0x5A5A5A5A);
    char text[256] = {};
    for (VstInt32 op = 2; op <= 76; ++op)
        if (op != effEditOpen && op != effGetChunk && op != effSetChunk) e->dispatcher(e, op, 0, 0, text, 0.0f);
    EXPECT_EQ(e->resvd1, static_cast<VstIntPtr>(0x5A5A5A5A));
    EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1);
}

TEST(HostCalls, DoNothingWithoutAHost) {
    TestEffect effect(nullptr);
    effect.setParameterAutomated(3, 0.75f);
    EXPECT_EQ(effect.lastIndex, 3);
    EXPECT_EQ(effect.getTimeInfo(0x2E00), nullptr);
    EXPECT_EQ(effect.getDirectory(), nullptr);
    EXPECT_EQ(effect.getMasterVersion(), 1);
    EXPECT_EQ(effect.getCurrentUniqueId(), 0);
    effect.masterIdle();
    EXPECT_FALSE(effect.isInputConnected(0));
    EXPECT_FALSE(effect.isOutputConnected(0));
    EXPECT_FALSE(effect.sendVstEventsToHost(nullptr));
    EXPECT_EQ(effect.canHostDo("sendVstTimeInfo"), 0);
    EXPECT_FALSE(effect.beginEdit(1));
    EXPECT_FALSE(effect.endEdit(1));
    EXPECT_FALSE(effect.sizeWindow(10, 10));
    char text[64] = "unchanged";
    EXPECT_FALSE(effect.getHostVendorString(text));
    EXPECT_STREQ(text, "");
    EXPECT_DOUBLE_EQ(effect.updateSampleRate(), 44100.0);
    EXPECT_EQ(effect.updateBlockSize(), 1024);
}

TEST(HostCalls, ReachTheHostWithTheirOpcodes) {
    host().reset();
    TestEffect effect(testhost::hostCallback);
    effect.setParameterAutomated(45, 0.5f);
    ASSERT_EQ(host().calls.size(), 1u);
    EXPECT_EQ(effect.lastIndex, 45);  // the effect's own setParameter ran first
    EXPECT_EQ(host().calls[0].opcode, audioMasterAutomate);
    EXPECT_EQ(host().calls[0].index, 45);
    EXPECT_FLOAT_EQ(host().calls[0].opt, 0.5f);
    EXPECT_EQ(host().calls[0].effect, effect.getAeffect());

    effect.getTimeInfo(0x2E00);
    EXPECT_EQ(host().calls.back().opcode, audioMasterGetTime);
    EXPECT_EQ(host().calls.back().value, 0x2E00);
    effect.getDirectory();
    EXPECT_EQ(host().calls.back().opcode, audioMasterGetDirectory);
    effect.masterIdle();
    EXPECT_EQ(host().calls.back().opcode, audioMasterIdle);
    EXPECT_EQ(effect.getMasterVersion(), 2300);
    host().versionAnswer = 0;
    EXPECT_EQ(effect.getMasterVersion(), 1);
    EXPECT_TRUE(effect.isInputConnected(0));  // the host answers 0: connected
    host().defaultAnswer = 1;
    EXPECT_TRUE(effect.sendVstEventsToHost(nullptr));
    host().defaultAnswer = 48000;
    EXPECT_DOUBLE_EQ(effect.updateSampleRate(), 48000.0);
    host().reset();
}
