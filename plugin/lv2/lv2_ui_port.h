#pragma once
// The LV2 panel's port onto the plug-in: HostLink (the host's port write function and
// touch feature, and what the UI knows of the host's control ports), DisplayReceiver and
// HostPort (the plug-in as a UI without the running instance sees it: the host's port
// values, the parameter table's texts and the display the plug-in sends on its notify
// port) and UiPort, the EffectPort the editor uses. UiPort forwards everything to a
// target port, which is the running instance's own (instance-access) or a HostPort (when
// the host gives no access), except the parts that belong to the host:
//  - an automated change of a host parameter (0..106) goes to the host's control port; the
//    plug-in applies it at its next block and the host records it as automation;
//  - a command's press and release (kill buffer, copy, paste, the presets) go to the
//    plug-in as messages on its time port when the host maps URIs for the UI: they
//    arrive in order and each once, even when both fall between two blocks. Without
//    urid:map the press alone is sent by changing the command's port (the plug-in runs
//    a command on each change). Kill buffer is asked first, with the engine's own
//    question, and only a Yes is sent;
//  - the user's gestures become the host's touch (ui:touch) when it offers it.
// Settings, buffer selection by number and the buttons (107 and above) go to the target.
//
// Threads: the user-interface thread, apart from HostLink::editing (any thread).

#include <atomic>
#include <cstdint>

#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include "editor/effect_port.h"
#include "engine/display_snapshot.h"
#include "persistence/file_result.h"
#include "plugin/lv2/lv2_uris.h"


namespace grainwheel::lv2 {

class HostLink {
public:
    HostLink(LV2UI_Write_Function writeFunction, LV2UI_Controller controller, const LV2UI_Touch* touchFeature,
             LV2_URID_Map* map = nullptr);

    // Sets host parameter `index` (0..106) on the host's control port.
    void write(int index, float value);
    // A press (1) or release (0) of command `index` (isCommandPort).
    void command(int index, float value);
    // The user grabs or lets go of the control of host parameter `index`.
    void touch(int index, bool grabbed);
    // A control port's value as the host last told it (port_event) or the UI wrote it.
    float known(int index) const { return valid(index) ? known_[index] : 0.0f; }
    void heard(int index, float value) {
        if (valid(index)) known_[index] = value;
    }
    // The host parameter the user is moving now, or -1 (any thread).
    int editing() const { return editing_.load(std::memory_order_relaxed); }
    bool hasTouch() const { return touch_ != nullptr; }

    static bool valid(int index) { return index >= 0 && index < kParameterPorts; }

private:
    LV2UI_Write_Function write_;
    LV2UI_Controller controller_;
    const LV2UI_Touch* touch_;
    // The URIDs of the command message (0: no urid:map).
    std::uint32_t eventTransfer_ = 0, atomObject_ = 0, atomInt_ = 0, atomFloat_ = 0;
    std::uint32_t commandType_ = 0, commandIndex_ = 0, commandValue_ = 0;
    float known_[kParameterPorts] = {};
    std::atomic<int> editing_{-1};
};

// The display messages of the plug-in's notify port (lv2_uris.h), taken into a snapshot
// of the panel's kind. UI thread.
class DisplayReceiver {
public:
    // Without urid:map no message is understood.
    explicit DisplayReceiver(LV2_URID_Map* map);
    // A port event of the notify port; false when it is no display message.
    bool take(std::uint32_t format, std::uint32_t size, const void* buffer);
    const DisplaySnapshot& snapshot() const { return snapshot_; }
    // True once a live message arrived.
    bool live() const { return lives_ != 0; }
    // The highest output peak since the last call.
    float takePeak();
    // True when frames were recorded since the last call.
    bool takeRecordingMark();

private:
    std::uint32_t eventTransfer_ = 0, atomObject_ = 0, atomBlank_ = 0, atomInt_ = 0, atomChunk_ = 0;
    std::uint32_t liveType_ = 0, scopeType_ = 0, columnsType_ = 0, bufferKey_ = 0, dataKey_ = 0;
    DisplaySnapshot snapshot_;
    std::uint32_t lives_ = 0;
    std::uint32_t markSerial_ = 0;
    float peak_ = 0.0f;
};

// The plug-in as a UI without access to the running instance sees it: the host parameters
// are the host's port values (HostLink), their texts the parameter table's, the engine's
// values and what the views draw the display messages' (DisplayReceiver); buffers, files
// and settings cannot be changed from here.
class HostPort final : public EffectPort {
public:
    HostPort(HostLink& link, DisplayReceiver& display, float sampleRate)
        : link_(link), display_(display), rate_(sampleRate) {}

