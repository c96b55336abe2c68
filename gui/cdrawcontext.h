#pragma once
// Drawing contexts: CDrawContext draws into a surface owned by someone else (the frame's
// screen buffer); COffscreenContext owns its surface and can be copied into another context.

#include <memory>

#include "gui/drawdevice.h"
#include "gui/geometry.h"
#include "gui/referencecounter.h"

namespace VSTGUI {

class CFrame;

class CDrawContext : public CReferenceCounter {
public:
    CDrawContext(CFrame* frame, DrawSurface* surface);
    ~CDrawContext() override;

    void setLineWidth(long width);
    long getLineWidth() const { return lineWidth; }
    void setFrameColor(CColor color) { frameColor = color; }
    CColor getFrameColor() const { return frameColor; }
    void setFillColor(CColor color) { fillColor = color; }
    CColor getFillColor() const { return fillColor; }
    void setFontColor(CColor color) { fontColor = color; }
    CColor getFontColor() const { return fontColor; }
    void setFont(long fontID, long size = 0, long face = kNormalFace);
    long getFont() const { return textStyle.font; }
    long getFontFace() const { return textStyle.face; }

    // Lines in the frame colour; the end point itself is not drawn.
    void moveTo(const CPoint& point);
    void lineTo(const CPoint& point);
    void drawLine(const CPoint& from, const CPoint& to);
    // Outline of the rectangle's edge pixels in the frame colour, and fills in the fill colour.
    void drawRect(const CRect& rect);
    void fillRect(const CRect& rect);
    void fillEllipse(const CRect& rect);
    // Text in the font colour inside rect, vertically centred. Opaque: the box is first filled
    // with the fill colour.
    void drawString(const char* text, const CRect& rect, bool opaque = false,
                    CHoriTxtAlign align = kCenterText);
    long getStringWidth(const char* text);

    // Translation applied to every drawing call (containers draw their children with it).
    void setOffset(const CPoint& o) { offset = o; }
    CPoint getOffset() const { return offset; }
    // Clip in the context's own coordinates; an empty rect removes it.
    void setClipRect(const CRect& clip);
    CRect getClipRect() const { return clipRect; }

    // The mouse at this moment: position relative to the frame, and buttons plus modifiers.
    void getMouseLocation(CPoint& point);
    long getMouseButtons();

    CFrame* getFrame() const { return pFrame; }
    DrawSurface* getSurface() const { return surface; }
    // Draws into another surface from now on (the frame's, when its scale changes).
    void setSurface(DrawSurface* s) { surface = s; damage = CRect(); }
    // Pixels per unit of the surface drawn into.
    double getScale() const { return surface ? surface->scale() : 1.0; }
    long getWidth() const;
    long getHeight() const;

    // The surface area touched since the last call (surface coordinates); resets it.
    CRect takeDamage() { CRect d = damage; damage = CRect(); return d; }
    // Records that r (surface coordinates) was drawn.
    void touch(CRect r);

protected:
    CRect toSurface(const CRect& r) const { CRect x = r; return x.offset(offset.h, offset.v); }
    CPoint toSurface(const CPoint& p) const { return CPoint(p.h + offset.h, p.v + offset.v); }

    CFrame* pFrame;
    DrawSurface* surface;
    CRect damage;
    CPoint penLocation;
    CPoint offset;
    CRect clipRect;
    long lineWidth = 1;
    CColor frameColor = kBlackCColor;
    CColor fillColor = kWhiteCColor;
    CColor fontColor = kWhiteCColor;
    TextStyle textStyle;
};

class COffscreenContext : public CDrawContext {
public:
    // A surface of width x height units at the frame's scale.
    COffscreenContext(CFrame* frame, long width, long height, const CColor backgroundColor = kBlackCColor);
    ~COffscreenContext() override;

    // Copies the part of this context that starts at srcOffset into destRect of dest.
    void copyFrom(CDrawContext* dest, CRect destRect, CPoint srcOffset = CPoint(0, 0));
    // Copies srcRect of this context to destOffset in dest.
    void copyTo(CDrawContext* dest, CRect& srcRect, CPoint destOffset = CPoint(0, 0));

private:
    std::unique_ptr<DrawSurface> ownSurface;
};

}  // namespace VSTGUI
