#pragma once
// The three views of sample data that WaveDisplay carries on the panel, on their shared
// drawing base: what they read (ScopeSources), the columns they drew, the stale mark, and
// the helpers every one of them draws with. Editor thread only, setStale aside.

#include <atomic>
#include <cstdint>

#include "editor/effect_port.h"
#include "editor/wave_display.h"
#include "engine/audio_buffer.h"
#include "engine/parameter_index.h"
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
    // A new capture connection drops the columns taken from the old one (small scope).
    virtual void captureChanged() {}
    virtual void setLayers(VSTGUI::COffscreenContext*, VSTGUI::COffscreenContext*) {}

    ScopeSources sources;
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
    enum Mode : int { kOff = 0, kTimeSingle = 1, kTimeSum = 2, kFreqSingle = 3, kFreqSum = 4 };
    static bool isFrequencyView(int m) { return m == kFreqSingle || m == kFreqSum; }
    static bool isTimeView(int m) { return m == kTimeSingle || m == kTimeSum; }
    static bool isSumView(int m) { return m == kTimeSum || m == kFreqSum; }
    int scopeMode() const;
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
    void drawWaveform(VSTGUI::COffscreenContext* wave, const BufferFrames& frames, int height, int half, int m);
    void drawOverlay(VSTGUI::COffscreenContext* composite, float length, int height, int m, float position,
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
};

// The engine's scope capture as a time trace or a spectrum.
class SmallScope final : public ScopeView {
public:
    SmallScope();
    void draw(VSTGUI::CDrawContext* context, WaveDisplay& on) override;
    void captureChanged() override { captureHeld = false; }

private:
    void takeCapture(int mode, const WaveDisplay& on);

    int captureMode = -1;  // mode of the columns held
    bool captureHeld = false;
};

}  // namespace grainwheel
