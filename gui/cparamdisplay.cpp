#include "gui/cparamdisplay.h"

#include <cstdio>

namespace VSTGUI {

CParamDisplay::CParamDisplay(const CRect& r, CBitmap* background, const long st)
    : CControl(r, nullptr, 0, background), style(st) {}

CParamDisplay::~CParamDisplay() = default;

void CParamDisplay::setStringConvert(void (*convert)(float, char*)) {
    stringConvert = convert;
    setDirty();
}

void CParamDisplay::draw(CDrawContext* context) {
    char text[256] = {0};
    if (stringConvert) {
        stringConvert(getValue(), text);
        text[255] = 0;
    } else {
        std::snprintf(text, sizeof text, "%2.3f", static_cast<double>(getValue()));
    }
    drawText(context, text);
}

void CParamDisplay::drawText(CDrawContext* context, const char* string, CBitmap* newBack) {
    setDirty(false);
    if (style & kNoDrawStyle) return;
    CBitmap* back = newBack ? newBack : getBackground();
    if (back) {
        if (bTransparencyEnabled) {
            back->drawTransparent(context, size);
        } else {
            back->draw(context, size);
        }
    } else if (!bTransparencyEnabled) {
        context->setFillColor(backColor);
        context->fillRect(size);
        context->setFrameColor(frameColor);
        context->setLineWidth(1);
        context->drawRect(size);
    }
    if ((style & kNoTextStyle) || !string || !*string) return;
    context->setFont(font, 0, txtFace);
    if (style & kShadowText) {
        CRect shadow = size;
        shadow.offset(1, 1);
        context->setFontColor(shadowColor);
        context->drawString(string, shadow, false, horiTxtAlign);
    }
    context->setFontColor(fontColor);
    context->setFillColor(backColor);
    context->drawString(string, size, !bTextTransparencyEnabled, horiTxtAlign);
}

}  // namespace VSTGUI
