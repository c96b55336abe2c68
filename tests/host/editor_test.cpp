// The editor base classes: rectangle, update requests, idle, key and wheel routing,
// and the idle pump's timing.
#include <gtest/gtest.h>

#include "test_host.h"

using testhost::CountingFrame;
using testhost::host;
using testhost::TestEffect;
using testhost::TestGUIEditor;

TEST(EditorBase, Defaults) {
    TestEffect effect(nullptr);
    AEffEditor editor(&effect);
    ERect dummy{};
    ERect* rect = &dummy;
    EXPECT_EQ(editor.getRect(&rect), 0);
    EXPECT_EQ(rect, nullptr);
    int parent = 0;
    EXPECT_EQ(editor.open(&parent), 0);
    VstKeyCode key{};
    EXPECT_EQ(editor.onKeyDown(key), -1);
    EXPECT_EQ(editor.onKeyUp(key), -1);
    EXPECT_EQ(editor.setKnobMode(1), 0);
    EXPECT_FALSE(editor.onWheel(1.0f));
    EXPECT_EQ(editor.getEffect(), &effect);
}

TEST(EditorBase, IdleRunsUpdateOncePerRequest) {
    TestEffect effect(nullptr);
    auto* editor = new TestGUIEditor(&effect);
    editor->idle();
    EXPECT_EQ(editor->updates, 0);
    editor->postUpdate();
    editor->postUpdate();
    editor->idle();
    editor->idle();
    EXPECT_EQ(editor->updates, 1);
    editor->setParameter(12, 0.5f);  // the base only asks for an update
    EXPECT_TRUE(editor->updatePending());
    editor->idle();
    EXPECT_EQ(editor->updates, 2);
}

TEST(GUIEditor, RegistersItselfAndAnswersItsRect) {
    TestEffect effect(nullptr);
    auto* editor = new TestGUIEditor(&effect);
    EXPECT_EQ(effect.getEditor(), editor);
    EXPECT_EQ(effect.getAeffect()->flags & effFlagsHasEditor, effFlagsHasEditor);
    ERect* rect = nullptr;
    EXPECT_EQ(editor->getRect(&rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 414);
    EXPECT_EQ(rect->right, 930);
    EXPECT_EQ(editor->getFrame(), nullptr);
}

TEST(GUIEditor, OpenRequestsAnUpdateAndStoresTheParent) {
    TestEffect effect(nullptr);
    auto* editor = new TestGUIEditor(&effect);
    int parent = 0;
    editor->open(&parent);
    EXPECT_EQ(editor->parentWindow(), &parent);
    EXPECT_TRUE(editor->updatePending());
    editor->idle();
    EXPECT_EQ(editor->updates, 1);
}

TEST(GUIEditor, RoutesToTheFrameOnlyWhenThereIsOne) {
    TestEffect effect(nullptr);
    auto* editor = new TestGUIEditor(&effect);
    VstKeyCode key{'x', VKEY_RETURN, MODIFIER_CONTROL};
    EXPECT_EQ(editor->onKeyDown(key), -1);
    EXPECT_EQ(editor->onKeyUp(key), -1);
    EXPECT_FALSE(editor->onWheel(2.0f));
    editor->draw(nullptr);
    editor->idle();

    CountingFrame frame;
    editor->setFrame(&frame);
    EXPECT_EQ(editor->onKeyDown(key), 1);
    EXPECT_EQ(frame.lastKey.virt, VKEY_RETURN);
    EXPECT_EQ(editor->onKeyUp(key), 2);
    EXPECT_TRUE(editor->onWheel(-3.0f));
    EXPECT_FLOAT_EQ(frame.lastWheel, -3.0f);
    editor->draw(nullptr);
    EXPECT_EQ(frame.redraws, 1);
    editor->idle();
    EXPECT_EQ(frame.idles, 1);
    EXPECT_EQ(editor->setKnobMode(1), 1);
    EXPECT_EQ(AEffGUIEditor::getKnobMode(), 1);
    editor->setFrame(nullptr);
}

TEST(GUIEditor, IdleIsSkippedWhileTheHostIdles) {
    host().reset();
    TestEffect effect(testhost::hostCallback);
    auto* editor = new TestGUIEditor(&effect);
    CountingFrame frame;
    editor->setFrame(&frame);
    bool sawInIdleStuff = false;
    int frameIdlesDuringHostIdle = -1;
    host().onIdle = [&] {
        sawInIdleStuff = editor->isInIdleStuff();
        int before = frame.idles;
        editor->idle();  // a host that calls back into the editor from its idle
        frameIdlesDuringHostIdle = frame.idles - before;
    };
    editor->setLastTicks(AEffGUIEditor::getTicks() - 1);
    editor->doIdleStuff();
    EXPECT_EQ(host().count(audioMasterIdle), 1);
    EXPECT_TRUE(sawInIdleStuff);
    EXPECT_EQ(frameIdlesDuringHostIdle, 0);
    EXPECT_FALSE(editor->isInIdleStuff());
    EXPECT_EQ(frame.idles, 1);
    editor->setFrame(nullptr);
    host().reset();
}

TEST(GUIEditor, IdlePumpRunsAtMostEveryHundredMilliseconds) {
    host().reset();
    TestEffect effect(testhost::hostCallback);
    auto* editor = new TestGUIEditor(&effect);
    CountingFrame frame;
    editor->setFrame(&frame);
    editor->setLastTicks(AEffGUIEditor::getTicks() - 1);
    std::int64_t before = AEffGUIEditor::getTicks();
    editor->doIdleStuff();
    EXPECT_GE(editor->lastTicks(), before + 100);
    EXPECT_EQ(frame.idles, 1);
    // Called again at once: it waits 4 ms and gives up, the next slot being far off.
    editor->doIdleStuff();
    EXPECT_EQ(frame.idles, 1);
    EXPECT_EQ(host().count(audioMasterIdle), 1);
    // Close to the slot (within 50 ms after the short wait) it runs.
    editor->setLastTicks(AEffGUIEditor::getTicks() + 20);
    editor->doIdleStuff();
    EXPECT_EQ(frame.idles, 2);
    EXPECT_EQ(host().count(audioMasterIdle), 2);
    editor->setFrame(nullptr);
    host().reset();
}
