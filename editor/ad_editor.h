#pragma once
// ADEditor: the plug-in's editor. It exists as long as the effect; between open and close
// it owns the 930 x 414 panel: four columns of unit faders, the buffer scopes with their
// start-position sliders, the scopes, the buttons, the option menus and the status line.
//
// Threads. open, close, idle, valueChanged and the file commands run on the user-interface
// thread (the one that opened the editor). setParameter may arrive on any thread, the audio
// thread included: there it only stores whole words (control values, dirty marks, pending
// work) and never allocates, locks or calls into the window system; the work that needs
// the user-interface thread (status texts, scope reconnection, menu reloads, background
// swaps) is done at the start of the next idle. close waits until no such notice is under
// way before it deletes the panel.

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "editor/effect_port.h"
#include "gui/vstgui.h"
#include "host/aeffguieditor.h"

namespace grainwheel {

class WaveDisplay;
class CLabel;

struct EditorNotice {
    VstInt32 index = 0;
    float value = 0.0f;
};

class ADEditor : public AEffGUIEditor, public VSTGUI::CControlListener {
public:
    explicit ADEditor(AudioEffect* owner);
    // A port of the caller's own (tests); null uses the owner's.
    ADEditor(AudioEffect* owner, std::unique_ptr<EffectPort> port);
    ~ADEditor() override;

    VstInt32 open(void* ptr) override;
    void close() override;
    void idle() override;
    // A parameter change or notice from the effect (any thread; never blocks).
    void setParameter(VstInt32 index, float value) override;
    void valueChanged(VSTGUI::CDrawContext* context, VSTGUI::CControl* control) override;
    // The host hears of the gestures on the controls of the parameters it automates.
    void controlBeginEdit(VSTGUI::CControl* control) override;
    void controlEndEdit(VSTGUI::CControl* control) override;

    bool isOpen() const { return open_.load(std::memory_order_acquire); }

    // The file commands (user-interface thread).
    void loadWaveCommand();
    void saveWaveCommand();
    void importOptionsCommand();
    void loadBankCommand(int entry);
    void saveBankCommand();
    // Writes the message of a file result code into the status line.
    void showFileMessage(int code);

    // The panel while open (null while closed); for tests and tools.
    VSTGUI::CFrame* panelFrame() const;
    CLabel* status() const { return statusLabel; }
    VSTGUI::COptionMenu* optionsMenuView() const { return optionsMenu; }
    VSTGUI::COptionMenu* fileMenuView() const { return fileMenu; }
    VSTGUI::COptionMenu* settingMenu(int tag) const;
    VSTGUI::CControl* controlWithTag(long tag) const;
    VSTGUI::CVerticalSlider* columnFader(int column, int i) const;
    VSTGUI::CHorizontalSlider* bufferSlider(int i) const { return bufferSliders[i]; }
    WaveDisplay* bufferScope(int i) const { return bufferScopes[i]; }
    WaveDisplay* mainScopeView() const { return mainScope; }
    WaveDisplay* smallScopeView() const { return smallScope; }
    VSTGUI::CVuMeter* meter() const { return vuMeter; }
    VSTGUI::CSplashScreen* splash() const { return panelSplash; }
    int hoveredColumnFader(int column) const { return hoverColumn[column]; }
    int playingUnitShown() const { return shownUnit; }
    int bufferShown() const { return shownBuffer; }
    VSTGUI::CControl* hovered() const { return hoveredControl; }
    EffectPort* port() const { return port_.get(); }

    // The notices received so far, newest last: the total count and the k-th newest
    // (k = 0 is the last one, up to kNoticeHistory - 1).
    static constexpr int kNoticeHistory = 1024;
    std::uint32_t noticeCount() const { return count_.load(std::memory_order_acquire); }
    EditorNotice recentNotice(int k) const;

private:
    // Pending work recorded by notices from other threads, done at the next idle.
    enum Pending : std::uint32_t {
        kPendingReconnect = 1u << 0,  // 251
        kPendingRedrawAll = 1u << 1,  // 252
        kPendingMenus = 1u << 2,      // 253
        kPendingGrid = 1u << 3,       // 7: the column faders' backgrounds
        kPendingStatus = 1u << 4,     // pendingStatus_ holds a message
    };
    // pendingStatus_ values below kFileResultLimit are file result codes.
    static constexpr int kStatusRecordingStopped = -2;

    bool onUiThread() const;
    void record(VstInt32 index, float value);
    // The editor-side reaction; ui tells whether it runs on the user-interface thread.
    void react(VstInt32 index, float value, bool ui);
    void defer(std::uint32_t work) { pending_.fetch_or(work, std::memory_order_acq_rel); }
    void deferStatus(int status);
    void supersedePendingStatus() { pending_.fetch_and(~static_cast<std::uint32_t>(kPendingStatus)); }
    void runPendingWork();
    void showStatus(int status);

    void buildPanel();
    void connectScopes();
    void reconnectBufferScopes();
    void refreshAfterLoad();
    void redrawEverything();
    void reloadSettingMenus();
    void applyGrid(float value);
    void rebuildFileMenu();
    bool fileMenuCurrent() const;
    void repaintUnderProgramSwitch(VSTGUI::CDrawContext* context);
    void statusComposite(const char* prefix, int index, const char* suffix);
    void statusPlain(const char* text);
    void pitchText(int index, bool allUnits);
    void speedText(int index, bool allUnits);
    bool selectFile(bool save, const char* title, bool bank, char* path);

