#pragma once
// A small VST 3 host for the suites: loads the build tree's bundle (dlopen of
// Contents/x86_64-linux/grainwheel.so), makes the factory's class and finds its
// interfaces; memory streams for state, parameter queues, and blocks with a
// ProcessContext.

#include <vst3_c_api.h>

#include <cstdint>
#include <string>
#include <vector>

namespace gwvst3test {

// A byte stream in memory (IBStream).
struct MemoryStream {
    Steinberg_IBStream face;
    std::vector<char> bytes;
    std::int64_t pos = 0;
    MemoryStream();
    Steinberg_IBStream* stream() { return &face; }
};

// One block's parameter changes (IParameterChanges with its queues).
class Changes {
public:
    Changes();
    void add(Steinberg_Vst_ParamID id, std::int32_t offset, double value);
    void clear() { used_ = 0; }
    Steinberg_Vst_IParameterChanges* changes() { return &face_; }

    struct Queue {
        Steinberg_Vst_IParamValueQueue face;
        Steinberg_Vst_ParamID id = 0;
        std::vector<std::pair<std::int32_t, double>> points;
    };
    Queue* queue(int i) { return &queues_[static_cast<std::size_t>(i)]; }
    int used() const { return used_; }
    Queue* addQueue(Steinberg_Vst_ParamID id);

private:
    Steinberg_Vst_IParameterChanges face_;
    std::vector<Queue> queues_;  // never grows past its first size: the faces stay put
    int used_ = 0;
};

class Plugin {
public:
    Plugin();
    ~Plugin();
    bool ok() const { return component != nullptr && processor != nullptr && controller != nullptr; }
    // setupProcessing, bus arrangements, setActive(true), setProcessing(true).
    bool start(double rate, std::int32_t maxBlock);
    void stop();
    // One block of stereo audio; `context` may be null.
    Steinberg_tresult process(const float* inL, const float* inR, float* outL, float* outR, std::int32_t frames,
                              Changes* changes, Steinberg_Vst_ProcessContext* context, Changes* outChanges = nullptr,
                              std::uint64_t* silence = nullptr);
    std::string text(Steinberg_Vst_ParamID id, double value);

    Steinberg_IPluginFactory3* factory = nullptr;
    Steinberg_Vst_IComponent* component = nullptr;
    Steinberg_Vst_IAudioProcessor* processor = nullptr;
    Steinberg_Vst_IEditController* controller = nullptr;
    Steinberg_Vst_IUnitInfo* units = nullptr;

private:
    void* library_ = nullptr;
};

std::string narrow(const Steinberg_char16* text);
void widen(const char* text, Steinberg_char16* out);
// A ProcessContext for a playing transport at `quarters`, `tempo` and a metre of n/4.
Steinberg_Vst_ProcessContext playingAt(double rate, double quarters, double tempo, int beatsPerBar);

}  // namespace gwvst3test