    float getParameter(int index) override;
    void setParameter(int, float) override {}
    void setParameterAutomated(int, float) override {}
    void getParameterDisplay(int index, char* text) override;
    void beginEdit(int) override {}
    void endEdit(int) override {}

    int currentUnit() override { return live().currentUnit; }
    int currentBuffer() override;
    float linkedDensity() override { return live().linkedDensity; }
    bool takeRecordingMark() override { return display_.takeRecordingMark(); }
    void setHalted(bool) override {}
    void silenceVoices() override {}
    void copyDisplay(DisplaySnapshot& out) override { out = display_.snapshot(); }
    void requestCapture() override {}  // the plug-in asks for the next capture itself

    int bufferLength(int b) override;
    bool bufferHasArrays(int b) override { return state(b) & DisplayLive::kHasArrays; }
    bool bufferSaved(int b) override { return state(b) & DisplayLive::kSaved; }
    const char* bufferPath(int) override { return ""; }
    float sampleRate() override { return live().workingRate > 0 ? static_cast<float>(live().workingRate) : rate_; }
    float bufferRate(int b) override;

    FileResult readWaveFile(const char*) override { return kNoInstance; }
    FileResult writeWaveFile(const char*) override { return kNoInstance; }
    FileResult readBankFile(const char*) override { return kNoInstance; }
    FileResult writeBankFile(const char*) override { return kNoInstance; }
    FileResult importBankOptions(const char*) override { return kNoInstance; }
    const char* bankName() override { return ""; }
    void setBankName(const char*) override {}
    const char* recentBank(int) override { return ""; }
    void recordRecentBank(const char*) override {}
    void exitSave() override {}

private:
    static constexpr FileResult kNoInstance = kFileOpenFailed;
    const DisplayLive& live() const { return display_.snapshot().live; }
    std::uint32_t state(int b) const { return b >= 0 && b < kNumBuffers ? live().bufferState[b] : 0u; }

    HostLink& link_;
    DisplayReceiver& display_;
    float rate_;
};

class UiPort final : public EffectPort {
public:
    UiPort(EffectPort& target, HostLink& host) : target_(target), host_(host) {}

    float getParameter(int index) override { return target_.getParameter(index); }
    void setParameter(int index, float value) override { target_.setParameter(index, value); }
    void setParameterAutomated(int index, float value) override;
    void getParameterDisplay(int index, char* text) override { target_.getParameterDisplay(index, text); }
    void beginEdit(int index) override { host_.touch(index, true); }
    void endEdit(int index) override { host_.touch(index, false); }

    int currentUnit() override { return target_.currentUnit(); }
    int currentBuffer() override { return target_.currentBuffer(); }
    float linkedDensity() override { return target_.linkedDensity(); }
    bool takeRecordingMark() override { return target_.takeRecordingMark(); }
    void setHalted(bool halted) override { target_.setHalted(halted); }
    void silenceVoices() override { target_.silenceVoices(); }
    void copyDisplay(DisplaySnapshot& out) override { target_.copyDisplay(out); }
    void requestCapture() override { target_.requestCapture(); }

    int bufferLength(int b) override { return target_.bufferLength(b); }
    bool bufferHasArrays(int b) override { return target_.bufferHasArrays(b); }
    bool bufferSaved(int b) override { return target_.bufferSaved(b); }
    const char* bufferPath(int b) override { return target_.bufferPath(b); }
    float sampleRate() override { return target_.sampleRate(); }
    float bufferRate(int b) override { return target_.bufferRate(b); }

    FileResult readWaveFile(const char* path) override { return target_.readWaveFile(path); }
    FileResult writeWaveFile(const char* path) override { return target_.writeWaveFile(path); }
    FileResult readBankFile(const char* path) override;
    FileResult writeBankFile(const char* path) override { return target_.writeBankFile(path); }
    FileResult importBankOptions(const char* path) override;
    const char* bankName() override { return target_.bankName(); }
    void setBankName(const char* name) override { target_.setBankName(name); }
    const char* recentBank(int i) override { return target_.recentBank(i); }
    void recordRecentBank(const char* path) override { target_.recordRecentBank(path); }
    void exitSave() override { target_.exitSave(); }

    // Set when the engine's parameters changed by other means than the host's ports
    // (a bank read): the host's ports are to be brought up to date (see Lv2Panel).
    bool takeResyncRequest() { return resync_.exchange(false, std::memory_order_acq_rel); }
    void requestResync() { resync_.store(true, std::memory_order_release); }

private:
    EffectPort& target_;
    HostLink& host_;
    std::atomic<bool> resync_{false};
};

}  // namespace grainwheel::lv2
