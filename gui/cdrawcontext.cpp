#include "gui/cdrawcontext.h"

#include <algorithm>

#include "gui/cframe.h"

namespace VSTGUI {

namespace {
}  // namespace

CDrawContext::CDrawContext(CFrame* frame, DrawSurface* s) : pFrame(frame), surface(s) {}

CDrawContext::~CDrawContext() = default;

long CDrawContext::getWidth() const { return surface ? surface->width() : 0; }
long CDrawContext::getHeight() const { return surface ? surface->height() : 0; }

void CDrawContext::touch(CRect r) {
    if (!surface) return;
    r = r.intersection(CRect(0, 0, surface->width(), surface->height()));
    if (!clipRect.isEmpty()) r = r.intersection(toSurface(clipRect));
    damage = damage.unionWith(r);
}

void CDrawContext::setLineWidth(long width) { lineWidth = std::max(1L, width); }

void CDrawContext::setFont(long fontID, long /*size*/, long face) {
    textStyle.font = (fontID >= 0 && fontID < kNumStandardFonts) ? fontID : static_cast<long>(kNormalFont);
    textStyle.face = face;
}

void CDrawContext::setClipRect(const CRect& clip) {
    clipRect = clip;
    if (surface) surface->setClip(clip.isEmpty() ? CRect() : toSurface(clip));
}

void CDrawContext::moveTo(const CPoint& point) { penLocation = point; }

void CDrawContext::lineTo(const CPoint& point) {
    drawLine(penLocation, point);
    penLocation = point;
}

void CDrawContext::drawLine(const CPoint& from, const CPoint& to) {
    if (!surface) return;
    CPoint a = toSurface(from), b = toSurface(to);
    surface->line(a, b, frameColor, lineWidth);
    long pad = lineWidth;
    touch(CRect(std::min(a.h, b.h) - pad, std::min(a.v, b.v) - pad, std::max(a.h, b.h) + pad + 1,
                std::max(a.v, b.v) + pad + 1));
}

void CDrawContext::drawRect(const CRect& rect) {
    if (!surface || rect.isEmpty()) return;
    surface->strokeRect(toSurface(rect), frameColor, lineWidth);
    touch(toSurface(rect));
}

void CDrawContext::fillRect(const CRect& rect) {
    if (!surface || rect.isEmpty()) return;
    surface->fillRect(toSurface(rect), fillColor);
    touch(toSurface(rect));
}

void CDrawContext::fillEllipse(const CRect& rect) {
    if (!surface || rect.isEmpty()) return;
    surface->fillEllipse(toSurface(rect), fillColor);
    touch(toSurface(rect));
}

void CDrawContext::drawString(const char* text, const CRect& rect, bool opaque, CHoriTxtAlign align) {
    if (!surface || !text) return;
    if (opaque) fillRect(rect);
    TextStyle style = textStyle;
    style.align = align;
    surface->text(toSurface(rect), text, fontColor, style);
    touch(toSurface(rect));
}

long CDrawContext::getStringWidth(const char* text) {
    if (!surface || !text) return 0;
    return surface->textWidth(text, textStyle);
}

void CDrawContext::getMouseLocation(CPoint& point) {
    if (pFrame) {
        pFrame->getCurrentMouseLocation(point);
    } else {
        point = CPoint();
    }
}

long CDrawContext::getMouseButtons() { return pFrame ? pFrame->getCurrentMouseButtons() : 0; }

COffscreenContext::COffscreenContext(CFrame* frame, long width, long height, const CColor backgroundColor)
    : CDrawContext(frame, nullptr),
      ownSurface(drawBackend().createSurface(std::max(1L, width), std::max(1L, height), backgroundColor,
                                             frame ? frame->getScale() : 1.0)) {
    surface = ownSurface.get();
}

COffscreenContext::~COffscreenContext() { surface = nullptr; }

void COffscreenContext::copyFrom(CDrawContext* dest, CRect destRect, CPoint srcOffset) {
    if (!dest || !dest->getSurface() || !surface) return;
    CRect part(srcOffset.h, srcOffset.v, srcOffset.h + destRect.width(), srcOffset.v + destRect.height());
    CPoint o = dest->getOffset();
    CPoint at(destRect.left + o.h, destRect.top + o.v);
    surface->copyTo(*dest->getSurface(), part, at);
    dest->touch(CRect(at.h, at.v, at.h + part.width(), at.v + part.height()));
}

void COffscreenContext::copyTo(CDrawContext* dest, CRect& srcRect, CPoint destOffset) {
    copyFrom(dest, CRect(destOffset.h, destOffset.v, destOffset.h + srcRect.width(),
                         destOffset.v + srcRect.height()),
             CPoint(srcRect.left, srcRect.top));
}

}  // namespace VSTGUI
