// A tiny stereo gain plug-in on the host layer, for the validator's own tests. Built once
// clean and once per deliberate fault (GW_FAULT names it), so that each fault can be
// shown to fail the check that looks for it while the clean build passes all of them.
//   nan      a NaN in the output every 37th block
//   chunk    a chunk that does not read back as it was set
//   texts    a display text of 11 characters, a parameter name of 80
//   alloc    an allocation in every processReplacing
//   overrun  processReplacing reads one frame past the end of its input
//   tail     output that never falls silent after the input stops
//   crash    a segmentation fault on blocks of one frame
//   hostile  a chunk's tremolo rate taken as it comes: a huge one never leaves the loop
//            that wraps the phase
// The clean build brings every chunk value into range, as a plug-in must. The alloc
// build allocates through the operator form that GW_TINY_ALLOC_FORM names (see
// allocateOnce), or a std::vector without it.

#include <csignal>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>
#include <vector>

#include "host/audioeffectx.h"
#include "host/entry.h"

#define GW_FAULT_IS(name) (__builtin_strcmp(GW_FAULT, name) == 0)

namespace {

constexpr int kParams = 2;
constexpr int kPrograms = 2;

struct Program {
    float values[kParams] = {0.5f, 0.0f};
    float tremoloRate = 0.25f;  // cycles per block
    char name[25] = "tiny";
};

// A value from a chunk brought into [low, high]; NaN gives `otherwise`.
float inRange(float v, float low, float high, float otherwise) {
    if (std::isnan(v)) return otherwise;
    return v < low ? low : v > high ? high : v;
}

// Keeps the compiler from pairing an allocation with its release and leaving both out.
template <typename T>
T* kept(T* p) {
    asm volatile("" : : "r"(p) : "memory");
    return p;
}

// One allocation and its release through the operator form `form` names, as a plug-in
// might make on the audio thread.
void allocateOnce(const char* form) {
    struct alignas(64) Wide {
        float lanes[16];
    };
    const std::string_view f = form;
    void* p = nullptr;
    if (f == "new") {
        delete kept(new float(1.0f));
    } else if (f == "new[]") {
        delete[] kept(new float[16]);
    } else if (f == "nothrow") {
        delete kept(new (std::nothrow) float(1.0f));
    } else if (f == "nothrow[]") {
        delete[] kept(new (std::nothrow) float[16]);
    } else if (f == "aligned") {
        delete kept(new Wide);
    } else if (f == "aligned[]") {
        delete[] kept(new Wide[2]);
    } else if (f == "aligned-nothrow") {
        delete kept(new (std::nothrow) Wide);
    } else if (f == "aligned-nothrow[]") {
        delete[] kept(new (std::nothrow) Wide[2]);
    } else if (f == "sized") {
        p = kept(::operator new(24));
        ::operator delete(p, 24);
    } else if (f == "sized[]") {
        p = kept(::operator new[](24));
        ::operator delete[](p, 24);
    }
}

class TinyPlugin : public AudioEffectX {
public:
    explicit TinyPlugin(audioMasterCallback master) : AudioEffectX(master, kPrograms, kParams) {
        setNumInputs(2);
        setNumOutputs(2);
        setUniqueID(vstFourCC('G', 'W', 't', 'y'));
        canProcessReplacing();
        programsAreChunks();
        std::snprintf(programs_[1].name, sizeof(programs_[1].name), "tiny two");
    }

    void setProgram(VstInt32 program) override {
        if (program >= 0 && program < kPrograms) curProgram = program;
    }
    void setProgramName(const char* name) override {
        std::snprintf(current().name, sizeof(current().name), "%s", name);
    }
    void getProgramName(char* name) override { std::snprintf(name, kVstMaxProgNameLen + 1, "%s", current().name); }
    bool getProgramNameIndexed(VstInt32, VstInt32 index, char* name) override {
        if (index < 0 || index >= kPrograms) return false;
        std::snprintf(name, kVstMaxProgNameLen + 1, "%s", programs_[index].name);
        return true;
    }

