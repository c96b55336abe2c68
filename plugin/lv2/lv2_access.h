#pragma once
// InstanceAccess: what grainwheel's LV2 UI asks of the running plug-in instance when the
// host lets it reach the instance (instance-access and data-access). Both modules are
// built from one tree; every call goes through this interface's virtual functions, so it
// runs the plug-in module's own code on the plug-in module's own objects.
//
// The UI finds it through the plug-in's extension data kAccessUri (lv2_uris.h), whose
// answer is an AccessExtension.

#include <cstddef>

#include "editor/effect_port.h"
#include "engine/grain_engine.h"

namespace grainwheel::lv2 {

class InstanceAccess {
public:
    // The engine and its files as the editor sees them (the same port the VST 2 editor
    // has). Its parameter calls set the engine directly; a UI sends automatable changes
    // to the host instead, which hands them to the plug-in through the control ports.
    virtual EffectPort& port() = 0;
    // The engine's notices go to every listener added (one per open panel; a host may
    // show two panels of one instance). add answers false when all places are taken;
    // remove returns once no notice to `listener` is under way. The UI's thread only.
    virtual bool addListener(EngineListener* listener) = 0;
    virtual void removeListener(EngineListener* listener) = 0;
    // A message the plug-in could not show (a restore that missed files): copies it into
    // text[size] and clears it; false when there is none. Any thread but the audio thread.
    virtual bool takeMessage(char* text, std::size_t size) = 0;
    // The UI is about to write the engine's own value of host parameter `index` to the
    // host's port (after a program change or a bank read): when the port next changes to
    // `value` the plug-in takes it as seen instead of setting it, since a write-back is
    // no user's change (set again, bufferNo would end trigger mode's halt). Any thread.
    virtual void writingBack(int index, float value) = 0;
    // Runs the work the audio thread handed off when the host offers no worker (the UI
    // calls it at each idle, as the VST 2 editor's idle does); nothing otherwise.
    virtual void runDeferredWork() = 0;

protected:
    ~InstanceAccess() = default;
};

struct AccessExtension {
    InstanceAccess* (*access)(void* instance);
};

}  // namespace grainwheel::lv2
