#pragma once
// Points, rectangles and colours of the widget toolkit. Rectangles have exclusive right and
// bottom edges: (0, 0, 10, 10) covers 10 x 10 pixels.

#include <algorithm>
#include <cstdint>

namespace VSTGUI {

struct CPoint {
    long h = 0;
    long v = 0;
    CPoint() = default;
    CPoint(long x, long y) : h(x), v(y) {}
    CPoint& offset(long dx, long dy) { h += dx; v += dy; return *this; }
    bool operator==(const CPoint&) const = default;
};

struct CRect {
    long left = 0, top = 0, right = 0, bottom = 0;
    CRect() = default;
    CRect(long l, long t, long r, long b) : left(l), top(t), right(r), bottom(b) {}
    long width() const { return right - left; }
    long height() const { return bottom - top; }
    bool isEmpty() const { return right <= left || bottom <= top; }
    CRect& offset(long dx, long dy) { left += dx; right += dx; top += dy; bottom += dy; return *this; }
    CRect& moveTo(long x, long y) { return offset(x - left, y - top); }
    // Edges included on the left and top, excluded on the right and bottom.
    bool pointInside(const CPoint& p) const {
        return p.h >= left && p.h < right && p.v >= top && p.v < bottom;
    }
    bool rectOverlap(const CRect& r) const {
        return r.left < right && r.right > left && r.top < bottom && r.bottom > top;
    }
    CRect intersection(const CRect& r) const {
        CRect x(std::max(left, r.left), std::max(top, r.top), std::min(right, r.right),
                std::min(bottom, r.bottom));
        if (x.isEmpty()) return CRect();
        return x;
    }
    CRect unionWith(const CRect& r) const {
        if (isEmpty()) return r;
        if (r.isEmpty()) return *this;
        return CRect(std::min(left, r.left), std::min(top, r.top), std::max(right, r.right),
                     std::max(bottom, r.bottom));
    }
    bool operator==(const CRect&) const = default;
};

struct CColor {
    unsigned char red = 0, green = 0, blue = 0, unused = 0;  // unused: 0 = opaque
    bool sameRgb(const CColor& c) const { return red == c.red && green == c.green && blue == c.blue; }
    bool operator==(const CColor&) const = default;
};

constexpr CColor kBlackCColor{0, 0, 0, 0};
constexpr CColor kWhiteCColor{255, 255, 255, 0};
constexpr CColor kGreyCColor{127, 127, 127, 0};
constexpr CColor kRedCColor{255, 0, 0, 0};
constexpr CColor kGreenCColor{0, 255, 0, 0};
constexpr CColor kBlueCColor{0, 0, 255, 0};
constexpr CColor kYellowCColor{255, 255, 0, 0};

inline CColor MakeCColor(unsigned char r, unsigned char g, unsigned char b) { return CColor{r, g, b, 0}; }

// Font numbers; font 3 is the normal font.
enum CFont { kSystemFont = 0, kNormalFontVeryBig, kNormalFontBig, kNormalFont, kNormalFontSmall,
             kNormalFontSmaller, kNormalFontVerySmall, kSymbolFont, kNumStandardFonts };
// Text faces (bits).
// kCondensedFace: narrower glyphs of the same family (where the back end has them).
enum { kNormalFace = 0, kBoldFace = 1, kItalicFace = 2, kUnderlineFace = 4, kCondensedFace = 8 };
enum CHoriTxtAlign { kLeftText = 0, kCenterText, kRightText };

// Mouse buttons and modifier keys (bits).
enum { kLButton = 1, kMButton = 2, kRButton = 4, kShift = 8, kControl = 16, kAlt = 32, kApple = 64 };

// Styles shared by the controls (bits).
enum {
    kHorizontal = 1 << 0, kVertical = 1 << 1, kShadowText = 1 << 2, kLeft = 1 << 3, kRight = 1 << 4,
    kTop = 1 << 5, kBottom = 1 << 6,
    kCheckStyle = 1024, kNoTextStyle = 2048, kNoDrawStyle = 4096
};

// Drop item kinds passed to onDrop.
enum { kDropError = -1, kDropFiles = 0, kDropText = 1 };

}  // namespace VSTGUI
