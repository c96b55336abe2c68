#include "tools/host_session.h"

#include <dlfcn.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace gwhost {

namespace {
// The session whose plug-in is being constructed: during its entry call the plug-in has
// no record yet (or one we have not seen), so the callback cannot find the session there.
thread_local HostSession* constructing = nullptr;

void copyText(char* to, std::size_t size, const char* from) {
    std::strncpy(to, from, size - 1);
    to[size - 1] = 0;
}
}  // namespace

void Transport::describe(VstTimeInfo& info) const {
    std::memset(&info, 0, sizeof(info));
    info.samplePos = samplePos;
    info.sampleRate = sampleRate;
    info.tempo = tempo;
    double quartersPerBar = timeSigNumerator * 4.0 / timeSigDenominator;
    info.ppqPos = samplePos / sampleRate * tempo / 60.0;
    info.barStartPos = std::floor(info.ppqPos / quartersPerBar) * quartersPerBar;
    info.timeSigNumerator = timeSigNumerator;
    info.timeSigDenominator = timeSigDenominator;
    info.flags = kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;
    if (playing) info.flags |= kVstTransportPlaying;
}

HostSession::HostSession() = default;

HostSession::~HostSession() { close(); }

bool HostSession::load(const std::string& path) {
    close();
    char resolved[PATH_MAX];
    if (!realpath(path.c_str(), resolved)) {
        error_ = "cannot find " + path;
        return false;
    }
    path_ = resolved;
    // realpath answers an absolute path: the folder is all before its last slash, or the root.
    const std::size_t lastSlash = path_.rfind('/');
    folder_ = lastSlash == 0 ? std::string(1, '/') : path_.substr(0, lastSlash);

    // RTLD_NODELETE: the module stays mapped after close, so its thread-local blocks (kept
    // by glibc until the thread ends) never look like leaks, and late callbacks stay valid.
    library_ = dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!library_) {
        const char* why = dlerror();
        error_ = std::string("cannot load ") + path_ + ": " + (why ? why : "unknown error");
        return false;
    }
    using Entry = AEffect* (*)(audioMasterCallback);
    auto entry = reinterpret_cast<Entry>(dlsym(library_, "VSTPluginMain"));
    if (!entry) entry = reinterpret_cast<Entry>(dlsym(library_, "main"));
    if (!entry) {
        error_ = "no VSTPluginMain or main in " + path_;
        close();
        return false;
    }
    constructing = this;
    effect_ = entry(&HostSession::callback);
    constructing = nullptr;
    if (!effect_) {
        error_ = "the plug-in's entry point answered null";
        close();
        return false;
    }
    if (effect_->magic != kEffectMagic) {
        error_ = "not a VST 2.x plug-in (wrong magic number)";
        effect_ = nullptr;
        close();
        return false;
    }
    // Hosts keep their own pointer in resvd1; plug-ins must leave it alone.
    effect_->resvd1 = reinterpret_cast<VstIntPtr>(this);
    return true;
}

void HostSession::close() {
    if (effect_) {
        if (running_) stop();
        effect_->dispatcher(effect_, effClose, 0, 0, nullptr, 0.0f);
        effect_ = nullptr;
    }
    if (library_) {
        dlclose(library_);
        library_ = nullptr;
    }
}

void HostSession::closeAsIs() {
    running_ = false;
    close();
}

VstIntPtr HostSession::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    if (!effect_) return 0;
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::string HostSession::text(VstInt32 opcode, VstInt32 index, VstIntPtr value) {
    char buffer[512] = {};
    dispatch(opcode, index, value, buffer, 0.0f);
    buffer[sizeof(buffer) - 1] = 0;
    return buffer;
}

void HostSession::start(double sampleRate, std::int32_t newBlockSize) {
    transport.sampleRate = sampleRate;
    blockSize = newBlockSize;
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
    dispatch(effSetBlockSize, 0, newBlockSize);
    dispatch(effMainsChanged, 0, 1);
    running_ = true;
}

void HostSession::stop() {
    if (!running_) return;
    dispatch(effMainsChanged, 0, 0);
    running_ = false;
}

