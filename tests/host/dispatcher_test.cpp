// The two-level dispatcher's answers for every opcode, with and without an editor.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <utility>

#include "test_host.h"

using testhost::TestEffect;

namespace {

struct Scratch {
    alignas(16) char bytes[1024] = {};
};

VstIntPtr dispatch(AudioEffect& e, VstInt32 op, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                   float opt = 0.0f) {
    return e.dispatcher(op, index, value, ptr, opt);
}

// The base answer of every opcode 0..76 for an effect without editor.
VstIntPtr expectedDefault(VstInt32 op) {
    switch (op) {
        case effIdentify: return 0x4E764566;
        case effCanBeAutomated: return 1;
        case effGetNumProgramCategories: return 1;
        case effConnectInput: return 1;
        case effConnectOutput: return 1;
        case effSetBlockSizeAndSampleRate: return 1;
        case effKeysRequired: return 1;
        case effGetVstVersion: return 2300;
        case effGetCurrentMidiProgram: return -1;
        case effSetTotalSampleToProcess: return 777;  // the value passed in
        default: return 0;
    }
}

}  // namespace

TEST(Dispatcher, EveryOpcodeHasItsBaseDefault) {
    for (VstInt32 op = 0; op <= 76; ++op) {
        AudioEffectX effect(nullptr, 16, 107);
        Scratch scratch;
        VstIntPtr value = op == effSetTotalSampleToProcess ? 777 : 0;
        EXPECT_EQ(dispatch(effect, op, 0, value, scratch.bytes, 0.0f), expectedDefault(op)) << "opcode " << op;
    }
}

TEST(Dispatcher, UnknownOpcodesAnswerZero) {
    AudioEffectX effect(nullptr, 16, 107);
    Scratch scratch;
    for (VstInt32 op : {77, 78, 100, 1000, -1, -77}) EXPECT_EQ(dispatch(effect, op, 1, 1, scratch.bytes, 1.0f), 0);
}

TEST(Dispatcher, NullPointersNeverReachTextOperations) {
    AudioEffectX effect(nullptr, 16, 107);
    for (VstInt32 op = 0; op <= 76; ++op) {
        if (op == effSetTotalSampleToProcess) continue;
        EXPECT_EQ(dispatch(effect, op, 0, 0, nullptr, 0.0f), expectedDefault(op)) << "opcode " << op;
    }
}

TEST(Dispatcher, StoresRatesAndSizes) {
    TestEffect effect(nullptr);
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    EXPECT_FLOAT_EQ(effect.getSampleRate(), 48000.0f);
    dispatch(effect, effSetBlockSize, 0, 256);
    EXPECT_EQ(effect.getBlockSize(), 256);
    EXPECT_EQ(dispatch(effect, effSetBlockSizeAndSampleRate, 0, 512, nullptr, 96000.0f), 1);
    EXPECT_EQ(effect.getBlockSize(), 512);
    EXPECT_FLOAT_EQ(effect.getSampleRate(), 96000.0f);
}

TEST(Dispatcher, ProgramSelectionIsRangeChecked) {
    TestEffect effect(nullptr);
    dispatch(effect, effSetProgram, 0, 5);
    EXPECT_EQ(dispatch(effect, effGetProgram), 5);
    for (VstIntPtr bad : {VstIntPtr{16}, VstIntPtr{-1}, VstIntPtr{1} << 20}) {
        EXPECT_EQ(dispatch(effect, effSetProgram, 0, bad), 0);
        EXPECT_EQ(dispatch(effect, effGetProgram), 5);
    }
}

TEST(Dispatcher, SpeakerArrangementOutPointersAreCleared) {
    AudioEffectX effect(nullptr, 16, 107);
    int dummy = 0;
    auto* in = reinterpret_cast<VstSpeakerArrangement*>(&dummy);
    auto* out = reinterpret_cast<VstSpeakerArrangement*>(&dummy);
    EXPECT_EQ(dispatch(effect, effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out), 0);
    EXPECT_EQ(in, nullptr);
    EXPECT_EQ(out, nullptr);
}

