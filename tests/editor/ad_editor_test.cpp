// The panel in its VST 2 editor: the rectangle and the registration, open and close, the
// effect's notices, the host's keys, wheel and knob mode, and the inspection call.

#include <gtest/gtest.h>

#include "editor/ad_editor.h"
#include "gui/cframe.h"
#include "gui/cknob.h"
#include "host/audioeffectx.h"
#include "host/editor_inspection.h"
#include "plugin/vst2_editor.h"

using grainwheel::ADEditor;
using grainwheel::Vst2Editor;
using grainwheel::kMainLevl;

namespace {

VstIntPtr VSTCALLBACK quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2300 : 0;
}

class PanelInVst2Editor : public ::testing::Test {
protected:
    // A panel without a port onto an effect: it shows the defaults and acts on nothing.
    AudioEffectX effect{&quietHost, 1, 1};
    Vst2Editor* editor = new Vst2Editor(&effect, std::make_unique<ADEditor>(nullptr));  // the effect owns it
    ADEditor& panel = static_cast<ADEditor&>(editor->panel());
};

}  // namespace

TEST_F(PanelInVst2Editor, RegistersWithThePanelsRectangle) {
    EXPECT_EQ(effect.getEditor(), editor);
    EXPECT_TRUE(effect.getAeffect()->flags & effFlagsHasEditor);
    ERect* rect = nullptr;
    ASSERT_EQ(effect.dispatcher(effEditGetRect, 0, 0, &rect, 0.0f), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, panel.size().height);
    EXPECT_EQ(rect->right, panel.size().width);
    EXPECT_EQ(rect->right, 930);
}

TEST_F(PanelInVst2Editor, OpensAndClosesThePanelAndPassesNoticesOn) {
    EXPECT_EQ(effect.dispatcher(effEditOpen, 0, 0, nullptr, 0.0f), 1);
    ASSERT_TRUE(panel.isOpen());
    ASSERT_NE(editor->getFrame(), nullptr);
    editor->setParameter(kMainLevl, 0.25f);
    EXPECT_FLOAT_EQ(panel.controlWithTag(kMainLevl)->getValue(), 0.25f);
    effect.dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
    effect.dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
    EXPECT_FALSE(panel.isOpen());
    EXPECT_EQ(editor->getFrame(), nullptr);
    EXPECT_EQ(panel.panelFrame(), nullptr);
}

TEST_F(PanelInVst2Editor, HostsKeysWheelAndKnobModeReachTheToolkit) {
    VstKeyCode key{0, VKEY_ESCAPE, 0};
    EXPECT_EQ(editor->onKeyDown(key), -1);  // closed: nobody takes it
    ASSERT_EQ(effect.dispatcher(effEditOpen, 0, 0, nullptr, 0.0f), 1);
    // The wheel over the level knob turns it (at the frame's current mouse position).
    VSTGUI::CFrame* frame = panel.panelFrame();
    frame->onMouseMove(VSTGUI::CPoint(898, 367), 0);
    const float level = panel.controlWithTag(kMainLevl)->getValue();
    EXPECT_TRUE(editor->onWheel(1.0f));
    EXPECT_NE(panel.controlWithTag(kMainLevl)->getValue(), level);
    // Escape closes an open menu.
    frame->openMenu(panel.optionsMenuView(), VSTGUI::CPoint(10, 10));
    ASSERT_TRUE(frame->isMenuOpen());
    EXPECT_EQ(editor->onKeyDown(key), 1);
    EXPECT_FALSE(frame->isMenuOpen());

    VSTGUI::setGlobalKnobMode(-1);
    EXPECT_EQ(effect.dispatcher(effSetEditKnobMode, 0, VSTGUI::kRelativCircularMode, nullptr, 0.0f), 1);
    EXPECT_EQ(VSTGUI::getGlobalKnobMode(), VSTGUI::kRelativCircularMode);
    effect.dispatcher(effSetEditKnobMode, 0, VSTGUI::kCircularMode, nullptr, 0.0f);
    effect.dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
}

// The suites link the inspection (the plug-in modules do not: plugin_no_inspection).
TEST_F(PanelInVst2Editor, AnswersTheInspectionCallWhileOpen) {
    EditorStatusText status;
    EXPECT_EQ(effect.dispatcher(effVendorSpecific, kEditorInspection, kInspectStatus, &status, 0.0f), 0);
    ASSERT_EQ(effect.dispatcher(effEditOpen, 0, 0, nullptr, 0.0f), 1);
    ASSERT_EQ(effect.dispatcher(effVendorSpecific, kEditorInspection, kInspectStatus, &status, 0.0f), 1);
    EXPECT_STREQ(status.text, "grainwheel v0.9 beta");
    effect.dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
}
