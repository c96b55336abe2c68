#pragma once
// The three views of sample data that WaveDisplay carries on the panel, on their shared
// drawing base: what they read (the panel's own DisplaySnapshot), the columns they drew,
// the stale mark, and the helpers every one of them draws with. Editor thread only,
// setStale aside.

#include <atomic>
#include <cstdint>

#include "editor/wave_display.h"
#include "engine/display_snapshot.h"
#include "gui/cdrawcontext.h"

namespace grainwheel {

class ScopeView {
public:
    ScopeView(int columnCount, VSTGUI::CColor fg, VSTGUI::CColor bg)
        : columns(columnCount), foreground(fg), backgroundColour(bg) {}
    virtual ~ScopeView() = default;
    ScopeView(const ScopeView&) = delete;
    ScopeView& operator=(const ScopeView&) = delete;

    // Draws into context within the view's rectangle (on: the control that carries it).
    virtual void draw(VSTGUI::CDrawContext* context, WaveDisplay& on) = 0;
    // A new snapshot drops the columns taken from the old one (small scope).
    virtual void displayChanged() {}
    virtual void setLayers(VSTGUI::COffscreenContext*, VSTGUI::COffscreenContext*) {}

    const DisplaySnapshot* display = nullptr;
    bool captureDrawn = false;  // small scope: drawn since the last takeCaptureDrawn()
    int rampBreak = 9;  // small scope: the integer part of 100 / (44100 / 4096)
    std::atomic<bool> stale{false};
    const int columns;
    int columnHeights[WaveDisplay::kMainColumns] = {};
    // The main scope's overlay (0 for the other views).
    int regionStart = 0;
    int regionWidth = 0;
    int fullRegionWidth = 0;
    int markers[10] = {};

protected:
    // The "Scope View Mode" setting, 0 when unknown.
    static bool isFrequencyView(ScopeMode m) { return m == ScopeMode::FreqGrain || m == ScopeMode::FreqSum; }
    static bool isTimeView(ScopeMode m) { return m == ScopeMode::TimeGrain || m == ScopeMode::TimeSum; }
    static bool isSumView(ScopeMode m) { return m == ScopeMode::TimeSum || m == ScopeMode::FreqSum; }
    ScopeMode scopeMode() const { return display ? display->live.scopeMode() : ScopeMode::Off; }
    static int halfHeight(const WaveDisplay& on) { return static_cast<int>(on.getHeight() * 0.5); }

    const VSTGUI::CColor foreground;
    const VSTGUI::CColor backgroundColour;
};

// A thumbnail of buffer n.
class BufferThumbnail final : public ScopeView {
public:
    explicit BufferThumbnail(int buffer);
    void draw(VSTGUI::CDrawContext* context, WaveDisplay& on) override;

private:
    const int buffer;
};

// The current buffer's waveform, drawn into a layer when it changes, with the overlay of
// the grains composed over it at each draw.
class MainScope final : public ScopeView {
public:
    MainScope();
    ~MainScope() override;
    void draw(VSTGUI::CDrawContext* context, WaveDisplay& on) override;
    void setLayers(VSTGUI::COffscreenContext* waveform, VSTGUI::COffscreenContext* composite) override;

private:
    void drawWaveform(VSTGUI::COffscreenContext* wave, const BufferColumns& buffer, int height, int half,
                      ScopeMode m);
    void drawOverlay(VSTGUI::COffscreenContext* composite, float length, int height, ScopeMode m, float position,
                     float grain, int interval);

    VSTGUI::COffscreenContext* waveformLayer = nullptr;
    VSTGUI::COffscreenContext* compositeLayer = nullptr;
    VSTGUI::COffscreenContext* ownWaveform = nullptr;
    VSTGUI::COffscreenContext* ownComposite = nullptr;
    bool layerDrawn = false;    // the composite holds a picture of the current layer
    bool layerChanged = false;  // the waveform layer changed since the last composite
    float lastPlayPosition = -1.0f;
    float lastGrainLength = -1.0f;
    int lastInterval = -1;
    int shownBuffer = -1;           // the buffer and columns the waveform layer shows
    std::uint32_t shownSerial = 0;
};

// The engine's scope capture as a time trace or a spectrum.
class SmallScope final : public ScopeView {
public:
    SmallScope();
    void draw(VSTGUI::CDrawContext* context, WaveDisplay& on) override;
    void displayChanged() override {
        captureHeld = false;
        takenSerial = 0;
    }

private:
    void takeCapture(ScopeMode mode, const WaveDisplay& on);

    ScopeMode captureMode = ScopeMode::Off;  // mode of the columns held
    bool captureHeld = false;
    std::uint32_t takenSerial = 0;  // the trace taken (or passed over)
};

}  // namespace grainwheel