TEST(Dispatcher, MainsChangedRoutesToSuspendAndResume) {
    struct MainsEffect : AudioEffectX {
        MainsEffect() : AudioEffectX(nullptr, 1, 1) {}
        void suspend() override { ++suspends; }
        void resume() override { ++resumes; }
        int suspends = 0, resumes = 0;
    } effect;
    dispatch(effect, effMainsChanged, 0, 0);
    dispatch(effect, effMainsChanged, 0, 1);
    dispatch(effect, effMainsChanged, 0, 7);
    EXPECT_EQ(effect.suspends, 1);
    EXPECT_EQ(effect.resumes, 2);
}

TEST(Dispatcher, VuIsScaledTruncatedAndClamped) {
    struct VuEffect : AudioEffectX {
        VuEffect() : AudioEffectX(nullptr, 1, 1) {}
        float getVu() override { return vu; }
        float vu = 0.0f;
    } effect;
    effect.vu = 0.5f;
    EXPECT_EQ(dispatch(effect, effGetVu), 16383);
    effect.vu = 1e30f;
    EXPECT_EQ(dispatch(effect, effGetVu), INT32_MAX);
    effect.vu = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(dispatch(effect, effGetVu), 0);
}

TEST(Dispatcher, EditorOpcodesReachTheEditor) {
    TestEffect effect(nullptr);
    auto* editor = new testhost::TestGUIEditor(&effect);
    testhost::CountingFrame frame;

    ERect* rect = nullptr;
    EXPECT_EQ(dispatch(effect, effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->bottom, 414);
    EXPECT_EQ(rect->right, 930);

    int parent = 0;
    dispatch(effect, effEditOpen, 0, 0, &parent);
    EXPECT_EQ(editor->parentWindow(), &parent);

    // Without a frame, keys are not handled; with one, they are passed on whole.
    EXPECT_EQ(dispatch(effect, effEditKeyDown, 'a', VKEY_LEFT, nullptr, MODIFIER_SHIFT), -1);
    editor->setFrame(&frame);
    EXPECT_EQ(dispatch(effect, effEditKeyDown, 'a', VKEY_LEFT, nullptr, MODIFIER_SHIFT), 1);
    EXPECT_EQ(frame.lastKey.character, 'a');
    EXPECT_EQ(frame.lastKey.virt, VKEY_LEFT);
    EXPECT_EQ(frame.lastKey.modifier, MODIFIER_SHIFT);
    EXPECT_EQ(dispatch(effect, effEditKeyUp, 'b', 0, nullptr, 0.0f), 2);
    EXPECT_EQ(frame.lastKey.character, 'b');
    // Modifier values that fit no byte (converting them would be undefined) give none.
    for (float opt : {1e10f, -1.0f, 256.0f, std::nanf(""), -std::numeric_limits<float>::infinity()}) {
        frame.lastKey.modifier = 99;
        dispatch(effect, effEditKeyDown, 'c', VKEY_UP, nullptr, opt);
        EXPECT_EQ(frame.lastKey.modifier, 0) << opt;
        EXPECT_EQ(frame.lastKey.virt, VKEY_UP);
    }
    dispatch(effect, effEditKeyDown, 'c', VKEY_UP, nullptr, 255.5f);
    EXPECT_EQ(frame.lastKey.modifier, 255);

    dispatch(effect, effEditIdle);
    EXPECT_EQ(frame.idles, 1);
    EXPECT_EQ(dispatch(effect, effSetEditKnobMode, 0, 2), 1);
    EXPECT_EQ(AEffGUIEditor::getKnobMode(), 2);
    dispatch(effect, effEditClose);
    editor->setFrame(nullptr);
}

TEST(Dispatcher, SetEditorMaintainsTheEditorFlag) {
    TestEffect effect(nullptr);
    EXPECT_EQ(effect.getAeffect()->flags & effFlagsHasEditor, 0);
    auto* editor = new testhost::TestGUIEditor(&effect);
    EXPECT_EQ(effect.getAeffect()->flags & effFlagsHasEditor, effFlagsHasEditor);
    EXPECT_EQ(effect.getEditor(), editor);
    effect.setEditor(nullptr);
    EXPECT_EQ(effect.getAeffect()->flags & effFlagsHasEditor, 0);
    delete editor;
}

TEST(Record, BaseDefaultsAsConstructed) {
    AudioEffectX effect(nullptr, 16, 107);
    const AEffect* e = effect.getAeffect();
    EXPECT_EQ(e->magic, 0x56737450);
    EXPECT_EQ(e->numPrograms, 16);
    EXPECT_EQ(e->numParams, 107);
    EXPECT_EQ(e->numInputs, 1);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->flags, 0);
    EXPECT_EQ(e->resvd1, 0);
    EXPECT_EQ(e->resvd2, 0);
    EXPECT_EQ(e->initialDelay, 0);
    EXPECT_FLOAT_EQ(e->ioRatio, 1.0f);
    EXPECT_EQ(e->object, &effect);
    EXPECT_EQ(e->user, nullptr);
    EXPECT_EQ(e->uniqueID, 0x4E6F4566);  // 'NoEf'
    EXPECT_EQ(e->version, 1);
    EXPECT_NE(e->dispatcher, nullptr);
    EXPECT_NE(e->process, nullptr);
    EXPECT_NE(e->processReplacing, nullptr);
    EXPECT_NE(e->setParameter, nullptr);
    EXPECT_NE(e->getParameter, nullptr);
    for (char c : e->future) EXPECT_EQ(c, 0);
    EXPECT_FLOAT_EQ(effect.getSampleRate(), 44100.0f);
    EXPECT_EQ(effect.getBlockSize(), 1024);
}

