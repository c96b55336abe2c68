#include "test_host.h"

#include "host/entry.h"

namespace testhost {

RecordingHost& host() {
    static RecordingHost h;
    return h;
}

VstIntPtr VSTCALLBACK hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                   float opt) {
    host().calls.push_back({effect, opcode, index, value, ptr, opt});
    if (opcode == audioMasterVersion) return host().versionAnswer;
    if (opcode == audioMasterIdle && host().onIdle) host().onIdle();
    return host().defaultAnswer;
}

bool failEditor = false;

}  // namespace testhost

// The entry point's factory for these tests: a TestEffect with an editor, or (when the
// test asks for it) the out-of-memory flag raised as if the editor could not be made.
AudioEffect* createEffectInstance(audioMasterCallback audioMaster) {
    auto* effect = new testhost::TestEffect(audioMaster);
    if (testhost::failEditor)
        effectOutOfMemory() = true;
    else
        new testhost::TestGUIEditor(effect);
    return effect;
}