    void idleHoverColumns(int unit);
    void idlePlayingUnit(int unit);
    void idleButtonHover();
    void idleRecording(bool recorded, int current);
    VSTGUI::CBitmap* restingHandle(int i, int unit) const;
    VSTGUI::CBitmap* hoverHandle(int i, int unit) const;
    VSTGUI::CSlider* faderOf(int column, int i) const;
    void releaseBitmap(VSTGUI::CBitmap*& b);

    std::unique_ptr<EffectPort> port_;

    // Panel image, from construction to destruction.
    VSTGUI::CBitmap* panelBitmap = nullptr;

    // Bitmaps kept while open.
    VSTGUI::CBitmap* handleNormal = nullptr;      // 130
    VSTGUI::CBitmap* handlePlaying = nullptr;     // 153
    VSTGUI::CBitmap* handleHover = nullptr;       // 154
    VSTGUI::CBitmap* handleHoverPlaying = nullptr;// 155
    VSTGUI::CBitmap* bufferHandle = nullptr;      // 151
    VSTGUI::CBitmap* bufferHandleCurrent = nullptr;  // 156
    VSTGUI::CBitmap* gridPanel = nullptr;         // 131
    static constexpr int kNumKept = 32;
    VSTGUI::CBitmap* kept[kNumKept] = {};         // 131, 133, 136, 137, 139..144, 148, 149, 152, 159..177
    VSTGUI::CBitmap* keptBitmap(long id) const;

    int hoverColumn[4] = {-1, -1, -1, -1};
    char displayText[24] = {};
    int shownBuffer = -1;
    int shownUnit = -1;
    int recordedBuffer = -1;  // buffer whose thumbnail follows a recording; -1 = none
    VSTGUI::CControl* hoveredControl = nullptr;
    VSTGUI::CBitmap* savedBackground = nullptr;

    WaveDisplay* mainScope = nullptr;
    WaveDisplay* smallScope = nullptr;
    VSTGUI::COffscreenContext* scopeLayers[2] = {};
    WaveDisplay* bufferScopes[16] = {};
    VSTGUI::CHorizontalSlider* bufferSliders[16] = {};
    VSTGUI::CVerticalSlider* timeFaders[16] = {};
    VSTGUI::CVerticalSlider* speedFaders[16] = {};
    VSTGUI::CVerticalSlider* pitchFaders[16] = {};
    VSTGUI::CVerticalSlider* freqFaders[16] = {};
    VSTGUI::CVerticalSlider* densityFader = nullptr;
    VSTGUI::CVerticalSlider* unitLengthFader = nullptr;
    VSTGUI::CVerticalSlider* sustainFader = nullptr;
    VSTGUI::CVerticalSlider* resonanceFader = nullptr;
    VSTGUI::CKnob* levelKnob = nullptr;
    VSTGUI::CVuMeter* vuMeter = nullptr;
    VSTGUI::CKickButton* pitchPresetButtons[5] = {};
    VSTGUI::CKickButton* speedPresetButtons[5] = {};
    VSTGUI::CHorizontalSwitch* programSwitch = nullptr;
    VSTGUI::CKickButton* nextButton = nullptr;
    VSTGUI::CKickButton* prevButton = nullptr;
    VSTGUI::CKickButton* copyButton = nullptr;
    VSTGUI::CKickButton* pasteButton = nullptr;
    VSTGUI::COptionMenu* optionsMenu = nullptr;
    VSTGUI::COptionMenu* fileMenu = nullptr;
    VSTGUI::COptionMenu* settingMenus[10] = {};  // tags 267 .. 276
    VSTGUI::COnOffButton* gridButton = nullptr;
    VSTGUI::COnOffButton* trigModeButton = nullptr;
    VSTGUI::COnOffButton* monitorButton = nullptr;
    VSTGUI::COnOffButton* recSyncButton = nullptr;
    VSTGUI::COnOffButton* recFreeButton = nullptr;
    VSTGUI::CKickButton* loadWaveButton = nullptr;
    VSTGUI::CKickButton* saveWaveButton = nullptr;
    VSTGUI::CKickButton* saveBankButton = nullptr;
    VSTGUI::CKickButton* killBufferButton = nullptr;
    VSTGUI::CSplashScreen* panelSplash = nullptr;
    CLabel* statusLabel = nullptr;

    std::atomic<bool> open_{false};
    std::atomic<int> inFlight_{0};           // notices under way on other threads
    std::atomic<std::uint32_t> pending_{0};
    std::atomic<int> pendingStatus_{0};
    std::atomic<float> pendingGrid_{0.0f};
    std::atomic<std::thread::id> uiThread_{};

    struct Slot {
        std::atomic<VstInt32> index{0};
        std::atomic<float> value{0.0f};
    };
    Slot history_[kNoticeHistory];
    std::atomic<std::uint32_t> reserved_{0};  // slots handed out
    std::atomic<std::uint32_t> count_{0};     // notices written
};

}  // namespace grainwheel
