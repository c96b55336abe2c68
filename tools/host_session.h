#pragma once
// A minimal VST 2.x host: loads a plug-in library through its entry point, answers the
// plug-in's host calls (version, a simulated transport, the plug-in's folder, sample
// rate, block size) and records the automation the plug-in sends, with the begin and end of
// each edit gesture in their places. One HostSession per
// loaded plug-in; the subcommands of grainwheel-host build on it.

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "host/vst2abi.h"

namespace gwhost {

// A steady simulated transport: constant tempo and metre, advanced by processed frames.
struct Transport {
    double sampleRate = 44100.0;
    double tempo = 120.0;
    std::int32_t timeSigNumerator = 4;
    std::int32_t timeSigDenominator = 4;
    bool playing = true;
    double samplePos = 0.0;

    // Fills `info` for the current position (ppq, bar start, metre, flags).
    void describe(VstTimeInfo& info) const;
    void advance(std::int32_t frames) { samplePos += frames; }
};

struct AutomationEvent {
    // A parameter value (audioMasterAutomate), or a gesture's begin or end
    // (audioMasterBeginEdit, audioMasterEndEdit; no value).
    enum Kind : std::uint8_t { kValue, kBeginEdit, kEndEdit };
    std::int32_t index;
    float value;
    Kind kind = kValue;
};

// One line for an event: "automation INDEX [NAME ]VALUE", "begin-edit INDEX [NAME]" or
// "end-edit INDEX [NAME]" (name null: without).
std::string describeAutomation(const AutomationEvent& event, const char* name);

class HostSession {
public:
    HostSession();
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    // Loads the library and calls its entry point; false with `error()` set on failure.
    bool load(const std::string& path);
    // effClose and unload; safe to call twice.
    void close();
    // effClose in whatever state the plug-in is in (as a host that never suspended it), then unload.
    void closeAsIs();

    AEffect* effect() const { return effect_; }
    const std::string& error() const { return error_; }
    const std::string& pluginPath() const { return path_; }
    const std::string& pluginFolder() const { return folder_; }

    // Dispatcher shorthand.
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f);
    // A text answer of the dispatcher (the buffer is generous and always terminated).
    std::string text(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0);

    // effOpen, sample rate, block size, effMainsChanged(1).
    void start(double sampleRate, std::int32_t blockSize);
    // effMainsChanged(0).
    void stop();

    Transport transport;
    std::int32_t blockSize = 512;
    // False: audioMasterGetTime answers null, as a host without a transport does.
    bool provideTimeInfo = true;
    std::vector<AutomationEvent> automation;  // guarded by callbackLock when threads share the session
    std::vector<std::int32_t> hostOpcodesSeen;  // each host opcode once, in order of first use
    // Held while a host call records what it saw (plug-ins call from several threads).
    std::mutex callbackLock;
    // The automation received since the given count (under callbackLock).
    std::vector<AutomationEvent> automationSince(std::size_t count);

    static VstIntPtr VSTCALLBACK callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                          void* ptr, float opt);

private:
    VstIntPtr answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

    void* library_ = nullptr;
    AEffect* effect_ = nullptr;
    bool running_ = false;
    std::string path_;
    std::string folder_;
    std::string error_;
    VstTimeInfo timeInfo_{};
};

// The plug-in category's name ("Effect", "Synth", ...).
const char* categoryName(VstIntPtr category);

}  // namespace gwhost
