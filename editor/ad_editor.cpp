// The panel's life: construction, open, close, the user's changes and idle, and the
// look-ups of its controls.

#include "editor/ad_editor.h"

#include "editor/wave_display.h"
#include "resources/panel_layout.h"

namespace grainwheel {

using namespace VSTGUI;

// --- construction -----------------------------------------------------------------------

ADEditor::ADEditor(std::unique_ptr<EffectPort> port, PanelHost* host) : port_(std::move(port)), host_(host) {
    static_assert(std::atomic<std::thread::id>::is_always_lock_free);
    panelBitmap = new CBitmap(128);
    const bool loaded = panelBitmap->isLoaded();
    size_.width = loaded ? static_cast<int>(panelBitmap->getWidth()) : panel::kWidth;
    size_.height = loaded ? static_cast<int>(panelBitmap->getHeight()) : panel::kHeight;
    readScaleSources();
}

ADEditor::~ADEditor() {
    if (isOpen() || frame_ != nullptr) close();
    if (panelBitmap) panelBitmap->forget();
    panelBitmap = nullptr;
}

// --- open and close ---------------------------------------------------------------------

bool ADEditor::open(void* parentWindow) {
    if (isOpen() || frame_ != nullptr) close();  // a second open rebuilds
    uiThread_.store(std::this_thread::get_id(), std::memory_order_relaxed);
    buildPanel(parentWindow);
    open_.store(true, std::memory_order_seq_cst);
    idle();
    return true;
}

void ADEditor::close() {
    if (!isOpen() && frame_ == nullptr) return;
    // No notice from another thread may touch a control from here on.
    open_.store(false, std::memory_order_seq_cst);
    while (inFlight_.load(std::memory_order_seq_cst) != 0) std::this_thread::yield();
    // An open file selector closes with the panel; its command is dropped.
    closeFileSelection();

    OpenState& s = ui_;
    if (s.hoveredControl && s.savedBackground) s.hoveredControl->setBackground(s.savedBackground);
    auto release = [](auto*& object) {
        if (object) object->forget();
        object = nullptr;
    };
    for (CBitmap*& b : s.kept) release(b);
    if (s.mainScope) s.mainScope->setLayers(nullptr, nullptr);
    for (COffscreenContext*& c : s.scopeLayers) release(c);
    // The frame owns every view on it; the setting menus live only inside the options menu.
    if (frame_) frame_->forget();
    frame_ = nullptr;
    for (int tag = kFirstSetting; tag <= kLastSetting; ++tag) release(s.controls[tag]);
    for (CBitmap** b : {&s.handleNormal, &s.handlePlaying, &s.handleHover, &s.handleHoverPlaying, &s.bufferHandle,
                        &s.bufferHandleCurrent})
        release(*b);
    ui_ = OpenState{};
    pending_.store(0, std::memory_order_relaxed);
}

void ADEditor::valueChanged(CDrawContext* context, CControl* control) {
    if (!control) return;
    const int tag = static_cast<int>(control->getTag());
    if (host_ && !host_->userChanging(tag)) return;
    actOnChange(context, control);
    if (host_) host_->userChanged(tag, control->getValue());
}

// --- idle -------------------------------------------------------------------------------

void ADEditor::idle() {
    // The thread that idles the editor is its user-interface thread.
    uiThread_.store(std::this_thread::get_id(), std::memory_order_relaxed);
    if (isOpen()) {
        pollFileSelection();
        runPendingWork();
        if (!fileMenuCurrent()) rebuildFileMenu();
    }
    // 1. The meter: the output peak since the last read.
    if (ui_.vuMeter && port_) {
        ui_.vuMeter->setValue(port_->getParameter(kReadPeakLevel));
        ui_.vuMeter->setDirty();
    }
    if (port_ && isOpen()) {
        takeDisplay();
        const int u = port_->currentUnit();
        // 2. Hover columns, the playing unit's handles, the button hover images.
        idleHoverColumns(u);
        idlePlayingUnit(u);
        idleButtonHover();
        // 3. The linked density.
        const float linked = port_->linkedDensity();
        if (linked != 0.0f) {
            setParameter(kDensity, linked);
            if (CControl* density = controlWithTag(kDensity)) density->setDirty();
        }
        // 4. The current buffer's handle.
        const int b = port_->currentBuffer();
        if (b != ui_.shownBuffer && b >= 0 && b < panel::kNumBuffers) {
            ui_.shownBuffer = b;
            for (int i = 0; i < panel::kNumBuffers; ++i)
                if (CHorizontalSlider* s = bufferSlider(i)) {
                    s->setHandle(i == b ? ui_.bufferHandleCurrent : ui_.bufferHandle);
                    s->setDirty();
                }
        }
        // 5. The main scope, and the thumbnail of the buffer being recorded.
        const bool recorded = port_->takeRecordingMark();
        if (ui_.mainScope) {
            if (recorded) ui_.mainScope->setStale();
            ui_.mainScope->setDirty();
        }
        idleRecording(recorded, b);
        // 6. The small scope, when a new capture arrived or it must be drawn anyway.
        if (ui_.smallScope) {
            const bool captured = display_.trace.serial != ui_.traceShown;
            ui_.traceShown = display_.trace.serial;
            if (captured || ui_.smallScope->isStale()) {
                ui_.smallScope->setDirty();
                ui_.smallScope->setStale(false);
            }
        }
    }
    // The same idle shows its own changes: the frame redraws last.
    if (frame_) frame_->idle();
    askForCapture();
}

// The engine writes recorded frames straight into the buffer's arrays and tells nobody,
// and the frame shows its retained picture when the window is exposed again: without this,
// a thumbnail would keep showing the buffer as it was when last connected. While frames
// arrive, the thumbnail of the buffer they go to is drawn anew at every idle; at the first
// idle without new frames it is drawn once more (with the main scope's waveform), so the
// frames written after the previous drawing are shown too.
void ADEditor::idleRecording(bool recorded, int current) {
    auto redraw = [this](int n) {
        if (n >= 0 && n < panel::kNumBuffers && ui_.bufferScopes[n]) ui_.bufferScopes[n]->setDirty();
    };
    int& followed = ui_.recordedBuffer;
    if (recorded) {
        if (followed != current) redraw(followed);  // switched while recording
        redraw(current);
        followed = current >= 0 && current < panel::kNumBuffers ? current : -1;
    } else if (followed >= 0) {
        redraw(followed);
        if (ui_.mainScope) ui_.mainScope->setStale();
        followed = -1;
    }
}

// --- look-ups ---------------------------------------------------------------------------

CControl* ADEditor::controlWithTag(long tag) const {
    return tag > 0 && tag < kNumTags ? ui_.controls[tag] : nullptr;
}

CSlider* ADEditor::faderOf(int column, int i) const {
    if (column < 0 || column >= panel::kNumColumns || i < 0 || i >= panel::kNumUnits) return nullptr;
    return control<CSlider>(kTime + column * panel::kNumUnits + i);
}

CVerticalSlider* ADEditor::columnFader(int column, int i) const {
    return static_cast<CVerticalSlider*>(faderOf(column, i));
}

COptionMenu* ADEditor::settingMenu(int tag) const {
    return tag >= kFirstSetting && tag <= kLastSetting ? control<COptionMenu>(tag) : nullptr;
}

}  // namespace grainwheel
