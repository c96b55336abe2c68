// Finding the port of an effect without knowing its class.

#include "editor/effect_port.h"

#include "host/audioeffect.h"

namespace grainwheel {

std::unique_ptr<EffectPort> makeEffectPort(AudioEffect* effect) {
    auto* source = dynamic_cast<EffectPortSource*>(effect);
    return source != nullptr ? source->makeEditorPort() : nullptr;
}

}  // namespace grainwheel
