// What follows the mouse and the sequencer at each idle: the hover handle in the fader
// columns, the playing unit's handles, and the hover images of the buttons and menus.

#include "editor/ad_editor.h"

#include "resources/panel_layout.h"

namespace grainwheel {

using namespace VSTGUI;

namespace {

// The buttons and menus that show an image of their own under the mouse, in the order
// they are tried, with that image's bitmap.
struct HoverImage {
    int tag;
    long bitmap;
};
constexpr HoverImage kHoverImages[] = {
    {ADEditor::kOptionsMenuTag, 148}, {ADEditor::kFileMenuTag, 149}, {kSaveBankButton, 152}, {kGrid, 171},
    {kTrigmode, 142},  {kMonitor, 159},  {kRecSync, 166},  {kRecFree, 167},
    {kLoadWaveButton, 168}, {kSaveWaveButton, 169}, {kKillBufr, 174}, {kNextProg, 133},
    {kPrevProg, 175},  {kCopyPrg, 176},  {kPastePrg, 177},
};

}  // namespace

CBitmap* ADEditor::restingHandle(int i, int unit) const { return i == unit ? ui_.handlePlaying : ui_.handleNormal; }
CBitmap* ADEditor::hoverHandle(int i, int unit) const { return i == unit ? ui_.handleHoverPlaying : ui_.handleHover; }

void ADEditor::idleHoverColumns(int unit) {
    CFrame* f = panelFrame();
    if (!f) return;
    if (f->getCurrentMouseButtons() & kLButton) return;  // a dragged fader keeps its handle
    CPoint where;
    f->getCurrentMouseLocation(where);
    for (int g = 0; g < panel::kNumColumns; ++g) {
        int& hover = ui_.hoverColumn[g];
        CSlider* first = faderOf(g, 0);
        CSlider* last = faderOf(g, 15);
        if (!first || !last) continue;
        CRect r0, r15;
        first->getViewSize(r0);
        last->getViewSize(r15);
        if (r0.left < where.h && where.h < r15.right && r0.top < where.v && where.v < r15.bottom) {
            const int j = static_cast<int>((where.h - r0.left) / (r0.right - r0.left));
            if (j != hover && j >= 0 && j < 16) {
                if (hover >= 0)
                    if (CSlider* old = faderOf(g, hover)) {
                        old->setHandle(restingHandle(hover, unit));
                        old->setDirty();
                    }
                if (CSlider* s = faderOf(g, j)) {
                    s->setHandle(hoverHandle(j, unit));
                    s->setDirty();
                }
                hover = j;
            }
        } else if (hover >= 0) {
            if (CSlider* old = faderOf(g, hover)) {
                old->setHandle(restingHandle(hover, unit));
                old->setDirty();
            }
            hover = -1;
        }
    }
}

void ADEditor::idlePlayingUnit(int unit) {
    if (unit < 0 || unit >= panel::kNumUnits) return;
    int& shown = ui_.shownUnit;
    if (shown == -1) {
        for (int g = 0; g < panel::kNumColumns; ++g)
            if (CSlider* s = faderOf(g, unit)) {
                s->setHandle(ui_.handlePlaying);
                s->setDirty();
            }
    } else if (unit != shown) {
        for (int g = 0; g < panel::kNumColumns; ++g) {
            if (CSlider* s = faderOf(g, unit)) {
                s->setHandle(ui_.handlePlaying);
                s->setDirty();
            }
            if (CSlider* s = faderOf(g, shown)) {
                s->setHandle(ui_.handleNormal);
                s->setDirty();
            }
        }
    }
    shown = unit;
}

void ADEditor::idleButtonHover() {
    CFrame* f = panelFrame();
    if (!f) return;
    CPoint where;
    f->getCurrentMouseLocation(where);
    CControl* target = nullptr;
    long targetImage = 0;
    for (const HoverImage& h : kHoverImages) {
        CControl* c = controlWithTag(h.tag);
        if (!c) continue;
        CRect r;
        c->getViewSize(r);
        if (where.h >= r.left && where.h <= r.right && where.v >= r.top && where.v <= r.bottom) {
            target = c;
            targetImage = h.bitmap;
            break;
        }
    }
    if (target && target == ui_.hoveredControl) return;
    if (ui_.hoveredControl) {
        ui_.hoveredControl->setBackground(ui_.savedBackground);
        ui_.hoveredControl->setDirty();
        ui_.hoveredControl = nullptr;
        ui_.savedBackground = nullptr;
    }
    if (target) {
        ui_.savedBackground = target->getBackground();
        target->setBackground(keptBitmap(targetImage));
        target->setDirty();
        ui_.hoveredControl = target;
    }
}

}  // namespace grainwheel
