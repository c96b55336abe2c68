#pragma once
// ADEditor: the plug-in's panel, the same for every plug-in format (editor/panel.h: each
// adapter owns one through a glue class of its own). Between open and close it owns the
// 930 x 414 panel: four columns of unit faders, the buffer scopes with their
// start-position sliders, the scopes, the buttons, the option menus and the status line.
// (The class name is kept as it is because hosts and files never see it.)
//
// The sources, by concern: ad_editor.cpp (construction, open, close, idle),
// ad_editor_panel.cpp (building the panel, with its tables), ad_editor_notices.cpp (the
// notices from the effect and their hand-over to the user-interface thread),
// ad_editor_status.cpp (control changes and the status line), ad_editor_hover.cpp (the
// handles and images that follow the mouse and the playing unit), file_commands.cpp.
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
#include "editor/panel.h"
#include "editor/panel_scale.h"
#include "editor/wave_display.h"
#include "engine/display_snapshot.h"
#include "engine/parameter_table.h"
#include "gui/vstgui.h"
#include "platform/dialogs.h"

namespace grainwheel {

class CLabel;

class ADEditor final : public Panel, public VSTGUI::CControlListener, public ScopeClickListener {
public:
    // The panel on port (null: a panel that shows the default values and acts on nothing);
    // host, when given, hears of the user's changes and must outlive the panel.
    explicit ADEditor(std::unique_ptr<EffectPort> port, PanelHost* host = nullptr);
    ~ADEditor() override;
    ADEditor(const ADEditor&) = delete;
    ADEditor& operator=(const ADEditor&) = delete;

    // Panel
    bool open(void* parentWindow) override;
    void close() override;
    void idle() override;
    PanelSize size() const override;
    void setParameter(int index, float value) override;
    VSTGUI::CFrame* panelFrame() const override { return frame_; }
    // Scale (ad_editor_scale.cpp).
    void setContentScale(float scale) override;
    float contentScale() const override { return scale_; }
    void setResizeCallback(ResizeCallback callback, void* owner) override {
        resized_ = callback;
        resizedOwner_ = owner;
    }
    // The user's zoom (0: follow the host), as the panel's zoom menu sets it; kept in the
    // configuration folder.
    void setUserZoom(float zoom);
    float userZoom() const { return scales_.user; }
    // The zoom menu open on the panel (null when closed); for tests.
    VSTGUI::COptionMenu* zoomMenu() const { return zoomMenu_; }

    // The user's change of a control: the panel host's say, the panel's own action
    // (ad_editor_status.cpp), the panel host's follow-up.
    void valueChanged(VSTGUI::CDrawContext* context, VSTGUI::CControl* control) override;
    // The host hears of the gestures on the controls of the parameters it automates.
    void controlBeginEdit(VSTGUI::CControl* control) override;
    void controlEndEdit(VSTGUI::CControl* control) override;
    // A click on a scope view: the notice the scope stands for (ad_editor_status.cpp).
    void scopeClicked(WaveDisplay& scope) override;

    bool isOpen() const { return open_.load(std::memory_order_acquire); }

    // The file commands (user-interface thread). Those that ask for a file go on when the
    // selector is answered (file_commands.cpp): at once, or at a later idle.
    void loadWaveCommand();
    void saveWaveCommand();
    void importOptionsCommand();
    void loadBankCommand(int entry);
    void saveBankCommand();
    // Writes the message of a file result code into the status line.
    void showFileMessage(int code);
    // True while a file selector is open (the panel then takes no input).
    bool fileSelectionOpen() const { return selection_ != nullptr; }

    // The tags of the two menus that are no parameters.
    static constexpr int kFileMenuTag = 262;
    static constexpr int kOptionsMenuTag = 266;