TEST(Record, FlagSettersSetAndClear) {
    AudioEffectX effect(nullptr, 16, 107);
    effect.programsAreChunks(true);
    effect.canProcessReplacing(true);
    effect.canMono(true);
    effect.hasVu(true);
    effect.hasVu(false);
    EXPECT_EQ(effect.getAeffect()->flags, effFlagsProgramChunks | effFlagsCanReplacing | effFlagsCanMono);
    effect.canMono(false);
    EXPECT_EQ(effect.getAeffect()->flags, effFlagsProgramChunks | effFlagsCanReplacing);
    effect.setUniqueID(vstFourCC('G', 'W', '0', '9'));
    EXPECT_EQ(effect.getAeffect()->uniqueID, 0x47573039);
}

// The record's setParameter hands the effect only values a host may send: 0..1.
TEST(Record, SetParameterPassesOnlyValuesInsideZeroToOne) {
    TestEffect fx(testhost::hostCallback);
    AEffect* e = fx.getAeffect();
    const float inf = std::numeric_limits<float>::infinity();
    const std::array<std::pair<float, float>, 8> cases = {{{0.25f, 0.25f},
                                                           {0.0f, 0.0f},
                                                           {1.0f, 1.0f},
                                                           {-0.5f, 0.0f},
                                                           {1.0000001f, 1.0f},
                                                           {1e30f, 1.0f},
                                                           {inf, 1.0f},
                                                           {-inf, 0.0f}}};
    for (const auto& [sent, seen] : cases) {
        e->setParameter(e, 3, sent);
        EXPECT_EQ(fx.lastValue, seen) << "sent " << sent;
    }
    fx.lastIndex = -1;
    e->setParameter(e, 4, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(fx.lastIndex, -1) << "a NaN reached the effect";
    // Past the host's parameters: the effect's own settings, whose values are not 0..1.
    e->setParameter(e, 265, 6.0f);
    EXPECT_EQ(fx.lastIndex, 265);
    EXPECT_EQ(fx.lastValue, 6.0f);
}
