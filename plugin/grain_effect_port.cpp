// The editor's port onto the VST 2 effect: the engine's port, with automation, the
// user's gestures and the sample rate going through the host.

#include <cstring>
#include <new>

#include "plugin/engine_port.h"
#include "plugin/grain_effect.h"

namespace grainwheel {

namespace {

// The hosts built on Ardour's code name their vendor so; their product is Ardour or a
// derivative of it.
bool hostKeepsTempoMapPerThread(const char* vendor, const char* product) {
    const auto starts = [](const char* text, const char* prefix) {
        return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
    };
    return starts(vendor, "Linux Audio Systems") || starts(product, "Ardour") || starts(product, "Mixbus");
}

// Ardour 7 and later (every version up to the newest: the code is the same) keep their
// tempo map per thread and take a gesture's begin on the calling thread: with the
// transport rolling and the parameter's lane in Touch or Latch in musical time, the
// begin-edit reads the calling thread's map. The thread that runs a VST 2 editor there
// has none until it asks the host for a tempo (the tempo query fetches the map for the
// thread that asks; it writes nothing that the audio thread reads, unlike the time
// query), so in such a host the port asks before every gesture and automated change it
// sends. The answer is not used. Other hosts see the same calls as before.
class GrainEffectPort final : public EnginePort {
public:
    explicit GrainEffectPort(GrainEffect& e) : EnginePort(e.engine(), e.files()), fx(e) {}

    void setParameter(int index, float value) override { fx.setParameter(index, value); }
    void setParameterAutomated(int index, float value) override {
        prepareThread();
        fx.setParameterAutomated(index, value);
    }
    void beginEdit(int index) override {
        prepareThread();
        fx.beginEdit(index);
    }
    void endEdit(int index) override {
        prepareThread();
        fx.endEdit(index);
    }
    float sampleRate() override { return fx.getSampleRate(); }

private:
    void prepareThread() {
        if (perThreadMap < 0) {
            char vendor[64] = {};
            char product[64] = {};
            fx.getHostVendorString(vendor);
            fx.getHostProductString(product);
            perThreadMap = hostKeepsTempoMapPerThread(vendor, product) ? 1 : 0;
        }
        if (perThreadMap == 1) fx.tempoAt(0);
    }

    GrainEffect& fx;
    int perThreadMap = -1;  // unknown until the first call (the editor's thread)
};

}  // namespace

std::unique_ptr<EffectPort> GrainEffect::makeEditorPort() {
    return std::unique_ptr<EffectPort>(new (std::nothrow) GrainEffectPort(*this));
}

}  // namespace grainwheel
