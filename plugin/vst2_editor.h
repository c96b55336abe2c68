#pragma once
// Vst2Editor: the panel as a VST 2 editor. The effect owns it (the editor base registers
// it with the effect); it owns the panel and passes the dispatcher's editor calls on:
// effEditOpen and effEditClose, effEditIdle, effEditGetRect (the panel's size), the keys,
// the wheel and the knob mode (the toolkit's), and the effect's notices.

#include <memory>

#include "editor/panel.h"
#include "host/aeffguieditor.h"
#include "plugin/vst2_frame.h"

namespace grainwheel {

class Vst2Editor final : public AEffGUIEditor {
public:
    Vst2Editor(AudioEffect* owner, std::unique_ptr<Panel> panel);
    ~Vst2Editor() override;

    VstInt32 open(void* ptr) override;
    void close() override;
    // The panel's idle, except while the host runs its own idle inside doIdleStuff.
    void idle() override;
    void setParameter(VstInt32 index, float value) override;
    VstInt32 setKnobMode(VstInt32 val) override;

    Panel& panel() const { return *panel_; }

private:
    std::unique_ptr<Panel> panel_;
    Vst2Frame link_;
};

}  // namespace grainwheel
