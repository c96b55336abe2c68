#pragma once
// WaveDisplay: the control that carries one of the editor's three views of sample data on
// the panel (scope_views.h), made by one of its three makers:
//   bufferThumbnail  (74 x 38): a thumbnail of buffer n, highlighted while it is the
//                    current buffer; a click on it means "select buffer n";
//   mainScope        (361 x 108): the current buffer's waveform with an overlay marking
//                    where grains are read; a click means "show the bank information";
//   smallScope       (206 x 60): the engine's scope capture as a time trace or a
//                    spectrum, by the "Scope View Mode" setting; it takes no clicks.
// A click is reported to the listener when it is a ScopeClickListener; it asks the view
// what it shows (kind, bufferNumber).
//
// The view reads engine data only through the pointers it is given (all of them may stay
// null: the view then paints its empty picture). Every draw reads a buffer's sample
// pointer and length once, together, from the buffer's record, inside a reading that
// keeps those arrays from being freed until the draw ends, and clamps every index it
// reads; non-finite or out-of-range samples are drawn at the edge of the view. The
// columns drawn are kept in arrays of the view's own, so a redraw without new data never
// reads the engine's arrays again. Drawing happens on the editor's thread only; setStale
// may be called from any thread.

#include <atomic>
#include <cstdint>
#include <memory>

#include "editor/effect_port.h"
#include "gui/ccontrol.h"
#include "gui/cdrawcontext.h"

namespace grainwheel {

class ScopeView;
class WaveDisplay;

// The listener of the clicks on the scope views (the editor).
class ScopeClickListener {
public:
    virtual void scopeClicked(WaveDisplay& view) = 0;

protected:
    ~ScopeClickListener() = default;
};

class WaveDisplay final : public VSTGUI::CControl {
public:
    enum class Kind { BufferThumbnail, MainScope, SmallScope };
    enum : int { kBufferScopeColumns = 74, kMainColumns = 361, kSmallColumns = 206 };

    // size, listener (of the clicks when it is a ScopeClickListener), background bitmap
    // (the panel under the view).
    static WaveDisplay* bufferThumbnail(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener,
                                        VSTGUI::CBitmap* background, int buffer);
    static WaveDisplay* mainScope(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener,
                                  VSTGUI::CBitmap* background);
    static WaveDisplay* smallScope(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener,
                                   VSTGUI::CBitmap* background);
    ~WaveDisplay() override;

    Kind kind() const { return kind_; }
    // The buffer a thumbnail shows; -1 for the scopes.
    int bufferNumber() const { return buffer_; }

    void draw(VSTGUI::CDrawContext* context) override;
    void mouse(VSTGUI::CDrawContext* context, VSTGUI::CPoint& where) override;
    // The wheel steps the view's own value, which is no parameter: no gesture.
    bool onWheel(VSTGUI::CDrawContext* context, const VSTGUI::CPoint& where, float distance) override;

    // Connections (editor thread). All that the view reads, from the effect's port; a view
    // keeps what it draws from.
    void connect(const ScopeSources& sources);
    // One at a time. The 16 buffer records: a thumbnail draws record n, the main scope the
    // record whose number *currentBuffer holds; their arrays are read inside a reading on
    // `readers` (null: records nobody frees while the view lives).
    void setBufferRecords(const AudioBuffer* records, BufferReaders* readers = nullptr);
    // Thumbnails and main scope: the current buffer's number.
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
    // Small scope: the column group count of the rising colour ramp (9 unless set).
    void setRampBreak(int groups);
    // Main scope: the waveform layer and the composite layer (363 x 110, owned by the
    // editor). Without them the view makes its own.
    void setLayers(VSTGUI::COffscreenContext* waveform, VSTGUI::COffscreenContext* composite);

    // Thumbnails and main scope: the waveform must be drawn anew. Small scope: draw even
    // without a new capture.
    void setStale(bool val = true);
    bool isStale() const;

    int getColumns() const;
    // What the last draw showed (tests and inspection). Main scope overlay columns (0 for
    // the other views):
    int getRegionStart() const;
    int getRegionWidth() const;
    int getFullRegionWidth() const;
    const int* getMarkers() const;
    // Heights of the drawn columns above the centre line (thumbnail, main and time-view
    // small scope) or bar heights (frequency views).
    const int* getColumnHeights() const;

private:
    WaveDisplay(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener, VSTGUI::CBitmap* background,
                Kind kind, int buffer, std::unique_ptr<ScopeView> view);

    Kind kind_;
    int buffer_;
    std::unique_ptr<ScopeView> view_;
};

}  // namespace grainwheel
