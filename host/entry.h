#pragma once
// The link between the exported entry points and the effect they create. The engine
// provides createEffectInstance(); the entry point owns the out-of-memory flag.

#include "host/vst2abi.h"

class AudioEffect;

// Constructs the plug-in's effect object (provided by the engine). May return null.
AudioEffect* createEffectInstance(audioMasterCallback audioMaster);

// Raised by the effect's construction when a part it cannot run without (the editor
// object) could not be created; the entry point then deletes the effect and answers
// null. The flag belongs to the calling thread and is cleared at the start of each
// entry call, so one failed construction does not refuse every later instance.
bool& effectOutOfMemory();

// The body of both exported entry points (`VSTPluginMain` and `main`).
AEffect* vstEntry(audioMasterCallback audioMaster);
