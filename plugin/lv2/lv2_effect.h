#pragma once
// Lv2Effect: the LV2 adapter. One instance owns one GrainEngine and the EffectFiles of
// it, like the VST 2 adapter, and maps LV2's calls onto them:
//  - the 107 control ports are the host parameters: a port whose value changed since the
//    last block is set on the engine at the start of the next one, in index order, unless
//    it is the panel's write-back of the engine's own value (writingBack);
//  - a command port (kill buffer, next/previous program, copy, paste, the presets) runs
//    its command once on every change of its value, so that a host showing it as a
//    toggle that stays where it was clicked (Ardour 7's generic controls) runs it on
//    every click; a return to 0 in the block right after a rise from 0 is a host
//    resetting the trigger (pprops:trigger), not a second click;
//  - the UI's command messages on the time port (kCommandUri) go to the engine as they
//    are, press and release, so a click on the panel acts once however the host's
//    cycles fall;
//  - the time port's time:Position objects become the engine's transport (HostPosition);
//    a block is split where one arrives;
//  - the work the audio thread hands off (GrainEngine::runDeferred) is scheduled on the
//    host's worker (work:schedule): there is no thread of the plug-in's own;
//  - state: the 16 records as one property and every buffer with audio as a WAV file in
//    the host's state folder (lv2_state.cpp);
//  - the UI reaches the instance through InstanceAccess (lv2_access.h); for a UI that
//    cannot, the notify port carries what the panel draws (display_snapshot.h): the live
//    values about every 30 ms, each new scope capture, and each buffer's columns when
//    they changed (and one buffer's each time round, so that a UI opened later has them
//    all soon). The columns are computed on the host's worker.
// The plug-in never opens a dialog: the UI asks before it sends kill buffer, and what a
// restore has to report goes to the host's log and to the UI's status line.
//
// Threads, as LV2 defines them: run() on the audio thread; work() on the host's worker;
// save() and restore() on any other thread, concurrently with run() (the engine replaces
// buffers and records safely while blocks run, so restore is declared thread-safe);
// InstanceAccess from the UI's thread.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/core/lv2.h>
#include <lv2/log/log.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include "engine/grain_engine.h"
#include "persistence/effect_files.h"
#include "plugin/engine_port.h"
#include "plugin/lv2/lv2_access.h"
#include "plugin/lv2/lv2_transport.h"
#include "plugin/lv2/lv2_uris.h"
#include "platform/dialogs.h"

namespace grainwheel::lv2 {

class Lv2Effect;

// Questions and messages of the file operations while the plug-in restores or works for
// the host: nothing is asked (no dialog opens on the host's threads); messages are kept
// for the UI and written to the host's log.
class QuietDialogs final : public platform::Dialogs {
public:
    explicit QuietDialogs(Lv2Effect& owner) : owner_(owner) {}
    bool askYesNo(const char* title, const char* text) override { return false; }
    void showMessage(const char* title, const char* text) override;
    bool selectFile(const platform::FileSelectRequest&, char*) override { return false; }

private:
    Lv2Effect& owner_;
};

// While one lives, the file operations on this thread ask `dialogs` (nested scopes fine).
class QuietScope {
public:
    explicit QuietScope(platform::Dialogs& dialogs);
    ~QuietScope();
    QuietScope(const QuietScope&) = delete;
    QuietScope& operator=(const QuietScope&) = delete;

private:
    platform::Dialogs* previous_;
};

class Lv2Effect final : public EngineHost, public EngineListener, public FileHost, public InstanceAccess {
public:
    // Null when a required feature (urid:map) is missing or memory is short.
    static Lv2Effect* create(double sampleRate, const LV2_Feature* const* features);
    ~Lv2Effect() override;

    void connectPort(std::uint32_t port, void* data);
    void activate();
    void deactivate() { engine_.suspend(); }
    void run(std::uint32_t frames) GW_NONBLOCKING;

