#include "gui/menusession.h"

#include <algorithm>
#include <cstdlib>

#include "gui/cdrawcontext.h"
#include "gui/cframe.h"
#include "gui/coptionmenu.h"

namespace VSTGUI {

namespace {
constexpr CColor kMenuBack{34, 36, 40, 0};
constexpr CColor kMenuFrame{110, 112, 118, 0};
constexpr CColor kMenuText{222, 222, 222, 0};
constexpr CColor kMenuHighlight{193, 81, 49, 0};
constexpr CColor kMenuSeparator{80, 82, 88, 0};
constexpr long kTickWidth = 16;
constexpr long kArrowWidth = 16;
}  // namespace

MenuSession::MenuSession(CFrame& f) : frame(f) {}

MenuSession::~MenuSession() { cancel(); }

void MenuSession::open(COptionMenu* menu, CPoint at) {
    cancel();
    if (!menu || menu->getNbEntries() == 0) {
        if (menu) menu->popupClosed();
        return;
    }
    root = menu;
    root->remember();
    openedAt = at;
    moved = false;
    push(menu, at);
}

void MenuSession::push(COptionMenu* menu, CPoint at) {
    Level level;
    level.menu = menu;
    TextStyle style;
    style.font = kNormalFontSmall;
    auto measure = drawBackend().createSurface(1, 1, kMenuBack);
    long textWidth = 60;
    for (long i = 0; i < menu->getNbEntries(); ++i) {
        textWidth = std::max(textWidth, measure->textWidth(menu->getEntry(i), style));
    }
    long w = kTickWidth + textWidth + 6 + kArrowWidth;  // 6: the text margins
    long h = 2 * kPadding + kRowHeight * menu->getNbEntries();
    level.rect = CRect(at.h, at.v, at.h + w, at.v + h);
    // On the screen (or, without a window, in the frame): a pop-up that would reach past the
    // bottom or right edge moves up or left, and never beyond the top or left edge.
    CRect area(0, 0, frame.getWidth(), frame.getHeight());
    if (PlatformWindow* pw = frame.getPlatformWindow()) {
        CRect screenRect;
        if (pw->screenArea(screenRect) && !screenRect.isEmpty()) area = screenRect;
    }
    if (level.rect.bottom > area.bottom) level.rect.offset(0, area.bottom - level.rect.bottom);
    if (level.rect.top < area.top) level.rect.offset(0, area.top - level.rect.top);
    if (level.rect.right > area.right) {
        // A submenu opens on the other side of its parent; a first level moves left.
        const long left = levels.empty() ? area.right - w : levels.back().rect.left - w + 2;
        level.rect.offset(left - level.rect.left, 0);
    }
    if (level.rect.left < area.left) level.rect.offset(area.left - level.rect.left, 0);
    level.surface = drawBackend().createSurface(w, h, kMenuBack, frame.getScale());
    if (PlatformWindow* pw = frame.getPlatformWindow()) level.window = pw->openPopup(level.rect);
    levels.push_back(std::move(level));
    draw(levels.back());
}

void MenuSession::closeFrom(std::size_t level) {
    while (levels.size() > level) levels.pop_back();
}

void MenuSession::cancel() {
    if (!root) return;
    closeFrom(0);
    COptionMenu* r = root;
    root = nullptr;
    r->popupClosed();
    if (PlatformWindow* pw = frame.getPlatformWindow()) pw->popupsClosed();
    r->forget();
}

void MenuSession::finish(COptionMenu* menu, long index) {
    COptionMenu* r = root;
    r->remember();
    menu->remember();
    cancel();
    menu->choose(frame.getScreenContext(), index, r->getListener());
    menu->forget();
    r->forget();
}

CRect MenuSession::levelRect(long level) const {
    return (level >= 0 && level < levelCount()) ? levels[static_cast<std::size_t>(level)].rect : CRect();
}

DrawSurface* MenuSession::levelSurface(long level) const {
    return (level >= 0 && level < levelCount()) ? levels[static_cast<std::size_t>(level)].surface.get() : nullptr;
}

COptionMenu* MenuSession::levelMenu(long level) const {
    return (level >= 0 && level < levelCount()) ? levels[static_cast<std::size_t>(level)].menu : nullptr;
}

long MenuSession::highlighted(long level) const {
    return (level >= 0 && level < levelCount()) ? levels[static_cast<std::size_t>(level)].highlight : -1;
}

CRect MenuSession::entryRect(long level, long index) const {
    CRect r = levelRect(level);
    if (r.isEmpty()) return r;
    long top = r.top + kPadding + index * kRowHeight;
    return CRect(r.left, top, r.right, top + kRowHeight);
}

bool MenuSession::find(CPoint where, std::size_t& level, long& entry) const {
    for (std::size_t i = levels.size(); i-- > 0;) {
        const Level& l = levels[i];
        if (!l.rect.pointInside(where)) continue;
        level = i;
        long row = (where.v - l.rect.top - kPadding);
        entry = row < 0 ? -1 : row / kRowHeight;
        if (entry >= l.menu->getNbEntries()) entry = -1;
        return true;
    }
    return false;
}

void MenuSession::mouseDown(CPoint where) {
    std::size_t level = 0;
    long entry = -1;
    if (!find(where, level, entry)) {
        cancel();
        return;
    }
    COptionMenu* menu = levels[level].menu;
    if (entry < 0 || menu->isSeparator(entry)) return;
    if (COptionMenu* sub = menu->getSubMenu(entry)) {
        if (levels.size() > level + 1 && levels[level + 1].menu == sub) return;
        closeFrom(level + 1);
        CRect row = entryRect(static_cast<long>(level), entry);
        push(sub, CPoint(levels[level].rect.right - 2, row.top - kPadding));
        return;
    }
    finish(menu, entry);
}

void MenuSession::mouseMoved(CPoint where) {
    if (std::labs(where.h - openedAt.h) > 3 || std::labs(where.v - openedAt.v) > 3) moved = true;
    std::size_t level = 0;
    long entry = -1;
    if (!find(where, level, entry)) return;
    Level& l = levels[level];
    COptionMenu* menu = l.menu;
    long highlight = (entry >= 0 && !menu->isSeparator(entry)) ? entry : -1;
    if (highlight != l.highlight) {
        l.highlight = highlight;
        l.dirty = true;
    }
    if (highlight < 0) return;
    if (COptionMenu* sub = menu->getSubMenu(highlight)) {
        if (levels.size() > level + 1 && levels[level + 1].menu == sub) return;
        closeFrom(level + 1);
        CRect row = entryRect(static_cast<long>(level), highlight);
        push(sub, CPoint(l.rect.right - 2, row.top - kPadding));
    } else {
        closeFrom(level + 1);
    }
    redrawIfNeeded();
}

void MenuSession::mouseUp(CPoint where) {
    // Press on the menu, drag to an entry and release: the release chooses.
    if (!moved) return;
    std::size_t level = 0;
    long entry = -1;
    if (!find(where, level, entry) || entry < 0) return;
    COptionMenu* menu = levels[level].menu;
    if (menu->isSeparator(entry) || menu->getSubMenu(entry)) return;
    finish(menu, entry);
}

void MenuSession::redrawIfNeeded() {
    for (Level& l : levels) {
        if (l.dirty) draw(l);
    }
}

void MenuSession::viewRemoved(CView* view) {
    if (!root) return;
    for (const Level& l : levels) {
        if (static_cast<CView*>(l.menu) == view) {
            cancel();
            return;
        }
    }
}

void MenuSession::draw(Level& level) {
    level.dirty = false;
    DrawSurface* s = level.surface.get();
    if (!s) return;
    CDrawContext context(nullptr, s);
    long w = level.rect.width(), h = level.rect.height();
    context.setFillColor(kMenuBack);
    context.fillRect(CRect(0, 0, w, h));
    context.setFrameColor(kMenuFrame);
    context.setLineWidth(1);
    context.drawRect(CRect(0, 0, w, h));
    context.setFont(kNormalFontSmall);
    COptionMenu* menu = level.menu;
    bool ticks = (menu->getStyle() & kCheckStyle) != 0;
    long current = menu->getCurrent();
    for (long i = 0; i < menu->getNbEntries(); ++i) {
        CRect row(1, kPadding + i * kRowHeight, w - 1, kPadding + (i + 1) * kRowHeight);
        if (menu->isSeparator(i)) {
            context.setFrameColor(kMenuSeparator);
            long y = row.top + kRowHeight / 2;
            context.drawLine(CPoint(4, y), CPoint(w - 4, y));
            continue;
        }
        if (i == level.highlight) {
            context.setFillColor(kMenuHighlight);
            context.fillRect(row);
        }
        context.setFontColor(i == level.highlight ? kWhiteCColor : kMenuText);
        if (ticks && i == current) {
            context.setFillColor(i == level.highlight ? kWhiteCColor : kMenuHighlight);
            long cy = row.top + kRowHeight / 2;
            context.fillEllipse(CRect(5, cy - 3, 11, cy + 3));
        }
        CRect text(kTickWidth, row.top, w - kArrowWidth, row.bottom);
        context.drawString(menu->getEntry(i), text, false, kLeftText);
        if (menu->getSubMenu(i)) {
            context.setFrameColor(context.getFontColor());
            long cx = w - 10, cy = row.top + kRowHeight / 2;
            context.drawLine(CPoint(cx, cy - 4), CPoint(cx + 4, cy));
            context.drawLine(CPoint(cx + 4, cy), CPoint(cx, cy + 4));
        }
    }
    if (level.window) level.window->present(*s, CRect(0, 0, w, h));
}

}  // namespace VSTGUI