    // The views while open (null while closed); for adapters and tests.
    CLabel* status() const { return ui_.statusLabel; }
    VSTGUI::COptionMenu* optionsMenuView() const { return control<VSTGUI::COptionMenu>(kOptionsMenuTag); }
    VSTGUI::COptionMenu* fileMenuView() const { return control<VSTGUI::COptionMenu>(kFileMenuTag); }
    VSTGUI::COptionMenu* settingMenu(int tag) const;
    VSTGUI::CControl* controlWithTag(long tag) const;
    VSTGUI::CVerticalSlider* columnFader(int column, int i) const;
    VSTGUI::CHorizontalSlider* bufferSlider(int i) const { return control<VSTGUI::CHorizontalSlider>(kBufPos + i); }
    WaveDisplay* bufferScope(int i) const { return ui_.bufferScopes[i]; }
    WaveDisplay* mainScopeView() const { return ui_.mainScope; }
    WaveDisplay* smallScopeView() const { return ui_.smallScope; }
    VSTGUI::CVuMeter* meter() const { return ui_.vuMeter; }
    VSTGUI::CSplashScreen* splash() const { return ui_.splash; }
    int hoveredColumnFader(int column) const { return ui_.hoverColumn[column]; }
    int playingUnitShown() const { return ui_.shownUnit; }
    int bufferShown() const { return ui_.shownBuffer; }
    VSTGUI::CControl* hovered() const { return ui_.hoveredControl; }
    EffectPort* port() const { return port_.get(); }
    // The panel's copy of what the views draw, as of the last idle.
    const DisplaySnapshot& display() const { return display_; }

    // The status line (ad_editor_status.cpp), user-interface thread: the text of a
    // control's value as a change of it shows it; prefix, a parameter's display text and
    // suffix; a plain text.
    void showValueText(int tag);
    void statusComposite(const char* prefix, int index, const char* suffix);
    void statusPlain(const char* text);

private:
    // Pending work recorded by notices from other threads, done at the next idle.
    enum Pending : std::uint32_t {
        kPendingReconnect = 1u << 0,  // kBuffersChanged
        kPendingRedrawAll = 1u << 1,  // kRedrawAll
        kPendingMenus = 1u << 2,      // kReloadMenus
        kPendingGrid = 1u << 3,       // kGrid: the column faders' backgrounds
        kPendingStatus = 1u << 4,     // pendingStatus_ holds a message
    };
    // pendingStatus_ values below kFileResultLimit are file result codes.
    static constexpr int kStatusRecordingStopped = -2;
    static constexpr int kNumTags = kLastSetting + 1;
    static constexpr int kNumKept = 32;

    // Everything that lives from open to close. close releases what it holds and then
    // starts again from a fresh one.
    struct OpenState {
        // Bitmaps kept while open.
        VSTGUI::CBitmap* handleNormal = nullptr;         // 130
        VSTGUI::CBitmap* handlePlaying = nullptr;        // 153
        VSTGUI::CBitmap* handleHover = nullptr;          // 154
        VSTGUI::CBitmap* handleHoverPlaying = nullptr;   // 155
        VSTGUI::CBitmap* bufferHandle = nullptr;         // 151
        VSTGUI::CBitmap* bufferHandleCurrent = nullptr;  // 156
        VSTGUI::CBitmap* gridPanel = nullptr;            // 131, one of kept
        VSTGUI::CBitmap* kept[kNumKept] = {};            // the ids of kKeptIds

        // The controls by tag (parameters 1..106, the file buttons and menus, the
        // options menu and the setting menus); null where no control has the tag.
        VSTGUI::CControl* controls[kNumTags] = {};
        // The views without a tag of their own.
        WaveDisplay* mainScope = nullptr;
        WaveDisplay* smallScope = nullptr;
        WaveDisplay* bufferScopes[16] = {};
        VSTGUI::COffscreenContext* scopeLayers[2] = {};
        VSTGUI::CVuMeter* vuMeter = nullptr;
        VSTGUI::CSplashScreen* splash = nullptr;
        CLabel* statusLabel = nullptr;

        // What idle tracks.
        int hoverColumn[4] = {-1, -1, -1, -1};
        int shownBuffer = -1;
        int shownUnit = -1;
        int recordedBuffer = -1;  // buffer whose thumbnail follows a recording; -1 = none
        std::uint32_t columnsShown[16] = {};  // the columns' serials the thumbnails were given
        std::uint32_t traceShown = 0;         // the scope trace the small scope was given
        int highlighted = -1;                 // the current buffer the thumbnails were drawn with
        VSTGUI::CControl* hoveredControl = nullptr;
        VSTGUI::CBitmap* savedBackground = nullptr;
    };

    template <class T>
    T* control(int tag) const {
        return static_cast<T*>(controlWithTag(tag));
    }
    VSTGUI::CSlider* faderOf(int column, int i) const;
    VSTGUI::CBitmap* keptBitmap(long id) const;

