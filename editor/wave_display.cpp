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

void WaveDisplay::connect(const ScopeSources& s) {
    view_->sources = s;
    view_->captureChanged();
    setDirty();
}

void WaveDisplay::setBufferRecords(const AudioBuffer* records, BufferReaders* readers) {
    view_->sources.records = records;
    view_->sources.readers = readers;
    setDirty();
}

void WaveDisplay::setCurrentBuffer(const std::atomic<std::int32_t>* index) {
    view_->sources.currentBuffer = index;
    setDirty();
}

void WaveDisplay::setPlayState(const std::atomic<float>* position, const std::atomic<float>* length,
                               const std::atomic<std::int32_t>* interval, const std::atomic<std::uint8_t>* rec) {
    ScopeSources& s = view_->sources;
    s.playPosition = position;
    s.grainLength = length;
    s.grainInterval = interval;
    s.recording = rec;
    setDirty();
}

void WaveDisplay::setScopeMode(const std::atomic<float>* mode) {
    view_->sources.scopeMode = mode;
    setDirty();
}

void WaveDisplay::setCapture(const float* buffer, std::atomic<std::int32_t>* state, const std::atomic<float>* length) {
    ScopeSources& s = view_->sources;
    s.captureBuffer = buffer;
    s.captureState = state;
    s.currentLength = length;
    view_->captureChanged();
    setDirty();
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
