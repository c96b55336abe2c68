// The body of the exported entry points: version check, construction, and the
// out-of-memory check. The exported symbols themselves are in exports.cpp.

#include "host/entry.h"

#include "host/audioeffect.h"

bool& effectOutOfMemory() {
    thread_local bool raised = false;
    return raised;
}

AEffect* vstEntry(audioMasterCallback audioMaster) {
    if (!audioMaster) return nullptr;
    // A host without VST 2 support answers 0.
    if (audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    effectOutOfMemory() = false;
    AudioEffect* effect = createEffectInstance(audioMaster);
    if (!effect) return nullptr;
    if (effectOutOfMemory()) {
        delete effect;
        return nullptr;
    }
    return effect->getAeffect();
}
