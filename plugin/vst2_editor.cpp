#include "plugin/vst2_editor.h"

#include "gui/cknob.h"
#include "host/audioeffectx.h"

namespace grainwheel {

Vst2Editor::Vst2Editor(AudioEffect* owner, std::unique_ptr<Panel> panel) : AEffGUIEditor(owner), panel_(std::move(panel)) {
    const PanelSize size = panel_->size();
    rect = ERect{0, 0, static_cast<VstInt16>(size.height), static_cast<VstInt16>(size.width)};
    panel_->setResizeCallback(&Vst2Editor::panelResized, this);
}

VstIntPtr Vst2Editor::hostScale(float scale) {
    if (!(scale > 0.0f)) return 0;
    panel_->setContentScale(scale);
    return 1;
}

void Vst2Editor::panelResized(void* editor, PanelSize size) {
    auto* self = static_cast<Vst2Editor*>(editor);
    self->rect = ERect{0, 0, static_cast<VstInt16>(size.height), static_cast<VstInt16>(size.width)};
    // An open window asks the host for its new size; a closed one is asked for it by
    // effEditGetRect before it opens.
    if (self->frame == nullptr) return;
    if (auto* x = dynamic_cast<AudioEffectX*>(self->effect)) x->sizeWindow(size.width, size.height);
}

Vst2Editor::~Vst2Editor() { close(); }

VstInt32 Vst2Editor::open(void* ptr) {
    AEffGUIEditor::open(ptr);
    const PanelSize before = panel_->size();
    const bool opened = panel_->open(ptr);
    link_.attach(panel_->panelFrame());
    frame = opened ? &link_ : nullptr;
    // The window's system scale is known once it is open: a panel that grew with it asks
    // the host for the room it made from effEditGetRect.
    const PanelSize now = panel_->size();
    if (opened && (now.width != before.width || now.height != before.height)) panelResized(this, now);
    return opened ? 1 : 0;
}

void Vst2Editor::close() {
    frame = nullptr;
    link_.attach(nullptr);
    panel_->close();
}

void Vst2Editor::idle() {
    if (!inIdleStuff) panel_->idle();
}

void Vst2Editor::setParameter(VstInt32 index, float value) { panel_->setParameter(index, value); }

VstInt32 Vst2Editor::setKnobMode(VstInt32 val) {
    VSTGUI::setHostKnobMode(val);
    return AEffGUIEditor::setKnobMode(val);
}

}  // namespace grainwheel
