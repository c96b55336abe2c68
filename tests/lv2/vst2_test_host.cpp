#include "tests/lv2/vst2_test_host.h"

#include <dlfcn.h>

#include <cmath>
#include <vector>

namespace gwlv2test {

namespace {
thread_local Vst2Module* constructing = nullptr;
}

Vst2Module::Vst2Module(double rate, std::int32_t maxBlock) : maxBlock_(maxBlock) {
    transport.sampleRate = rate;
    // RTLD_NODELETE: the module stays mapped after close, so its thread-local blocks (kept
    // until the thread ends) never look like leaks.
    library_ = dlopen(GW_VST2_MODULE, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (library_ == nullptr) return;
    using Entry = AEffect* (*)(audioMasterCallback);
    auto entry = reinterpret_cast<Entry>(dlsym(library_, "VSTPluginMain"));
    if (entry == nullptr) return;
    constructing = this;
    effect_ = entry(&Vst2Module::callback);
    constructing = nullptr;
    if (effect_ == nullptr) return;
    effect_->resvd1 = reinterpret_cast<VstIntPtr>(this);
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
    dispatch(effSetBlockSize, 0, maxBlock);
    dispatch(effMainsChanged, 0, 1);
}

Vst2Module::~Vst2Module() {
    if (effect_ != nullptr) {
        dispatch(effMainsChanged, 0, 0);
        dispatch(effClose);
    }
    if (library_ != nullptr) dlclose(library_);
}

VstIntPtr Vst2Module::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

void Vst2Module::process(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                         std::int32_t frames) {
    float* in[2] = {const_cast<float*>(inLeft), const_cast<float*>(inRight)};
    float* out[2] = {outLeft, outRight};
    effect_->processReplacing(effect_, in, out, frames);
    transport.advance(frames);
    since_ += frames;
    dispatch(effEditIdle);
}

void Vst2Module::relocate(double quarters) {
    relocated_ = true;
    place_ = quarters;
    since_ = 0.0;
}

VstIntPtr VSTCALLBACK Vst2Module::callback(AEffect* effect, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    Vst2Module* self = constructing;
    if (effect != nullptr && effect->resvd1 != 0) self = reinterpret_cast<Vst2Module*>(effect->resvd1);
    switch (opcode) {
        case audioMasterVersion: return 2300;
        case audioMasterGetTime: {
            if (self == nullptr) return 0;
            self->transport.describe(self->time_);
            if (self->relocated_) {
                const gwhost::Transport& t = self->transport;
                const double quartersPerBar = t.timeSigNumerator * 4.0 / t.timeSigDenominator;
                self->time_.ppqPos = self->place_ + self->since_ / t.sampleRate * t.tempo / 60.0;
                self->time_.barStartPos = std::floor(self->time_.ppqPos / quartersPerBar) * quartersPerBar;
            }
            return reinterpret_cast<VstIntPtr>(&self->time_);
        }
        case audioMasterGetSampleRate: return self != nullptr ? static_cast<VstIntPtr>(self->transport.sampleRate) : 0;
        case audioMasterGetBlockSize: return self != nullptr ? self->maxBlock_ : 0;
        default: return 0;
    }
}

}  // namespace gwlv2test
