#pragma once
// EffectPort: everything the editor asks of the effect, in one interface. The editor never
// sees the effect's class; effect_port.cpp adapts the plug-in's effect, tests use fakes.
//
// Threads: the parameter calls and the file operations run on the user-interface thread.
// The published values are single words the audio thread writes; the port reads them
// whole, without a lock.

#include <atomic>
#include <cstdint>
#include <memory>

class AudioEffect;

namespace grainwheel {

struct AudioBuffer;

using FileResult = int;

// Where the scope views read the engine's data (pointers stay valid while the effect
// lives; the sample arrays are taken at the moment of the call).
struct ScopeSources {
    std::atomic<std::int32_t>* captureState = nullptr;
    float* captureBuffer = nullptr;
    float* currentSamples = nullptr;                 // the current buffer's left array
    std::atomic<float>* currentLength = nullptr;     // frames
    std::atomic<float>* playPosition = nullptr;      // frames
    std::atomic<float>* grainLength = nullptr;       // frames
    std::atomic<std::int32_t>* grainInterval = nullptr;
    std::atomic<std::uint8_t>* recording = nullptr;
    std::atomic<float>* scopeMode = nullptr;
    std::atomic<std::int32_t>* currentBuffer = nullptr;
    const AudioBuffer* records = nullptr;            // the 16 buffer records
};

class EffectPort {
public:
    virtual ~EffectPort() = default;

    // Parameters and settings (one index space).
    virtual float getParameter(int index) = 0;
    virtual void setParameter(int index, float value) = 0;
    virtual void setParameterAutomated(int index, float value) = 0;
    virtual void getParameterDisplay(int index, char* text) = 0;
    // The user's gesture on a host parameter begins and ends (the host's touch and latch
    // automation follows them).
    virtual void beginEdit(int index) = 0;
    virtual void endEdit(int index) = 0;

    // Published engine values.
    virtual int currentUnit() = 0;
    virtual int currentBuffer() = 0;
    virtual float linkedDensity() = 0;
    // The engine's recording byte: true when it is 1, which the call then sets to 0.
    virtual bool takeRecordingMark() = 0;
    virtual void setHalted(bool halted) = 0;
    // Ends every grain voice at once (their remaining-sample counts to 0).
    virtual void silenceVoices() = 0;
    virtual ScopeSources scopeSources() = 0;

    // Buffers and the working sample rate.
    virtual int bufferLength(int b) = 0;       // frames, 0 when empty
    virtual bool bufferHasArrays(int b) = 0;   // both sample arrays exist
    virtual bool bufferSaved(int b) = 0;
    virtual const char* bufferPath(int b) = 0; // the path in program record b
    virtual float sampleRate() = 0;

    // Files (each returns a file result code; 0 is success).
    virtual FileResult readWaveFile(const char* path) = 0;  // into the current buffer
    virtual FileResult writeWaveFile(const char* path) = 0;
    virtual FileResult readBankFile(const char* path) = 0;
    virtual FileResult writeBankFile(const char* path) = 0;
    virtual FileResult importBankOptions(const char* path) = 0;
    virtual const char* bankName() = 0;
    virtual void setBankName(const char* name) = 0;
    // The recent-bank list: entry i of 20, and recording a path at its top.
    virtual const char* recentBank(int i) = 0;
    virtual void recordRecentBank(const char* path) = 0;
    // The save offered when the plug-in closes with unsaved audio.
    virtual void exitSave() = 0;
};

// The port of the plug-in's own effect; null when effect is not one.
std::unique_ptr<EffectPort> makeEffectPort(AudioEffect* effect);

}  // namespace grainwheel
