#include "editor/wave_display.h"

#include "editor/scope_views.h"

namespace grainwheel {

using VSTGUI::CDrawContext;
using VSTGUI::CPoint;
using VSTGUI::CRect;

WaveDisplay::WaveDisplay(const CRect& r, VSTGUI::CControlListener* l, VSTGUI::CBitmap* background, Kind kind,
                         int buffer, std::unique_ptr<ScopeView> view)
    : CControl(r, l, 0, background), kind_(kind), buffer_(buffer), view_(std::move(view)) {}

WaveDisplay::~WaveDisplay() = default;

WaveDisplay* WaveDisplay::bufferThumbnail(const CRect& r, VSTGUI::CControlListener* l, VSTGUI::CBitmap* background,
                                          int buffer) {
    return new WaveDisplay(r, l, background, Kind::BufferThumbnail, buffer, std::make_unique<BufferThumbnail>(buffer));
}

WaveDisplay* WaveDisplay::mainScope(const CRect& r, VSTGUI::CControlListener* l, VSTGUI::CBitmap* background) {
    return new WaveDisplay(r, l, background, Kind::MainScope, -1, std::make_unique<MainScope>());
}

WaveDisplay* WaveDisplay::smallScope(const CRect& r, VSTGUI::CControlListener* l, VSTGUI::CBitmap* background) {
    return new WaveDisplay(r, l, background, Kind::SmallScope, -1, std::make_unique<SmallScope>());
}

void WaveDisplay::draw(CDrawContext* context) {
    setDirty(false);
    if (context) view_->draw(context, *this);
}

void WaveDisplay::mouse(CDrawContext*, CPoint&) {
    if (!getMouseEnabled() || kind_ == Kind::SmallScope) return;
    auto* clicks = dynamic_cast<ScopeClickListener*>(listener);
    if (!clicks) return;
    if (kind_ == Kind::BufferThumbnail) {
        // The click selects the buffer through the buffer parameter: a gesture of its own.
        const bool opened = beginEdit();
        clicks->scopeClicked(*this);
        if (opened) endEdit();
    } else {
        clicks->scopeClicked(*this);
    }
}

bool WaveDisplay::onWheel(CDrawContext* context, const CPoint&, float distance) {
    if (!getMouseEnabled()) return false;
    setValue(getValue() + distance * wheelInc);
    bounceValue();
    reportValue(context);
    return true;
}

void WaveDisplay::setDisplay(const DisplaySnapshot* display) {
    view_->display = display;
    view_->displayChanged();
    setDirty();
}

bool WaveDisplay::takeCaptureDrawn() {
    const bool drawn = view_->captureDrawn;
    view_->captureDrawn = false;
    return drawn;
}

void WaveDisplay::setRampBreak(int groups) { view_->rampBreak = groups; }

void WaveDisplay::setLayers(VSTGUI::COffscreenContext* waveform, VSTGUI::COffscreenContext* composite) {
    view_->setLayers(waveform, composite);
    setStale();
    setDirty();
}

void WaveDisplay::setStale(bool val) { view_->stale.store(val, std::memory_order_relaxed); }
bool WaveDisplay::isStale() const { return view_->stale.load(std::memory_order_relaxed); }
int WaveDisplay::getColumns() const { return view_->columns; }
int WaveDisplay::getRegionStart() const { return view_->regionStart; }
int WaveDisplay::getRegionWidth() const { return view_->regionWidth; }
int WaveDisplay::getFullRegionWidth() const { return view_->fullRegionWidth; }
const int* WaveDisplay::getMarkers() const { return view_->markers; }
const int* WaveDisplay::getColumnHeights() const { return view_->columnHeights; }

}  // namespace grainwheel