    void setParameter(VstInt32 index, float value) override {
        // A gain of a subnormal value would make subnormal output: taken as 0.
        if (index >= 0 && index < kParams) current().values[index] = std::fabs(value) < 1e-30f ? 0.0f : value;
    }
    float getParameter(VstInt32 index) override { return index >= 0 && index < kParams ? current().values[index] : 0.0f; }
    void getParameterName(VstInt32 index, char* text) override {
        if (GW_FAULT_IS("texts") && index == 1) {
            std::memset(text, 'n', 80);
            text[80] = 0;
            return;
        }
        std::snprintf(text, kVstMaxParamStrLen + 1, "%s", index == 0 ? "gain" : "offset");
    }
    void getParameterDisplay(VstInt32 index, char* text) override {
        const double value = getParameter(index);
        if (GW_FAULT_IS("texts") && index == 0)
            std::sprintf(text, "%.9f", value);  // 11 characters
        else
            std::snprintf(text, kVstMaxParamStrLen + 1, "%.2f", value);
    }
    void getParameterLabel(VstInt32 index, char* text) override { std::snprintf(text, kVstMaxParamStrLen + 1, "%s", index == 0 ? "x" : ""); }
    bool getEffectName(char* text) override {
        std::snprintf(text, kVstMaxEffectNameLen + 1, "tiny %s", GW_FAULT);
        return true;
    }
    bool getVendorString(char* text) override {
        std::snprintf(text, kVstMaxVendorStrLen, "grainwheel tests");
        return true;
    }
    VstInt32 canDo(const char* text) override { return std::strcmp(text, "2in2out") == 0 ? 1 : -1; }

    VstInt32 getChunk(void** data, bool isPreset) override {
        chunk_.clear();
        const int first = isPreset ? curProgram : 0, count = isPreset ? 1 : kPrograms;
        for (int p = first; p < first + count; ++p) {
            const char* bytes = reinterpret_cast<const char*>(&programs_[p]);
            chunk_.insert(chunk_.end(), bytes, bytes + sizeof(Program));
        }
        if (GW_FAULT_IS("chunk")) chunk_[0] ^= static_cast<char>(++reads_);  // a different first byte each time
        *data = chunk_.data();
        return static_cast<VstInt32>(chunk_.size());
    }
    VstInt32 setChunk(void* data, VstInt32 size, bool isPreset) override {
        const int first = isPreset ? curProgram : 0, count = isPreset ? 1 : kPrograms;
        if (size != static_cast<VstInt32>(count * sizeof(Program))) return 0;
        std::memcpy(&programs_[first], data, static_cast<std::size_t>(size));
        for (int p = first; p < first + count; ++p) {
            Program& program = programs_[p];
            program.name[24] = 0;
            for (float& v : program.values) v = inRange(v, 0.0f, 1.0f, 0.0f);
            if (!GW_FAULT_IS("hostile")) program.tremoloRate = inRange(program.tremoloRate, 0.0f, 1.0f, 0.25f);
        }
        return 1;
    }

    void processReplacing(float** inputs, float** outputs, VstInt32 frames) override {
        // A slow tremolo, its phase advanced once a block.
        tremoloPhase_ += current().tremoloRate;
        while (tremoloPhase_ >= 1.0f) tremoloPhase_ -= 1.0f;
        const float gain = 2.0f * current().values[0] * (1.0f - 0.125f * tremoloPhase_);
        const float offset = 0.01f * current().values[1];
        ++blocks_;
        for (int c = 0; c < 2; ++c) {
            for (VstInt32 i = 0; i < frames; ++i) {
                float x = inputs[c][i];
                if (GW_FAULT_IS("tail")) {
                    held_ = std::fabs(x) > held_ ? std::fabs(x) : held_;
                    x += 0.01f * held_;
                }
                outputs[c][i] = x * gain + offset;
            }
        }
        if (GW_FAULT_IS("nan") && blocks_ % 37 == 0) outputs[0][frames / 2] = std::nanf("");
        if (GW_FAULT_IS("alloc")) {
            if (allocForm_)
                allocateOnce(allocForm_);
            else
                scratch_ = std::vector<float>(static_cast<std::size_t>(frames) + 16);
        }
        if (GW_FAULT_IS("crash") && frames == 1) std::raise(SIGSEGV);
        if (GW_FAULT_IS("overrun")) outputs[1][0] += 0.0f * inputs[0][frames];
    }

private:
    Program& current() { return programs_[curProgram]; }
    Program programs_[kPrograms];
    std::vector<char> chunk_;
    std::vector<float> scratch_;
    long blocks_ = 0;
    int reads_ = 0;
    float held_ = 0.0f;
    float tremoloPhase_ = 0.0f;
    const char* allocForm_ = std::getenv("GW_TINY_ALLOC_FORM");
};

}  // namespace

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) { return new TinyPlugin(audioMaster); }
