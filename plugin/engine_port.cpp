// The editor's port onto an engine and its files (engine_port.h).

#include "plugin/engine_port.h"

#include "persistence/effect_state.h"

namespace grainwheel {

namespace {
bool validBuffer(int b) { return b >= 0 && b < kNumBuffers; }
}  // namespace

void EnginePort::silenceVoices() {
    // Setting the voice count again stops every slot (under the buffer gate, so no block
    // is rendering them meanwhile) and keeps the count.
    engine_.setParameter(kVoiceCount, engine_.getParameter(kVoiceCount));
}

// The columns of buffers that changed are computed here, on the panel's thread.
void EnginePort::copyDisplay(DisplaySnapshot& out) {
    engine_.display().refreshColumns(engine_);
    engine_.display().copy(engine_, out);
}

int EnginePort::bufferLength(int b) { return validBuffer(b) ? framesOf(engine_.buffers().buffer(b)).length : 0; }

bool EnginePort::bufferHasArrays(int b) {
    if (!validBuffer(b)) return false;
    const AudioBuffer& a = engine_.buffers().buffer(b);
    return a.left.load() != nullptr && a.right.load() != nullptr;
}

bool EnginePort::bufferSaved(int b) { return validBuffer(b) && engine_.buffers().buffer(b).saved.load() != 0; }

// A buffer at another rate than the working rate (after a change of the host's rate,
// until the deferred work converts it) counts its seconds at its own.
float EnginePort::bufferRate(int b) {
    const int rate = validBuffer(b) ? engine_.bufferRate(b) : 0;
    return rate > 0 ? static_cast<float>(rate) : sampleRate();
}

const char* EnginePort::bufferPath(int b) {
    ProgramRecord* p = engine_.programs().records();
    return validBuffer(b) && p != nullptr ? p[b].bufferPath : "";
}

void EnginePort::setBankName(const char* name) {
    if (name != nullptr) copyPath(files_.state().bankName, name);
}

const char* EnginePort::recentBank(int i) {
    return i >= 0 && i < kNumRecentBanks ? files_.state().recentBanks.entry(i) : "";
}

}  // namespace grainwheel
