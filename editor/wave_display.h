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
// The view draws from the panel's own DisplaySnapshot (display_snapshot.h), which the
// panel fills at its idle; it never reads engine memory. Without a snapshot it paints its
// empty picture. Non-finite or out-of-range values are drawn at the edge of the view. The
// columns drawn are kept in arrays of the view's own. Drawing happens on the editor's
// thread only; setStale may be called from any thread.

#include <atomic>
#include <cstdint>
#include <memory>

#include "engine/display_snapshot.h"
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
    enum : int {
        kBufferScopeColumns = kThumbnailColumns,
        kMainColumns = kWaveformColumns,
        kSmallColumns = kScopeColumns
    };

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

    // What the view draws (editor thread): the panel's snapshot, which outlives the view
    // (null: the empty picture). A thumbnail draws buffer n's columns, the main scope the
    // current buffer's with the play state, the small scope the scope trace.
    void setDisplay(const DisplaySnapshot* display);
    // Small scope: true when it has drawn since the last call (the panel then asks for the
    // next capture).
    bool takeCaptureDrawn();
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
