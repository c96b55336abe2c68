#include "editor/scope_views.h"

#include <cmath>

namespace grainwheel {

using VSTGUI::CColor;
using VSTGUI::CDrawContext;
using VSTGUI::COffscreenContext;
using VSTGUI::CPoint;
using VSTGUI::CRect;
using VSTGUI::MakeCColor;

namespace {

constexpr int kLayerWidth = 363;
constexpr int kLayerHeight = 110;

// The integer part of scale x value, held within -down..up; NaN counts as 0. Non-finite
// values never reach the conversion.
int heldHeight(float value, int scale, int up, int down) {
    if (std::isnan(value)) return 0;
    const float h = static_cast<float>(scale) * value;
    if (h >= static_cast<float>(up)) return up;
    if (h <= static_cast<float>(-down)) return -down;
    return static_cast<int>(h);
}

// trunc(a * b / c) for lengths in frames, 0 when it is not a finite number.
int columnOf(float position, int columns, float length) {
    if (!(length > 0.0f)) return 0;
    const float c = position * static_cast<float>(columns) / length;
    if (std::isnan(c)) return 0;
    if (c >= 1.0e6f) return 1000000;
    if (c <= -1.0e6f) return -1000000;
    return static_cast<int>(c);
}

unsigned char channel(int v) { return static_cast<unsigned char>(v < 0 ? 0 : v > 255 ? 255 : v); }

// Four lines from the top-left corner clockwise back to it.
void outline(CDrawContext* c, long left, long top, long right, long bottom) {
    c->moveTo(CPoint(left, top));
    c->lineTo(CPoint(right, top));
    c->lineTo(CPoint(right, bottom));
    c->lineTo(CPoint(left, bottom));
    c->lineTo(CPoint(left, top));
}

// Restricts drawing to the view while it lives.
class ClipToView {
public:
    ClipToView(CDrawContext* c, const CRect& view) : context(c), saved(c->getClipRect()) {
        CRect clip = saved.isEmpty() ? view : saved.intersection(view);
        // An empty clip would mean no clip at all: keep drawing off the surface instead.
        if (clip.isEmpty()) clip = CRect(-4, -4, -2, -2);
        context->setClipRect(clip);
    }
    ~ClipToView() { context->setClipRect(saved); }
    ClipToView(const ClipToView&) = delete;
    ClipToView& operator=(const ClipToView&) = delete;

private:
    CDrawContext* context;
    CRect saved;
};

CRect viewRect(const WaveDisplay& on) {
    CRect r;
    return on.getViewSize(r);
}

}  // namespace

// --- buffer thumbnail -------------------------------------------------------------------

BufferThumbnail::BufferThumbnail(int n)
    : ScopeView(WaveDisplay::kBufferScopeColumns, MakeCColor(204, 204, 204), MakeCColor(193, 81, 49)), buffer(n) {}

void BufferThumbnail::draw(CDrawContext* context, WaveDisplay& on) {
    const CRect size = viewRect(on);
    ClipToView clip(context, size);
    // The panel under the view (the background is drawn at the view's own position), or the
    // background colour when there is no bitmap, so the whole rectangle is always painted.
    if (VSTGUI::CBitmap* b = on.getBackground()) {
        CRect r = size;
        const CRect f = on.getFrameRect();
        b->draw(context, r, CPoint(f.left, f.top));
    } else {
        context->setFillColor(backgroundColour);
        context->fillRect(size);
    }
    if (!display || buffer < 0 || buffer >= kNumBuffers) return;
    const BufferColumns& columnsOf = display->buffers[buffer];
    if (columnsOf.hasAudio == 0) return;
    const int half = halfHeight(on);
    const int cols = columns > kThumbnailColumns ? kThumbnailColumns : columns;
    int shade = 120, shade2 = 135, shade3 = 150, increment = 1;
    if (display->live.currentBuffer == buffer) {
        shade = shade2 = shade3 = 180;
        increment = 2;
    }
    context->setLineWidth(2);
    for (int x = 0; x < cols; ++x) {
        const int d = x < cols / 2 ? increment : -increment;
        shade += d;
        shade2 += d;
        shade3 += d;
        context->setFrameColor(MakeCColor(channel(shade), channel(shade2), channel(shade3)));
        const int h = heldHeight(columnsOf.thumbnail[x], half, half, static_cast<int>(on.getHeight()) - half);
        columnHeights[x] = h;
        context->drawLine(CPoint(size.left + x, size.top + half), CPoint(size.left + x, size.top + half - h));
    }
}

// --- main scope -------------------------------------------------------------------------

MainScope::MainScope() : ScopeView(WaveDisplay::kMainColumns, MakeCColor(193, 81, 49), MakeCColor(0, 0, 0)) {}

MainScope::~MainScope() {
    if (ownWaveform) ownWaveform->forget();
    if (ownComposite) ownComposite->forget();
}

void MainScope::setLayers(COffscreenContext* waveform, COffscreenContext* composite) {
    waveformLayer = waveform;
    compositeLayer = composite;
    layerDrawn = false;
}

void MainScope::draw(CDrawContext* context, WaveDisplay& on) {
    const CRect size = viewRect(on);
    ClipToView clip(context, size);
    const BufferColumns* buffer = nullptr;
    const std::int32_t n = display ? display->live.currentBuffer : -1;
    if (n >= 0 && n < kNumBuffers) buffer = &display->buffers[n];
    if (buffer == nullptr || buffer->hasAudio == 0 || buffer->length <= 0) {
        // Empty: the background colour over the whole view, every time.
        stale.store(false, std::memory_order_relaxed);
        layerDrawn = false;
        context->setFillColor(backgroundColour);
        context->fillRect(size);
        return;
    }
    if (!waveformLayer || !compositeLayer) {
        if (!ownWaveform)
            ownWaveform = new COffscreenContext(on.getFrame(), kLayerWidth, kLayerHeight, VSTGUI::kWhiteCColor);
        if (!ownComposite)
            ownComposite = new COffscreenContext(on.getFrame(), kLayerWidth, kLayerHeight, VSTGUI::kWhiteCColor);
    }
    COffscreenContext* wave = waveformLayer ? waveformLayer : ownWaveform;
    COffscreenContext* composite = compositeLayer ? compositeLayer : ownComposite;
    const ScopeMode m = scopeMode();
    const int height = static_cast<int>(on.getHeight());
    const int half = halfHeight(on);

    // New columns of the buffer shown, or another buffer, draw the layer anew too.
    const bool newColumns = n != shownBuffer || buffer->serial != shownSerial;
    if (stale.exchange(false, std::memory_order_relaxed) || !layerDrawn || newColumns) {
        drawWaveform(wave, *buffer, height, half, m);
        shownBuffer = n;
        shownSerial = buffer->serial;
        layerDrawn = true;
        layerChanged = true;
    }

    const DisplayLive& s = display->live;
    const float position = s.playPosition;
    const float grain = s.grainLength;
    const int interval = s.grainInterval;
    const bool recordingNow = s.recording != 0;
    const bool changed = layerChanged || recordingNow || interval != lastInterval ||
                         !(position == lastPlayPosition) || !(grain == lastGrainLength);
    if (changed) {
        layerChanged = false;
        CRect all(0, 0, kLayerWidth, kLayerHeight);
        wave->copyTo(composite, all, CPoint(0, 0));
        lastPlayPosition = position;
        lastGrainLength = grain;
        lastInterval = interval;
        drawOverlay(composite, static_cast<float>(buffer->length), height, m, position, grain, interval);
    }
    // Only the view's own width and height reach the screen.
    composite->copyFrom(context, size, CPoint(0, 0));
}

void MainScope::drawWaveform(COffscreenContext* wave, const BufferColumns& buffer, int height, int half,
                             ScopeMode m) {
    wave->setFillColor(backgroundColour);
    wave->fillRect(CRect(0, 0, kLayerWidth, kLayerHeight));
    wave->setLineWidth(2);
    wave->setFrameColor(foreground);
    int red = 100;
    const bool shaded = !isSumView(m);
    const int cols = columns < kWaveformColumns ? columns : kWaveformColumns;
    for (int x = 0; x < cols; ++x) {
        if (shaded) {
            if (x % 2 == 0) red += x < cols / 2 ? 1 : -1;
            wave->setFrameColor(MakeCColor(channel(red), 80, 80));
        }
        const int h = heldHeight(buffer.waveform[x], half, half, height - half);
        columnHeights[x] = h;
        wave->drawLine(CPoint(x, half), CPoint(x + 1, half - h));
    }
}

void MainScope::drawOverlay(COffscreenContext* composite, float length, int height, ScopeMode m, float position,
                            float grain, int interval) {
    constexpr int kColumns = WaveDisplay::kMainColumns;
    regionStart = columnOf(position, kColumns, length);
    if (regionStart < 0) regionStart = 0;
    if (regionStart > kColumns) regionStart = kColumns;
    fullRegionWidth = regionWidth = columnOf(grain, kColumns, length);
    if (fullRegionWidth < 0) fullRegionWidth = regionWidth = 0;
    if (regionStart + regionWidth > kColumns) regionWidth = kColumns - regionStart;
    composite->setLineWidth(2);
    if (isSumView(m)) {
        // The grains before and after the one under the play head, a grain spacing apart.
        const int spacing = columnOf(static_cast<float>(interval), kColumns, length);
        for (int i = 0; i < 10; ++i) {
            const long mark = static_cast<long>(regionStart) - static_cast<long>(i - 5) * spacing;
            markers[i] = (mark < 0 || mark + fullRegionWidth > kColumns) ? 0 : static_cast<int>(mark);
        }
        for (int i = 1; i < 10; ++i) {
            const int g = i < 5 ? 70 + 20 * i : 250 - 20 * i;
            composite->setFrameColor(MakeCColor(98, channel(g), 0));
            if (markers[i] != 0) outline(composite, markers[i], 3, markers[i] + fullRegionWidth, height - 3);
        }
        composite->setFrameColor(MakeCColor(198, 166, 0));
        outline(composite, regionStart, 3, regionStart + regionWidth, height - 3);
    } else {
        for (int& mark : markers) mark = 0;
        composite->setFrameColor(MakeCColor(136, 136, 136));
        outline(composite, regionStart, 3, regionStart + regionWidth, height - 2);
        composite->setFrameColor(MakeCColor(198, 166, 0));
        outline(composite, regionStart + 1, 2, regionStart + regionWidth + 1, height - 3);
    }
}

// --- small scope ------------------------------------------------------------------------

SmallScope::SmallScope()
    : ScopeView(WaveDisplay::kSmallColumns, MakeCColor(204, 204, 204), MakeCColor(95, 85, 210)) {}

void SmallScope::takeCapture(ScopeMode m, const WaveDisplay& on) {
    const int cols = columns < WaveDisplay::kSmallColumns ? columns : WaveDisplay::kSmallColumns;
    const int height = static_cast<int>(on.getHeight());
    const int half = halfHeight(on);
    const float* capture = display->trace.values;
    if (isFrequencyView(m)) {
        for (int c = 0; c < cols; ++c) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) {
                const float v = capture[c * 4 + k];
                if (!std::isnan(v)) sum += v;
            }
            float level = 0.0f;
            if (sum != 0.0f) level = 20.0f * std::log10(sum / 4.0f) + 20.0f;
            // The bar's height above the bottom edge, held within the view.
            columnHeights[c] = heldHeight(level, 1, height, 0);
        }
    } else {
        for (int i = 0; i < cols; ++i) columnHeights[i] = heldHeight(capture[i], half, half, height - half);
    }
    captureMode = m;
    captureHeld = true;
}

