#include "editor/clabel.h"

#include <cstdio>
#include <cstring>

#include "gui/cframe.h"

namespace grainwheel {

using VSTGUI::CDrawContext;
using VSTGUI::CPoint;
using VSTGUI::CRect;

namespace {

void copyCut(char* out, const char* text) {
    std::size_t n = std::strlen(text);
    if (n > static_cast<std::size_t>(CLabel::kMaxText)) n = CLabel::kMaxText;
    std::memcpy(out, text, n);
    out[n] = 0;
}

// The status line's text and colour for the editor inspection.
bool describeLabel(const VSTGUI::CView* view, char* text, std::size_t size, VSTGUI::CColor& color) {
    const auto* label = static_cast<const CLabel*>(view);
    if (size == 0) return false;
    std::snprintf(text, size, "%s", label->getText());
    color = label->getFontColor();
    return true;
}

}  // namespace

CLabel::CLabel(const CRect& r, VSTGUI::CBitmap* background, const char* text)
    : CParamDisplay(r, background, 0), labelBitmap(background) {
    labelText[0] = 0;
    setText(text);
    if (labelBitmap) labelBitmap->remember();
}

CLabel::~CLabel() {
    if (labelBitmap) labelBitmap->forget();
}

void CLabel::setText(const char* text) {
    if (text) copyCut(labelText, text);
    setDirty();
}

void CLabel::setTextParts(const char* prefix, const char* valueText, const char* suffix) {
    fontColor = VSTGUI::kWhiteCColor;
    char joined[3 * (kMaxText + 1)];
    std::snprintf(joined, sizeof joined, "%s%s%s", prefix ? prefix : "", valueText ? valueText : "", suffix ? suffix : "");
    copyCut(labelText, joined);
    setDirty();
}

void CLabel::draw(CDrawContext* context) {
    if (!context) return;
    if (getBackground() != labelBitmap) setBackground(labelBitmap);
    setDirty(false);
    // The first candidate that fits: the face as set, then condensed, then smaller sizes,
    // and at last without bold.
    struct Candidate {
        long font;
        long face;
    };
    const long condensed = txtFace | VSTGUI::kCondensedFace;
    const long plain = condensed & ~static_cast<long>(VSTGUI::kBoldFace);
    const Candidate candidates[] = {{font, txtFace},
                                    {font, condensed},
                                    {VSTGUI::kNormalFontSmall, condensed},
                                    {VSTGUI::kNormalFontSmaller, condensed},
                                    {VSTGUI::kNormalFontVerySmall, condensed},
                                    {VSTGUI::kNormalFontSmaller, plain},
                                    {VSTGUI::kNormalFontVerySmall, plain}};
    const long room = size.width() - 4;
    const long setFont = font, setFace = txtFace;
    Candidate chosen = candidates[0];
    if (labelText[0]) {
        for (const Candidate& c : candidates) {
            chosen = c;
            context->setFont(c.font, 0, c.face);
            if (context->getStringWidth(labelText) <= room) break;
        }
    }
    drawnFont = font = chosen.font;
    drawnFace = txtFace = chosen.face;
    drawText(context, labelText);
    font = setFont;
    txtFace = setFace;
}

bool CLabel::onDrop(void** items, long nbItems, long type, CPoint& where) {
    if (type == VSTGUI::kDropFiles && nbItems >= 1 && items && items[0]) {
        char text[kMaxText + 1];
        std::snprintf(text, sizeof text, "%ld : %s at %ld", nbItems, static_cast<const char*>(items[0]),
                      where.h - size.left);
        setText(text);
    }
    return true;
}

void CLabel::attached(VSTGUI::CViewContainer* parent, VSTGUI::CFrame* frame) {
    CParamDisplay::attached(parent, frame);
    if (frame && !frame->getStatusView()) frame->setStatusView(this, describeLabel);
}

void CLabel::removed() {
    if (pParent && pParent->getStatusView() == this) pParent->setStatusView(nullptr, nullptr);
    CParamDisplay::removed();
}

}  // namespace grainwheel
