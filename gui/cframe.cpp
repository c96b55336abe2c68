#include "gui/cframe.h"

#include <cstdint>

#include "gui/coptionmenu.h"
#include "gui/menusession.h"

namespace VSTGUI {

CFrame::CFrame(const CRect& r, void* sysWindow, void* ed)
    : CViewContainer(r, nullptr), systemWindow(sysWindow), editor(ed) {
    pParent = this;
    size.moveTo(0, 0);
    mouseableArea = size;
    screen = drawBackend().createSurface(size.width(), size.height(), kBlackCColor);
    screenContext = new CDrawContext(this, screen.get());
    menus = std::make_unique<MenuSession>(*this);
}

CFrame::~CFrame() {
    menus->cancel();
    modalView = nullptr;
    mouseCapture = nullptr;
    removeAll(true);
    menus.reset();
    window.reset();
    screenContext->forget();
    screenContext = nullptr;
}

void CFrame::setPlatformWindow(std::unique_ptr<PlatformWindow> w) {
    window = std::move(w);
    CView::setDirty(true);
}

void CFrame::setDirty(const bool val) { CView::setDirty(val); }

void CFrame::setScale(double s) {
    s = s < 1.0 ? 1.0 : (s > 3.0 ? 3.0 : s);
    if (s == scale) return;
    if (menus) menus->cancel();
    scale = s;
    screen = drawBackend().createSurface(size.width(), size.height(), kBlackCColor, s);
    screenContext->setSurface(screen.get());
    if (window) window->setScale(s, size);
    CView::setDirty(true);
}

double CFrame::systemScale() { return window ? window->systemScale() : 0.0; }

void CFrame::systemScaleChanged(double s) {
    if (scaleHandler) scaleHandler(scaleHandlerOwner, s);
}

void CFrame::idle() {
    if (window) window->pollEvents(*this);
    redrawDirty();
}

void CFrame::redraw() {
    CView::setDirty(true);
    redrawDirty();
}

bool CFrame::onWheel(float distance) {
    CPoint where;
    getCurrentMouseLocation(where);
    return onWheelAt(where, distance, getCurrentMouseButtons());
}

bool CFrame::getCurrentMouseLocation(CPoint& where) {
    long buttons = 0;
    if (window && window->queryPointer(where, buttons)) return true;
    where = lastMouse;
    return true;
}

long CFrame::getCurrentMouseButtons() {
    if (inEvent) return eventButtons;
    CPoint where;
    long buttons = 0;
    if (window && window->queryPointer(where, buttons)) return buttons;
    return lastButtons;
}

void CFrame::setModalView(CView* view) {
    modalView = view;
    if (view) view->setDirty();
}

void CFrame::redrawRect(CDrawContext* context, const CRect& rect) {
    if (!context) return;
    CRect area = rect.intersection(size);
    if (area.isEmpty()) return;
    ++stats.redraws;
    CViewContainer::drawRect(context, area);
    if (modalView) {
        CRect m = modalView->getFrameRect();
        if (m.rectOverlap(area)) {
            CPoint savedOffset = context->getOffset();
            CRect savedClip = context->getClipRect();
            CPoint o = modalView->getParentOrigin();
            context->setOffset(CPoint(savedOffset.h + o.h, savedOffset.v + o.v));
            CRect clip = area;
            context->setClipRect(clip.offset(-o.h, -o.v));
            modalView->draw(context);
            modalView->setDirty(false);
            context->setOffset(savedOffset);
            context->setClipRect(savedClip);
        }
    }
    if (context == screenContext) flushDamage();
}

void CFrame::redrawDirty() {
    if (takeDirty()) {
        redrawRect(screenContext, size);
    } else {
        std::vector<CRect> regions;
        forEachView([&](CView* v) {
            if (!v->takeDirty()) return;
            CRect r = v->getFrameRect().intersection(size);
            if (r.isEmpty()) return;
            // Merge with an overlapping region so nothing is drawn twice.
            for (auto it = regions.begin(); it != regions.end();) {
                if (it->rectOverlap(r)) {
                    r = r.unionWith(*it);
                    it = regions.erase(it);
                } else {
                    ++it;
                }
            }
            regions.push_back(r);
        });
        for (const CRect& r : regions) redrawRect(screenContext, r);
    }
    flushDamage();
    if (menus) menus->redrawIfNeeded();
    if (window) window->flush();
}

void CFrame::present(const CRect& rect) {
    CRect r = rect.intersection(size);
    if (r.isEmpty()) return;
    stats.presentedPixels += r.width() * r.height();
    if (window && screen) window->present(*screen, r);
}

void CFrame::flushDamage() {
    if (!screenContext) return;
    CRect d = screenContext->takeDamage();
    if (!d.isEmpty()) present(d);
}

void CFrame::onMouseDown(CPoint where, long buttons) {
    lastMouse = where;
    lastButtons = buttons;
    if (inputBlocked) return;
    if (menus->active()) {
        menus->mouseDown(where);
        flushDamage();
        return;
    }
    inEvent = true;
    eventButtons = buttons;
    CView* target = nullptr;
    if (modalView) {
        CPoint o = modalView->getParentOrigin();
        CPoint local(where.h - o.h, where.v - o.v);
        if (modalView->getMouseEnabled() && modalView->hitTest(local)) target = modalView;
    } else {
        target = viewAt(where);
    }
    if (target) {
        if (mouseCapture && mouseCapture != target) mouseCapture->mouseCaptureLost();
        mouseCapture = target;
        CPoint o = target->getParentOrigin();
        CPoint local(where.h - o.h, where.v - o.v);
        target->mouse(screenContext, local);
    } else if (!modalView && emptyClick) {
        emptyClick(emptyClickOwner, where, buttons);
    }
    inEvent = false;
    flushDamage();
}

void CFrame::onMouseMove(CPoint where, long buttons) {
    lastMouse = where;
    lastButtons = buttons;
    if (menus->active()) {
        menus->mouseMoved(where);
        return;
    }
    if (!mouseCapture) return;
    inEvent = true;
    eventButtons = buttons;
    CPoint o = mouseCapture->getParentOrigin();
    CPoint local(where.h - o.h, where.v - o.v);
    mouseCapture->mouseMoved(screenContext, local);
    inEvent = false;
    flushDamage();
}

void CFrame::onMouseUp(CPoint where, long buttons) {
    lastMouse = where;
    lastButtons = buttons & ~kLButton;
    if (menus->active()) {
        menus->mouseUp(where);
        flushDamage();
        return;
    }
    CView* target = mouseCapture;
    mouseCapture = nullptr;
    if (!target) return;
    inEvent = true;
    eventButtons = buttons;
    CPoint o = target->getParentOrigin();
    CPoint local(where.h - o.h, where.v - o.v);
    target->mouseUp(screenContext, local);
    inEvent = false;
    flushDamage();
}

bool CFrame::onWheelAt(CPoint where, float distance, long modifiers) {
    if (menus->active() || modalView || inputBlocked) return false;
    CView* target = viewAt(where);
    if (!target) return false;
    inEvent = true;
    eventButtons = modifiers;
    CPoint o = target->getParentOrigin();
    bool handled = target->onWheel(screenContext, CPoint(where.h - o.h, where.v - o.v), distance);
    inEvent = false;
    flushDamage();
    return handled;
}

long CFrame::onKey(KeyCode& key, bool down) {
    if (inputBlocked) return -1;
    if (menus->active()) {
        if (down && key.virt == kVirtualKeyEscape) menus->cancel();
        return 1;
    }
    CView* target = mouseCapture ? mouseCapture : viewAt(lastMouse);
    if (!target) return -1;
    return down ? target->onKeyDown(key) : target->onKeyUp(key);
}

bool CFrame::onDropItems(const std::vector<std::string>& items, long type, CPoint where) {
    if (items.empty() || inputBlocked) return false;
    std::vector<void*> ptrs;
    ptrs.reserve(items.size());
    for (const std::string& s : items) ptrs.push_back(const_cast<char*>(s.c_str()));
    bool accepted = CViewContainer::onDrop(ptrs.data(), static_cast<long>(ptrs.size()), type, where);
    flushDamage();
    return accepted;
}

void CFrame::onExpose(const CRect& rect) {
    if (CView::isDirty()) {
        redrawDirty();
        return;
    }
    present(rect);
}

void CFrame::openMenu(COptionMenu* menu, CPoint at) { menus->open(menu, at); }

bool CFrame::isMenuOpen() const { return menus && menus->active(); }

void CFrame::viewRemoved(CView* view) {
    if (view == mouseCapture) mouseCapture = nullptr;
    if (view == modalView) modalView = nullptr;
    if (view == statusView) setStatusView(nullptr, nullptr);
    if (menus) menus->viewRemoved(view);
}

}  // namespace VSTGUI
