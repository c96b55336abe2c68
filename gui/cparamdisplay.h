#pragma once
// A text display of a control value, with font number, face, colours and alignment.
// Derived views (labels, option menus) draw their own text through drawText.

#include "gui/ccontrol.h"

namespace VSTGUI {

class CParamDisplay : public CControl {
public:
    CParamDisplay(const CRect& size, CBitmap* background = nullptr, const long style = 0);
    ~CParamDisplay() override;

    void draw(CDrawContext* context) override;

    void setFont(long fontID) { font = fontID; setDirty(); }
    long getFont() const { return font; }
    void setFontColor(CColor color) { fontColor = color; setDirty(); }
    CColor getFontColor() const { return fontColor; }
    void setBackColor(CColor color) { backColor = color; setDirty(); }
    CColor getBackColor() const { return backColor; }
    void setFrameColor(CColor color) { frameColor = color; setDirty(); }
    CColor getFrameColor() const { return frameColor; }
    void setShadowColor(CColor color) { shadowColor = color; setDirty(); }
    CColor getShadowColor() const { return shadowColor; }
    void setHoriAlign(CHoriTxtAlign align) { horiTxtAlign = align; setDirty(); }
    void setHoriAlign(long align) { setHoriAlign(static_cast<CHoriTxtAlign>(align)); }
    CHoriTxtAlign getHoriAlign() const { return horiTxtAlign; }
    void setTxtFace(long face) { txtFace = face; setDirty(); }
    long getTxtFace() const { return txtFace; }
    void setTextTransparency(bool val) { bTextTransparencyEnabled = val; setDirty(); }
    bool getTextTransparency() const { return bTextTransparencyEnabled; }
    void setStyle(long val) { style = val; setDirty(); }
    long getStyle() const { return style; }
    // Formats the value for display (default "%2.3f").
    void setStringConvert(void (*convert)(float value, char* string));

protected:
    // Background (bitmap, or fill and frame when opaque), then the text with its shadow.
    void drawText(CDrawContext* context, const char* string, CBitmap* newBack = nullptr);

    long font = kNormalFont;
    long txtFace = kNormalFace;
    CHoriTxtAlign horiTxtAlign = kCenterText;
    long style;
    CColor fontColor = kWhiteCColor;
    CColor backColor = kBlackCColor;
    CColor frameColor = kBlackCColor;
    CColor shadowColor = kGreyCColor;
    bool bTextTransparencyEnabled = true;
    void (*stringConvert)(float value, char* string) = nullptr;
};

}  // namespace VSTGUI
