// The notices from the effect: the reaction of the editor, and the hand-over of the work
// that needs the user-interface thread to its next idle.

#include "editor/ad_editor.h"

#include <climits>

#include "editor/wave_display.h"
#include "engine/conversions.h"
#include "persistence/file_result.h"
#include "resources/panel_layout.h"

namespace grainwheel {

using namespace VSTGUI;

bool ADEditor::onUiThread() const {
    return uiThread_.load(std::memory_order_relaxed) == std::this_thread::get_id();
}

void ADEditor::setParameter(int index, float value) {
    // The exit save runs whether or not the window is open.
    if (index == kExitSave) {
        if (port_) port_->exitSave();
        return;
    }
    if (onUiThread()) {
        if (isOpen()) {
            react(index, value, true);
        }
        return;
    }
    inFlight_.fetch_add(1, std::memory_order_seq_cst);
    if (open_.load(std::memory_order_seq_cst)) {
        react(index, value, false);
    }
    inFlight_.fetch_sub(1, std::memory_order_seq_cst);
}

void ADEditor::deferStatus(int status) {
    pendingStatus_.store(status, std::memory_order_relaxed);
    defer(kPendingStatus);
}

// A parameter's control takes the value (the options menu excepted: its value is the
// entry chosen, not a setting); the commands and notices then do their own part.
void ADEditor::react(int index, float value, bool ui) {
    if (index != kOptionsMenuTag)
        if (CControl* c = controlWithTag(index)) c->setValue(value);
    // The presets, sliders and faders: the control's value is all.
    if (isHostParameter(index) && parameterInfo(index).group != ParameterGroup::Single) return;
    auto status = [&](int s) {
        if (ui) showStatus(s);
        else deferStatus(s);
    };
    auto dirty = [this](int first, int count) {
        for (int tag = first; tag < first + count; ++tag)
            if (CControl* c = controlWithTag(tag)) c->setDirty();
    };
    switch (index) {
    case kBufferNo: {
        // The effect has selected the buffer itself; the status line names it.
        int b = 0;
        if (truncInRange(valueToStep(value), 0, 15, b)) status(kFileBufferInfo + b);
        break;
    }
    case kGrid:
        if (ui) {
            applyGrid(value);
        } else {
            pendingGrid_.store(value, std::memory_order_relaxed);
            defer(kPendingGrid);
        }
        break;
    case kRecFree:
        if (value != 0.0f && port_) status(kFileBufferInfo + port_->currentBuffer());
        break;
    case kRecSync:
        if (value == 0.0f) status(kStatusRecordingStopped);
        break;
    case kBuffersChanged:
        if (ui) reconnectBufferScopes();
        else defer(kPendingReconnect);
        break;
    case kRedrawAll:
        if (ui) redrawEverything();
        else defer(kPendingRedrawAll);
        break;
    case kReloadMenus:
        if (ui) reloadSettingMenus();
        else defer(kPendingMenus);
        break;
    case kBufferScopeClick:
        if (port_) port_->setParameterAutomated(kBufferNo, stepValue(value));
        break;
    case kStopGrains:
        if (port_ && port_->getParameter(kTrigmode) != 0.0f) {
            port_->setHalted(true);
            if (ui) port_->silenceVoices();  // waits for the block under way: never on the audio thread
        }
        break;
    case kMainScopeClick: status(kFileBankInfo); break;
    case kLoadWaveButton:
        if (value != 0.0f && ui) loadWaveCommand();
        break;
    case kFileMenuTag:
        // A value that names no entry of the menu (NaN included) loads nothing.
        if (ui) loadBankCommand(truncClamped(value, -1, INT_MAX));
        break;
    case kSaveBankButton:
        if (value != 0.0f && ui) saveBankCommand();
        break;
    case kSaveWaveButton:
        if (value != 0.0f && ui) saveWaveCommand();
        break;
    case kOptionsMenuTag:
        if (value == 0.0f && ui) importOptionsCommand();
        break;
    // The faders whose texts and scales follow a setting.
    case kSettingTimeFaderValues: dirty(kDensity, 1); break;
    case kSettingSpeedFaderRange: dirty(kSpeed, panel::kNumUnits); break;
    case kSettingPitchFaderRange: dirty(kPitch, panel::kNumUnits); break;
    case kSettingFreqCutoff: dirty(kFreq, panel::kNumUnits); break;
    default: break;
    }
}

void ADEditor::runPendingWork() {
    const std::uint32_t work = pending_.exchange(0, std::memory_order_acq_rel);
    if (work == 0) return;
    if (work & kPendingGrid) applyGrid(pendingGrid_.load(std::memory_order_relaxed));
    if (work & kPendingReconnect) reconnectBufferScopes();
    if (work & kPendingRedrawAll) redrawEverything();
    if (work & kPendingMenus) reloadSettingMenus();
    if (work & kPendingStatus) showStatus(pendingStatus_.load(std::memory_order_relaxed));
}

}  // namespace grainwheel
