// The user's control changes and the status line: which parameter a control sets, and the
// text the status line shows for it (the parameter table's caption), with the commands
// that do more.

#include <cstring>

#include "editor/ad_editor.h"
#include "editor/clabel.h"
#include "editor/wave_display.h"
#include "engine/conversions.h"
#include "persistence/file_result.h"

namespace grainwheel {

using namespace VSTGUI;

namespace {

// The texts that follow a range setting: prefix for this unit or all units, and suffix.
struct RangeText {
    const char* thisUnit;
    const char* allUnits;
    const char* suffix;
};
// By the pitch Fader Range (0, 1, 2; other values show nothing).
constexpr RangeText kPitchTexts[] = {
    {"pitch (this unit) : ", "pitch (all units) : ", ""},
    {"pitch (this unit) : ", "pitch (all units) : ", "semitones"},
    {"pitch (this unit) :", "pitch (all units) :", " cents"},
};
// By the speed Fader Range: below 4 the speed texts, exactly 4 (" pure position") the
// position texts, above 4 (and a value that is no number) none.
constexpr RangeText kSpeedText = {"speed (this unit) : ", "speed (all units) : ", ""};
constexpr RangeText kPositionText = {"buffer position (this unit) : ", "buffer position (all units) : ", ""};

}  // namespace

void ADEditor::showStatus(int status) {
    if (status == kStatusRecordingStopped) statusPlain("Recording stopped");
    else showFileMessage(status);
}

void ADEditor::statusComposite(const char* prefix, int index, const char* suffix) {
    if (!ui_.statusLabel || !port_) return;
    char value[24] = {};
    port_->getParameterDisplay(index, value);
    value[sizeof value - 1] = 0;
    ui_.statusLabel->setTextParts(prefix, value, suffix);
}

void ADEditor::statusPlain(const char* text) {
    if (ui_.statusLabel) ui_.statusLabel->setText(text);
}

// The status line for a parameter's control: its caption and display text; the speed
// and pitch faders and presets take the texts of their fader range (a preset shows the
// first unit's value, for all units).
void ADEditor::showValueText(int tag) {
    if (!isHostParameter(tag) || !port_) return;
    const ParameterInfo& p = parameterInfo(tag);
    if (p.caption) return statusComposite(p.caption, tag, p.captionEnd);
    const bool preset = p.group == ParameterGroup::PitchPreset || p.group == ParameterGroup::SpeedPreset;
    const RangeText* range = nullptr;
    int index = tag;
    if (p.group == ParameterGroup::Pitch || p.group == ParameterGroup::PitchPreset) {
        int r = 0;
        if (truncInRange(port_->getParameter(kSettingPitchFaderRange), 0, 2, r)) range = &kPitchTexts[r];
        if (preset) index = kPitch;
    } else if (p.group == ParameterGroup::Speed || p.group == ParameterGroup::SpeedPreset) {
        const float r = port_->getParameter(kSettingSpeedFaderRange);
        if (r < 4.0f) range = &kSpeedText;
        else if (r == 4.0f) range = &kPositionText;
        if (preset) index = kSpeed;
    }
    if (range) statusComposite(preset ? range->allUnits : range->thisUnit, index, range->suffix);
}

void ADEditor::repaintUnderProgramSwitch(CDrawContext* context) {
    CControl* programs = controlWithTag(kProgram);
    if (!programs || !panelBitmap || !context) return;
    CRect r;
    programs->getViewSize(r);
    panelBitmap->draw(context, r, CPoint(r.left, r.top));
}

// A click on a scope: the editor's own notice, as the effect could send it.
void ADEditor::scopeClicked(WaveDisplay& scope) {
    auto notice = [this](int index, float value) {
        if (!host_ || host_->userChanging(index)) setParameter(index, value);
    };
    switch (scope.kind()) {
    case WaveDisplay::Kind::BufferThumbnail:
        notice(kBufferScopeClick, static_cast<float>(scope.bufferNumber()));
        break;
    case WaveDisplay::Kind::MainScope: notice(kMainScopeClick, 1.0f); break;
    case WaveDisplay::Kind::SmallScope: break;
    }
}

void ADEditor::actOnChange(CDrawContext* context, CControl* control) {
    if (!port_) return;
    // What the user does now supersedes a status text still waiting from another thread.
    supersedePendingStatus();
    const int tag = static_cast<int>(control->getTag());
    const float v = control->getValue();
    auto automated = [&] {
        port_->setParameterAutomated(tag, v);
        control->update(context);
    };
    // The commands, with code of their own.
    switch (tag) {
    case kMonitor:
        automated();
        if (v == 0.0f) showFileMessage(kFileBankInfo);
        else statusPlain("Monitoring Input");
        return;
    case kRecFree:
        automated();
        statusPlain(v == 0.0f ? "Recording stopped" : "Filling buffer...");
        return;
    case kRecSync:
        automated();
        if (v == 0.0f) statusPlain("Recording stopped manually");
        else statusComposite("Filling buffer, buffersize ", kSettingRecordSyncUnit, "");
        return;
    case kProgram:
        port_->setParameterAutomated(tag, v);
        repaintUnderProgramSwitch(context);
        control->update(context);
        statusComposite("Program number :", kProgram, "");
        return;
    case kNextProg:
    case kPrevProg:
        port_->setParameter(tag, v);
        control->update(context);
        if (v == 0.0f) {
            statusComposite("Program number :", kProgram, "");
            repaintUnderProgramSwitch(context);
        }
        return;
    case kCopyPrg:
        automated();
        if (v == 0.0f) statusComposite("values copied from program", kProgram, "");
        return;
    case kPastePrg:
        automated();
        if (v == 0.0f) statusComposite("values inserted to program", kProgram, "");
        return;
    case kLoadWaveButton:
    case kFileMenuTag:
    case kSaveBankButton:
    case kSaveWaveButton:
        // The file commands run as the editor's own notices (they ask for files).
        control->update(context);
        setParameter(tag, v);
        return;
    default: break;
    }
    if ((isHostParameter(tag) && tag != kBufferNo) || tag == kVoiceCount) {
        automated();
        showValueText(tag);
    } else if (tag >= kOptionsMenuTag && tag <= kLastSetting) {
        port_->setParameter(tag, v);
        control->update(context);
    }
    // The scopes (0), the splash image (-1) and anything else: nothing.
}

// The host parameter a gesture on a control changes, or -1 for the internal settings and
// commands, which are none of the host's. A buffer scope's click selects its buffer
// (parameter 0); next and previous step the program, which the effect automates on their
// release.
static int gestureParameter(const CControl* control) {
    const long tag = control ? control->getTag() : -1;
    if (tag == kNextProg || tag == kPrevProg) return kProgram;
    return tag >= 0 && tag < kNumHostParameters ? static_cast<int>(tag) : -1;
}

void ADEditor::controlBeginEdit(CControl* control) {
    const int index = gestureParameter(control);
    if (index >= 0 && port_) port_->beginEdit(index);
}

void ADEditor::controlEndEdit(CControl* control) {
    const int index = gestureParameter(control);
    if (index >= 0 && port_) port_->endEdit(index);
}

}  // namespace grainwheel
