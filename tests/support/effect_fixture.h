#pragma once
// A GrainEffect on the scripted host of tests/support: the host answers the version
// query, hands out a time record that tests fill (or null), and records every automation
// call.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "editor/ad_editor.h"
#include "plugin/grain_effect.h"
#include "plugin/vst2_editor.h"
#include "platform/scripted_dialogs.h"
#include "tests/support/scripted_host.h"

namespace enginetest {

using gwtest::Automation;
using gwtest::hostCallback;
using gwtest::ScriptedHost;
using gwtest::scriptedHost;

class EffectTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The effect's panel (inside its VST 2 editor).
    grainwheel::ADEditor& editor() {
        return static_cast<grainwheel::ADEditor&>(static_cast<grainwheel::Vst2Editor*>(fx->getEditor())->panel());
    }
    // The parameter display text of index.
    std::string display(int index);
    // Places the host at ppq with the given bar start, tempo and 4/4 (all valid).
    void hostAt(double ppq, double barStart, double tempo, int num = 4, int den = 4);
    // Records n frames of the given constant input into the current buffer.
    void recordFrames(int n, float left, float right);
    grainwheel::BufferFrames currentFrames() { return grainwheel::framesOf(fx->engine().buffers().buffer(fx->engine().getCurrentBuffer())); }

    std::unique_ptr<grainwheel::GrainEffect> fx;
    platform::ScriptedDialogs dialogs;
    std::unique_ptr<platform::ScopedDialogs> scoped;
};

}  // namespace enginetest
