#pragma once
// Vst2Editor: the panel as a VST 2 editor. The effect owns it (the editor base registers
// it with the effect); it owns the panel and passes the dispatcher's editor calls on:
// effEditOpen and effEditClose, effEditIdle, effEditGetRect (the panel's size), the keys,
// the wheel and the knob mode (the toolkit's), and the effect's notices. The host's scale
// comes as effVendorSpecific 'PreS' / 'AeCs' with the scale in opt; when the panel's size
// changes, the host is asked for room (audioMasterSizeWindow).

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

    // The effVendorSpecific call that carries the host's scale (its index and value).
    static constexpr VstInt32 kScaleCallIndex = 0x50726553;  // 'PreS'
    static constexpr VstIntPtr kScaleCallValue = 0x41654373;  // 'AeCs'
    // The host's scale for the panel; the answer to the call (1: taken).
    VstIntPtr hostScale(float scale);

private:
    static void panelResized(void* editor, PanelSize size);

    std::unique_ptr<Panel> panel_;
    Vst2Frame link_;
};

}  // namespace grainwheel