void SmallScope::draw(CDrawContext* context, WaveDisplay& on) {
    const CRect size = viewRect(on);
    ClipToView clip(context, size);
    context->setFillColor(VSTGUI::kBlackCColor);
    context->fillRect(size);
    if (display == nullptr || !(display->live.currentLength > 0.0f)) return;
    const ScopeMode m = scopeMode();
    // Each capture the engine finished is taken once (passed over while the scope is off);
    // until the next one the columns already taken are drawn again.
    if (display->trace.serial != takenSerial) {
        takenSerial = display->trace.serial;
        if (m != ScopeMode::Off) takeCapture(m, on);
    }
    stale.store(false, std::memory_order_relaxed);
    const int cols = columns < WaveDisplay::kSmallColumns ? columns : WaveDisplay::kSmallColumns;
    const long bottom = size.bottom;
    const int half = halfHeight(on);
    if (captureHeld && m == captureMode && isFrequencyView(m)) {
        context->setLineWidth(1);
        int r = 160, g = 160, b = 120;
        const int rising = rampBreak * 15;
        for (int c = 0; c < cols; ++c) {
            context->setFrameColor(MakeCColor(channel(r), channel(g), channel(b)));
            const int h = columnHeights[c];
            if (h > 0) context->drawLine(CPoint(size.left + c, bottom), CPoint(size.left + c, bottom - h));
            const int p = c % 3;
            if (c < rising) {
                if (p == 0) ++r;
                if (p == 1) ++g;
                ++b;
            } else {
                if (p != 1) --g;
                if (p == 1) --r;
                --b;
            }
        }
    } else if (captureHeld && m == captureMode && isTimeView(m)) {
        context->setLineWidth(2);
        context->moveTo(CPoint(size.left, size.top + half));
        for (int i = 0; i < cols; ++i) {
            const int shade = i < 103 ? 60 + i : 266 - i;
            context->setFrameColor(MakeCColor(channel(shade), channel(shade), 65));
            context->lineTo(CPoint(size.left + i, size.top + half - columnHeights[i]));
        }
    }
    captureDrawn = true;  // the next capture is wanted
}

}  // namespace grainwheel