    // ad_editor_panel.cpp
    void buildPanel(void* parentWindow);
    void add(VSTGUI::CControl* c, bool onPanel = true);
    void refreshAfterLoad();
    void redrawEverything();
    void reloadSettingMenus();
    void applyGrid(float value);

    // ad_editor_scale.cpp
    void readScaleSources();
    void attachScale(VSTGUI::CFrame* frame);
    VSTGUI::COffscreenContext* makeScopeLayer() const;
    void applyScale();
    void openZoomMenu(VSTGUI::CPoint where);
    static void systemScaleChanged(void* editor, double scale);
    static void emptyClick(void* editor, VSTGUI::CPoint where, long buttons);
    // file_commands.cpp
    void rebuildFileMenu();
    bool fileMenuCurrent() const;
    enum class FileCommand { LoadWave, SaveWave, ImportOptions, LoadBank, SaveBank };
    void startFileCommand(FileCommand command, bool save, const char* title, bool bank);
    // Finishes the command when its selector has answered; true while it is still open.
    bool pollFileSelection();
    void closeFileSelection();
    void finishFileCommand(FileCommand command, bool chosen, char* path);
    // The commands' second halves; an empty path: nothing chosen.
    void loadWaveChosen(const char* path);
    void saveWaveChosen(const char* path);
    void importOptionsChosen(const char* path);
    void loadBankPath(const char* path, bool fromSelector);
    void saveBankChosen(const char* path);

    // ad_editor_notices.cpp
    bool onUiThread() const;
    // The editor-side reaction; ui tells whether it runs on the user-interface thread.
    void react(int index, float value, bool ui);
    void defer(std::uint32_t work) { pending_.fetch_or(work, std::memory_order_acq_rel); }
    void deferStatus(int status);
    void supersedePendingStatus() { pending_.fetch_and(~static_cast<std::uint32_t>(kPendingStatus)); }
    void runPendingWork();

    // ad_editor_status.cpp
    void actOnChange(VSTGUI::CDrawContext* context, VSTGUI::CControl* control);
    void showStatus(int status);
    void repaintUnderProgramSwitch(VSTGUI::CDrawContext* context);

    // ad_editor_display.cpp: the panel's copy of what the views draw, taken at idle
    void connectScopes();
    void reconnectBufferScopes();
    void takeDisplay();
    void askForCapture();

    // ad_editor.cpp and ad_editor_hover.cpp (idle)
    void idleRecording(bool recorded, int current);
    void idleHoverColumns(int unit);
    void idlePlayingUnit(int unit);
    void idleButtonHover();
    VSTGUI::CBitmap* restingHandle(int i, int unit) const;
    VSTGUI::CBitmap* hoverHandle(int i, int unit) const;

    std::unique_ptr<EffectPort> port_;
    PanelHost* host_ = nullptr;
    PanelSize size_;  // units
    VSTGUI::CFrame* frame_ = nullptr;  // while open
    // Scale: its sources, the scale in force, who hears of a new size, the zoom menu.
    ScaleSources scales_;
    float scale_ = 1.0f;
    ResizeCallback resized_ = nullptr;
    void* resizedOwner_ = nullptr;
    VSTGUI::COptionMenu* zoomMenu_ = nullptr;
    struct ZoomListener final : VSTGUI::CControlListener {
        ADEditor* editor = nullptr;
        void valueChanged(VSTGUI::CDrawContext* context, VSTGUI::CControl* control) override;
    };
    ZoomListener zoomListener_;
    // The file selector under way and the command waiting for it.
    std::unique_ptr<platform::PendingFileSelection> selection_;
    FileCommand selectionCommand_ = FileCommand::LoadWave;
    bool selectionTied_ = false;
    // Panel image, from construction to destruction.
    VSTGUI::CBitmap* panelBitmap = nullptr;
    OpenState ui_;
    // What the views draw: the panel's own copy (copyDisplay at idle).
    DisplaySnapshot display_;

    std::atomic<bool> open_{false};
    std::atomic<int> inFlight_{0};           // notices under way on other threads
    std::atomic<std::uint32_t> pending_{0};
    std::atomic<int> pendingStatus_{0};
    std::atomic<float> pendingGrid_{0.0f};
    std::atomic<std::thread::id> uiThread_{};
};

}  // namespace grainwheel
