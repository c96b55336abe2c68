// The editor object: its rectangle, its registration and the notices it receives.

#include <gtest/gtest.h>

#include "editor/ad_editor.h"
#include "host/audioeffectx.h"

using grainwheel::ADEditor;

namespace {
VstIntPtr VSTCALLBACK quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2300 : 0;
}
}  // namespace

TEST(ADEditorTest, RegistersWithItsRectangle) {
    AudioEffectX effect(&quietHost, 1, 1);
    auto* editor = new ADEditor(&effect);  // owned by the effect from here on
    EXPECT_EQ(effect.getEditor(), editor);
    EXPECT_TRUE(effect.getAeffect()->flags & effFlagsHasEditor);
    ERect* rect = nullptr;
    ASSERT_EQ(editor->getRect(&rect), 1);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 414);
    EXPECT_EQ(rect->right, 930);
    EXPECT_EQ(editor->open(nullptr), 1);  // a panel even without a port onto the effect
    EXPECT_TRUE(editor->isOpen());
    editor->close();
    EXPECT_FALSE(editor->isOpen());
}

TEST(ADEditorTest, KeepsTheRecentNotices) {
    AudioEffectX effect(&quietHost, 1, 1);
    auto* editor = new ADEditor(&effect);
    EXPECT_EQ(editor->noticeCount(), 0u);
    EXPECT_EQ(editor->recentNotice(0).index, 0);
    for (int i = 0; i < ADEditor::kNoticeHistory + 10; ++i) editor->setParameter(i, 0.5f * static_cast<float>(i));
    EXPECT_EQ(editor->noticeCount(), static_cast<unsigned>(ADEditor::kNoticeHistory + 10));
    EXPECT_EQ(editor->recentNotice(0).index, ADEditor::kNoticeHistory + 9);
    EXPECT_FLOAT_EQ(editor->recentNotice(1).value, 0.5f * static_cast<float>(ADEditor::kNoticeHistory + 8));
    EXPECT_EQ(editor->recentNotice(ADEditor::kNoticeHistory).index, 0);  // beyond the history
}
