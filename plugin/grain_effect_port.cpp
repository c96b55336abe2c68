// The editor's port onto the VST 2 effect: the engine's port, with automation, the
// user's gestures and the sample rate going through the host.

#include <new>

#include "plugin/engine_port.h"
#include "plugin/grain_effect.h"

namespace grainwheel {

namespace {

class GrainEffectPort final : public EnginePort {
public:
    explicit GrainEffectPort(GrainEffect& e) : EnginePort(e.engine(), e.files()), fx(e) {}

    void setParameter(int index, float value) override { fx.setParameter(index, value); }
    void setParameterAutomated(int index, float value) override { fx.setParameterAutomated(index, value); }
    void beginEdit(int index) override { fx.beginEdit(index); }
    void endEdit(int index) override { fx.endEdit(index); }
    float sampleRate() override { return fx.getSampleRate(); }

private:
    GrainEffect& fx;
};

}  // namespace

std::unique_ptr<EffectPort> GrainEffect::makeEditorPort() {
    return std::unique_ptr<EffectPort>(new (std::nothrow) GrainEffectPort(*this));
}

}  // namespace grainwheel
