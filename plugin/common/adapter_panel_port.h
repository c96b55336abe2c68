#pragma once
// The panel's port in the VST 3 and CLAP adapters: it works on the adapter's engine and
// files, and passes the user's changes and gestures to the adapter (panelEdit,
// panelGesture), which tells the host; the audio is saved with the host's project.

#include "plugin/engine_port.h"

namespace grainwheel {

template <typename Effect>
class AdapterPanelPort final : public EnginePort {
public:
    explicit AdapterPanelPort(Effect& fx) : EnginePort(fx.engine(), fx.files()), fx_(fx) {}
    float sampleRate() override { return static_cast<float>(fx_.sampleRate()); }
    void setParameterAutomated(int index, float value) override { fx_.panelEdit(index, value); }
    void beginEdit(int index) override { fx_.panelGesture(index, true); }
    void endEdit(int index) override { fx_.panelGesture(index, false); }
    void exitSave() override {}

private:
    Effect& fx_;
};

}  // namespace grainwheel
