#pragma once
// The VST 2 module beside the LV2 plug-in: loaded through its entry point, with the
// command-line host's steady transport (gwhost::Transport) until the test relocates it;
// after a relocation the position runs on from the new place with the same arithmetic
// (quarters = place + frames since / rate * tempo / 60).

#include <cstdint>

#include "host/vst2abi.h"
#include "tools/host_session.h"

namespace gwlv2test {

class Vst2Module {
public:
    Vst2Module(double rate, std::int32_t maxBlock);
    ~Vst2Module();
    Vst2Module(const Vst2Module&) = delete;
    Vst2Module& operator=(const Vst2Module&) = delete;

    bool ok() const { return effect_ != nullptr; }
    void setParameter(int index, float value) { effect_->setParameter(effect_, index, value); }
    float getParameter(int index) { return effect_->getParameter(effect_, index); }
    // One block; afterwards the module's deferred work runs, as an editor's idle runs it.
    void process(const float* inLeft, const float* inRight, float* outLeft, float* outRight, std::int32_t frames);
    // From now on the position runs on from `quarters`.
    void relocate(double quarters);

    gwhost::Transport transport;

private:
    static VstIntPtr VSTCALLBACK callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                          void* ptr, float opt);
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f);

    void* library_ = nullptr;
    AEffect* effect_ = nullptr;
    std::int32_t maxBlock_;
    bool relocated_ = false;
    double place_ = 0.0;      // quarters at the relocation
    double since_ = 0.0;      // frames run since it
    VstTimeInfo time_{};
};

}  // namespace gwlv2test