    // The worker (work:interface).
    LV2_Worker_Status work(LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle handle,
                           std::uint32_t size = 0, const void* data = nullptr);
    // State (lv2_state.cpp).
    LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle, std::uint32_t flags,
                          const LV2_Feature* const* features);
    LV2_State_Status restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle, std::uint32_t flags,
                             const LV2_Feature* const* features);

    GrainEngine& engine() { return engine_; }
    EffectFiles& files() { return files_; }
    double sampleRate() const { return rate_; }

    // EngineHost.
    bool transport(std::int32_t wanted, EngineTransport& out) override;
    // An LV2 plug-in cannot move its own input ports; the UI shows the change.
    void automated(int index, float value) override {}
    // The one question the engine asks, kill buffer's, was asked by the UI already.
    bool askYesNo(const char* title, const char* text) override { return true; }
    // EngineListener: to the UI, when one is attached.
    void engineNotice(int index, float value) override;
    void engineRefresh() override;
    // FileHost: LV2 gives no folder of the plug-in's own.
    const char* hostFolder() override { return nullptr; }
    // InstanceAccess.
    EffectPort& port() override { return *port_; }
    bool addListener(EngineListener* listener) override;
    void removeListener(EngineListener* listener) override;
    bool takeMessage(char* text, std::size_t size) override;
    void writingBack(int index, float value) override;
    void runDeferredWork() override;

    // A message for the host's log and the UI (other threads only).
    void report(const char* text);
    // Serialises the file work of save, restore, the worker and the UI.
    std::mutex& filesLock() { return filesLock_; }

private:
    explicit Lv2Effect(double sampleRate);
    bool takeFeatures(const LV2_Feature* const* features);
    // The event's time:Position object, or null.
    const LV2_Atom_Object* positionOf(const LV2_Atom_Event* ev) const noexcept;
    void readTime(const LV2_Atom_Object* object) noexcept;
    void applyPorts() noexcept;
    // A command port's value, changed or not (applyPorts).
    void applyCommandPort(int i, float v, bool resync) noexcept;
    // The UI's command message in `ev`, if it is one.
    void takeCommand(const LV2_Atom_Event* ev) noexcept;
    void processSpan(std::uint32_t from, std::uint32_t count) noexcept;
    // The notify port's messages of this cycle (run()).
    void writeDisplay(std::uint32_t frames) noexcept;
    // One display message (object type otype, with the buffer's number unless -1 and the
    // structure's bytes); false when it does not fit into the port's buffer.
    bool displayMessage(LV2_URID otype, int buffer, const void* data, std::uint32_t size) noexcept;

    double rate_;
    GrainEngine engine_;
    QuietDialogs quiet_;
    EffectFiles files_;
    std::unique_ptr<EffectPort> port_;

    // Features.
    LV2_URID_Map* map_ = nullptr;
    LV2_Worker_Schedule* schedule_ = nullptr;
    LV2_Log_Log* log_ = nullptr;
    struct Urids {
        LV2_URID atomBlank, atomObject, atomFloat, atomDouble, atomInt, atomLong, atomChunk, atomPath;
        LV2_URID timePosition, timeBar, timeBarBeat, timeBeat, timeBeatUnit, timeBeatsPerBar, timeTempo, timeSpeed;
        LV2_URID logError, logWarning, records, buffer[kNumBuffers];
        LV2_URID command, commandIndex, commandValue;
        LV2_URID displayLive, displayScope, displayColumns, displayBuffer, displayData;
    } uri_{};

    // Ports.
    const float* controls_[kParameterPorts] = {};
    const float* in_[2] = {};
    float* out_[2] = {};
    const LV2_Atom_Sequence* time_ = nullptr;
    LV2_Atom_Sequence* notify_ = nullptr;
    // The value of each control port last set on the engine (audio thread).
    float seen_[kParameterPorts] = {};
    // A command port that rose from 0 in the last block (audio thread).
    bool rose_[kParameterPorts] = {};
    // The value the panel is writing back to each port (NaN: none).
    std::atomic<float> writtenBack_[kParameterPorts];
    // After a restore the state's values stand: the next block takes the ports' values
    // as seen instead of setting them.
    std::atomic<bool> resync_{false};
    HostPosition position_;

    // The worker: set when work is scheduled, cleared when it has run (the deferred work;
    // the display's columns).
    std::atomic<bool> workPending_{false};
    std::atomic<bool> columnsPending_{false};

    // The notify port's messages (audio thread).
    LV2_Atom_Forge forge_{};
    std::uint32_t framesSinceLive_ = 0;
    std::uint32_t sentTrace_ = 0;
    std::uint32_t sentColumns_[kNumBuffers] = {};
    int nextColumns_ = 0;  // the buffer whose columns go again at the next message
    DisplayLive live_;
    ScopeTrace trace_;
    BufferColumns columns_;
    std::mutex filesLock_;

    // The UI's listeners and the notices under way to them.
    static constexpr int kMaxListeners = 4;
    std::atomic<EngineListener*> listeners_[kMaxListeners] = {};
    std::atomic<int> noticesUnderWay_{0};

    std::mutex messageLock_;
    std::string message_;
};

}  // namespace grainwheel::lv2