VstIntPtr VSTCALLBACK HostSession::callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                            void* ptr, float opt) {
    HostSession* session = constructing;
    if (effect && effect->magic == kEffectMagic && effect->resvd1) session = reinterpret_cast<HostSession*>(effect->resvd1);
    if (opcode == audioMasterVersion) return 2300;
    if (!session) return 0;
    return session->answer(opcode, index, value, ptr, opt);
}

std::vector<AutomationEvent> HostSession::automationSince(std::size_t count) {
    std::lock_guard<std::mutex> hold(callbackLock);
    if (count >= automation.size()) return {};
    return std::vector<AutomationEvent>(automation.begin() + static_cast<std::ptrdiff_t>(count), automation.end());
}

VstIntPtr HostSession::answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    {
        std::lock_guard<std::mutex> hold(callbackLock);
        bool seen = false;
        for (std::int32_t o : hostOpcodesSeen) seen = seen || o == opcode;
        if (!seen) hostOpcodesSeen.push_back(opcode);
        if (opcode == audioMasterAutomate) automation.push_back({index, opt, AutomationEvent::kValue});
        if (opcode == audioMasterBeginEdit) automation.push_back({index, 0.0f, AutomationEvent::kBeginEdit});
        if (opcode == audioMasterEndEdit) automation.push_back({index, 0.0f, AutomationEvent::kEndEdit});
    }
    switch (opcode) {
        case audioMasterAutomate: return 0;
        case audioMasterCurrentId: return 0;
        case audioMasterIdle: return 0;
        case audioMasterGetTime:
            if (!provideTimeInfo) return 0;
            transport.describe(timeInfo_);
            return reinterpret_cast<VstIntPtr>(&timeInfo_);
        case audioMasterGetSampleRate: return static_cast<VstIntPtr>(transport.sampleRate);
        case audioMasterGetBlockSize: return blockSize;
        case audioMasterGetCurrentProcessLevel: return 0;
        case audioMasterGetAutomationState: return 1;  // off
        case audioMasterGetVendorString:
            if (ptr) copyText(static_cast<char*>(ptr), 64, "grainwheel");
            return 1;
        case audioMasterGetProductString:
            if (ptr) copyText(static_cast<char*>(ptr), 64, "grainwheel-host");
            return 1;
        case audioMasterGetVendorVersion: return 1;
        case audioMasterGetLanguage: return 1;  // English
        case audioMasterGetDirectory: return reinterpret_cast<VstIntPtr>(folder_.c_str());
        case audioMasterCanDo: {
            const char* what = static_cast<const char*>(ptr);
            if (!what) return 0;
            for (const char* yes : {"sendVstTimeInfo", "sendVstEvents", "sendVstMidiEvent", "supplyIdle",
                                    "startStopProcess"})
                if (std::strcmp(what, yes) == 0) return 1;
            return -1;
        }
        case audioMasterBeginEdit:
        case audioMasterEndEdit:
        case audioMasterUpdateDisplay: return 1;
        case audioMasterWantMidi:
        case audioMasterIOChanged:
        case audioMasterSizeWindow:
        default: return 0;
    }
}

std::string describeAutomation(const AutomationEvent& event, const char* name) {
    char line[160];
    const char* space = name ? " " : "";
    if (!name) name = "";
    switch (event.kind) {
        case AutomationEvent::kBeginEdit: std::snprintf(line, sizeof line, "begin-edit %d%s%s", event.index, space, name); break;
        case AutomationEvent::kEndEdit: std::snprintf(line, sizeof line, "end-edit %d%s%s", event.index, space, name); break;
        default:
            std::snprintf(line, sizeof line, "automation %d%s%s %.6f", event.index, space, name,
                          static_cast<double>(event.value));
            break;
    }
    return line;
}

const char* categoryName(VstIntPtr category) {
    static const char* const names[] = {"Unknown",     "Effect",       "Synth",  "Analysis",
                                        "Mastering",   "Spacializer",  "RoomFx", "SurroundFx",
                                        "Restoration", "OfflineProcess", "Shell", "Generator"};
    if (category < 0 || category >= static_cast<VstIntPtr>(sizeof(names) / sizeof(names[0]))) return "?";
    return names[category];
}

}  // namespace gwhost
