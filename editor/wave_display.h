#pragma once
// WaveDisplay: the editor's views of sample data. One class, three roles chosen by the
// identifier given at construction:
//   0..15  buffer scope i (74 x 38): a thumbnail of buffer i, highlighted while it is the
//          current buffer; a click selects buffer i;
//   41     main scope (361 x 108): the current buffer's waveform with an overlay marking
//          where grains are read; a click shows the bank information line;
//   42     small scope (206 x 60): the engine's scope capture as a time trace or a
//          spectrum, by the "Scope View Mode" setting.
//
// The view reads engine data only through the pointers the editor hands it (all of them
// may stay null: the view then paints its empty picture). Every draw reads a buffer's
// sample pointer and length once, together, from the buffer's record and clamps every
// index it reads; non-finite or out-of-range samples are drawn at the edge of the view.
// The columns drawn are kept in arrays of the view's own, so a redraw without new data
// never reads the engine's arrays again. Drawing happens on the editor's thread only;
// setStale may be called from any thread.

#include <atomic>
#include <cstdint>

#include "engine/audio_buffer.h"
#include "gui/ccontrol.h"
#include "gui/cdrawcontext.h"

namespace grainwheel {

class WaveDisplay : public VSTGUI::CControl {
public:
    enum : int { kMainScope = 41, kSmallScope = 42, kBufferScopeColumns = 74, kMainColumns = 361,
                 kSmallColumns = 206 };

    // size, listener (the editor: a click reaches its setParameter when the listener is
    // also an AEffGUIEditor), background bitmap, foreground and background colours,
    // number of columns (74, 361 or 206), identifier (0..15, 41 or 42).
    WaveDisplay(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener, VSTGUI::CBitmap* background,
                VSTGUI::CColor foreground, VSTGUI::CColor backgroundColour, int columns, int identifier);
    ~WaveDisplay() override;

    void draw(VSTGUI::CDrawContext* context) override;
    void mouse(VSTGUI::CDrawContext* context, VSTGUI::CPoint& where) override;
    // The wheel steps the view's own value, which is no parameter: no gesture.
    bool onWheel(VSTGUI::CDrawContext* context, const VSTGUI::CPoint& where, float distance) override;

    // Connections (editor thread). The 16 buffer records: buffer scope i draws record i,
    // the main scope the record whose number *currentBuffer holds.
    void setBufferRecords(const AudioBuffer* records);
    // Buffer and main scopes: the current buffer's number.
    void setCurrentBuffer(const std::atomic<std::int32_t>* index);
    // Main scope: play position and grain length (frames), grain interval (frames) and
    // the engine's recording byte (read only; the editor clears it).
    void setPlayState(const std::atomic<float>* playPosition, const std::atomic<float>* grainLength,
                      const std::atomic<std::int32_t>* grainInterval, const std::atomic<std::uint8_t>* recording);
    // Main and small scope: the "Scope View Mode" setting (0..4).
    void setScopeMode(const std::atomic<float>* mode);
    // Small scope: the capture array (at least kCaptureFloats floats), its state word
    // (1 = a capture is finished; the view sets it back to 0 after taking it) and the
    // current buffer's length in frames.
    static constexpr int kCaptureFloats = 4 * kSmallColumns;
    void setCapture(const float* captureBuffer, std::atomic<std::int32_t>* captureState,
                    const std::atomic<float>* currentLength);
    // Small scope: the column group count of the rising colour ramp (the editor sets 9).
    void setRampBreak(int groups) { rampBreak = groups; }
    // Main scope: the waveform layer and the composite layer (363 x 110, owned by the
    // editor). Without them the view makes its own.
    void setLayers(VSTGUI::COffscreenContext* waveform, VSTGUI::COffscreenContext* composite);

    // Main and buffer scopes: the waveform must be drawn anew. Small scope: draw even
    // without a new capture.
    void setStale(bool val = true) { stale.store(val, std::memory_order_relaxed); }
    bool isStale() const { return stale.load(std::memory_order_relaxed); }

    int getIdentifier() const { return identifier; }
    int getColumns() const { return columns; }

    // What the last draw showed (tests and inspection). Main scope overlay columns:
    int getRegionStart() const { return regionStart; }
    int getRegionWidth() const { return regionWidth; }
    int getFullRegionWidth() const { return fullRegionWidth; }
    const int* getMarkers() const { return markers; }
    // Heights of the drawn columns above the centre line (buffer, main and time-view
    // small scope) or bar heights (frequency views).
    const int* getColumnHeights() const { return columnHeights; }

private:
    void drawBufferScope(VSTGUI::CDrawContext* context);
    void drawMainScope(VSTGUI::CDrawContext* context);
    void drawSmallScope(VSTGUI::CDrawContext* context);
    void takeCapture(int mode);
    int scopeMode() const;
    int halfHeight() const { return static_cast<int>(getHeight() * 0.5); }

    int identifier;
    int columns;
    VSTGUI::CColor foreground;
    VSTGUI::CColor backgroundColour;
    std::atomic<bool> stale{false};

    const AudioBuffer* records = nullptr;
    const std::atomic<std::int32_t>* currentBuffer = nullptr;
    const std::atomic<float>* playPosition = nullptr;
    const std::atomic<float>* grainLength = nullptr;
    const std::atomic<std::int32_t>* grainInterval = nullptr;
    const std::atomic<std::uint8_t>* recording = nullptr;
    const std::atomic<float>* mode = nullptr;
    const float* captureBuffer = nullptr;
    std::atomic<std::int32_t>* captureState = nullptr;
    const std::atomic<float>* currentLength = nullptr;
    int rampBreak = 9;

    VSTGUI::COffscreenContext* waveformLayer = nullptr;
    VSTGUI::COffscreenContext* compositeLayer = nullptr;
    VSTGUI::COffscreenContext* ownWaveform = nullptr;
    VSTGUI::COffscreenContext* ownComposite = nullptr;
    bool layerDrawn = false;   // the composite holds a picture of the current layer
    bool layerChanged = false; // the waveform layer changed since the last composite

    float lastPlayPosition = -1.0f;
    float lastGrainLength = -1.0f;
    int lastInterval = -1;
    int regionStart = 0;
    int regionWidth = 0;
    int fullRegionWidth = 0;
    int markers[10] = {};

    int captureMode = -1;  // mode of the columns held (small scope)
    bool captureHeld = false;
    int columnHeights[kMainColumns] = {};
};

}  // namespace grainwheel
