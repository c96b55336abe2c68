#pragma once
// CLabel: a one-line text view showing a text it is given (the editor's status line).
// The text is drawn with the toolkit's normal font in the face set on it; a text wider
// than the label is drawn in a condensed face, then smaller, until it fits, so status
// texts and file messages always show whole. Editor thread only.

#include "gui/cparamdisplay.h"

namespace grainwheel {

class CLabel : public VSTGUI::CParamDisplay {
public:
    static constexpr int kMaxText = 255;

    // size, background bitmap (may be null), the first text.
    CLabel(const VSTGUI::CRect& size, VSTGUI::CBitmap* background, const char* text);
    ~CLabel() override;

    // Copies text (cut to 255 characters) unless it is null; marks the label dirty either
    // way. The font colour stays.
    void setText(const char* text);
    // White text: prefix, value and suffix joined (null parts count as empty).
    void setTextParts(const char* prefix, const char* valueText, const char* suffix);
    const char* getText() const { return labelText; }

    void draw(VSTGUI::CDrawContext* context) override;
    // Files dropped onto the label: "count : first path at x" (x from the label's left edge).
    bool onDrop(void** items, long nbItems, long type, VSTGUI::CPoint& where) override;

    // The font number and face the last draw used (after fitting).
    long getDrawnFont() const { return drawnFont; }
    long getDrawnFace() const { return drawnFace; }

    void attached(VSTGUI::CViewContainer* parent, VSTGUI::CFrame* frame) override;
    void removed() override;

private:
    char labelText[kMaxText + 1] = {};
    VSTGUI::CBitmap* labelBitmap = nullptr;
    long drawnFont = VSTGUI::kNormalFont;
    long drawnFace = VSTGUI::kNormalFace;
};

}  // namespace grainwheel
