#include "gui/cview.h"

#include <algorithm>

#include "gui/cframe.h"

namespace VSTGUI {

CView::CView(const CRect& r) : size(r), mouseableArea(r) {}

CView::~CView() {
    if (CBitmap* b = pBackground.exchange(nullptr)) b->forget();
}

void CView::draw(CDrawContext* context) {
    if (CBitmap* b = getBackground()) {
        if (bTransparencyEnabled) {
            b->drawTransparent(context, size);
        } else {
            b->draw(context, size);
        }
    }
    setDirty(false);
}

void CView::mouse(CDrawContext*, CPoint&) {}
void CView::mouseMoved(CDrawContext*, CPoint&) {}
void CView::mouseUp(CDrawContext*, CPoint&) {}
bool CView::onWheel(CDrawContext*, const CPoint&, float) { return false; }
long CView::onKeyDown(KeyCode&) { return -1; }
long CView::onKeyUp(KeyCode&) { return -1; }
bool CView::onDrop(void**, long, long, CPoint&) { return false; }

void CView::update(CDrawContext* context) {
    if (!isDirty()) return;
    if (pParent && context && context->getFrame() == pParent) {
        pParent->redrawRect(context, getFrameRect());
    } else if (context) {
        draw(context);
    }
    setDirty(false);
}

void CView::setBackground(CBitmap* background) {
    if (background) background->remember();
    if (CBitmap* old = pBackground.exchange(background, std::memory_order_acq_rel)) old->forget();
    setDirty();
}

void CView::setViewSize(CRect& rect) {
    size = rect;
    mouseableArea = rect;
    setDirty();
}

CPoint CView::getParentOrigin() const {
    CPoint o;
    for (const CView* p = pParentView; p && p != static_cast<const CView*>(pParent); p = p->pParentView) {
        o.offset(p->size.left, p->size.top);
    }
    return o;
}

CRect CView::getFrameRect() const {
    CRect r = size;
    CPoint o = getParentOrigin();
    return r.offset(o.h, o.v);
}

void CView::attached(CViewContainer* parent, CFrame* frame) {
    pParentView = parent;
    pParent = frame;
    setDirty();
}

void CView::removed() {
    pParentView = nullptr;
    pParent = nullptr;
}

CViewContainer::CViewContainer(const CRect& r, CFrame* frame, CBitmap* background) : CView(r) {
    pParent = frame;
    if (background) setBackground(background);
}

CViewContainer::~CViewContainer() { removeAll(true); }

void CViewContainer::addView(CView* view) {
    if (!view || isChild(view)) return;
    views.push_back(view);
    view->attached(this, pParent);
}

void CViewContainer::addView(CView* view, CRect& area, bool mouseEnabled) {
    if (!view) return;
    view->setMouseableArea(area);
    view->setMouseEnabled(mouseEnabled);
    addView(view);
}

void CViewContainer::removeView(CView* view, const bool withForget) {
    auto it = std::find(views.begin(), views.end(), view);
    if (it == views.end()) return;
    views.erase(it);
    if (pParent) pParent->viewRemoved(view);
    view->removed();
    if (withForget) view->forget();
    setDirty();
}

void CViewContainer::removeAll(const bool withForget) {
    while (!views.empty()) {
        CView* v = views.back();
        views.pop_back();
        if (pParent) pParent->viewRemoved(v);
        v->removed();
        if (withForget) v->forget();
    }
}

bool CViewContainer::isChild(CView* view) const {
    return std::find(views.begin(), views.end(), view) != views.end();
}

CView* CViewContainer::getView(long index) const {
    if (index < 0 || index >= getNbViews()) return nullptr;
    return views[static_cast<std::size_t>(index)];
}

void CViewContainer::attached(CViewContainer* parent, CFrame* frame) {
    CView::attached(parent, frame);
    for (CView* v : views) v->attached(this, frame);
}

void CViewContainer::drawBackgroundRect(CDrawContext* context, const CRect& local) {
    if (CBitmap* b = getBackground()) {
        CRect dest = local;
        CPoint src(local.left + backgroundOffset.h, local.top + backgroundOffset.v);
        b->draw(context, dest, src);
    } else if (!bTransparencyEnabled) {
        context->setFillColor(backgroundColor);
        context->fillRect(local);
    }
}

void CViewContainer::draw(CDrawContext* context) { drawRect(context, size); }

void CViewContainer::drawRect(CDrawContext* context, const CRect& rect) {
    CRect area = rect.intersection(size);
    if (area.isEmpty()) return;
    CPoint saved = context->getOffset();
    CRect savedClip = context->getClipRect();
    context->setOffset(CPoint(saved.h + size.left, saved.v + size.top));
    CRect local = area;
    local.offset(-size.left, -size.top);
    context->setClipRect(local);
    drawBackgroundRect(context, local);
    for (CView* v : views) {
        CRect vs;
        v->getViewSize(vs);
        if (!vs.rectOverlap(local)) continue;
        if (pParent && v == pParent->getModalView()) continue;  // drawn above everything
        if (v->isContainer()) {
            static_cast<CViewContainer*>(v)->drawRect(context, local);
            v->setDirty(false);
        } else {
            v->draw(context);
            v->setDirty(false);
            context->setClipRect(local);
        }
    }
    CView::setDirty(false);
    context->setOffset(saved);
    context->setClipRect(savedClip);
}

CView* CViewContainer::viewAt(const CPoint& where) const {
    CPoint local(where.h - size.left, where.v - size.top);
    for (auto it = views.rbegin(); it != views.rend(); ++it) {
        CView* v = *it;
        if (!v->getMouseEnabled() || !v->hitTest(local)) continue;
        if (v->isContainer()) {
            if (CView* inner = static_cast<CViewContainer*>(v)->viewAt(local)) return inner;
            continue;
        }
        return v;
    }
    return nullptr;
}

void CViewContainer::mouse(CDrawContext* context, CPoint& where) {
    CPoint local(where.h - size.left, where.v - size.top);
    for (auto it = views.rbegin(); it != views.rend(); ++it) {
        CView* v = *it;
        if (v->getMouseEnabled() && v->hitTest(local)) {
            v->mouse(context, local);
            return;
        }
    }
}

bool CViewContainer::onWheel(CDrawContext* context, const CPoint& where, float distance) {
    CPoint local(where.h - size.left, where.v - size.top);
    for (auto it = views.rbegin(); it != views.rend(); ++it) {
        CView* v = *it;
        if (v->getMouseEnabled() && v->hitTest(local)) return v->onWheel(context, local, distance);
    }
    return false;
}

bool CViewContainer::onDrop(void** items, long nbItems, long type, CPoint& where) {
    CPoint local(where.h - size.left, where.v - size.top);
    for (auto it = views.rbegin(); it != views.rend(); ++it) {
        CView* v = *it;
        CRect vs;
        v->getViewSize(vs);
        if (vs.pointInside(local)) return v->onDrop(items, nbItems, type, local);
    }
    return false;
}

bool CViewContainer::isDirty() const {
    if (CView::isDirty()) return true;
    for (CView* v : views) {
        if (v->isDirty()) return true;
    }
    return false;
}

void CViewContainer::setDirty(const bool val) {
    CView::setDirty(val);
    if (!val) {
        for (CView* v : views) v->setDirty(false);
    }
}

}  // namespace VSTGUI
