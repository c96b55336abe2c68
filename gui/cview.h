#pragma once
// Views and containers. A view has a rectangle in its parent's coordinates, may hold a
// background bitmap, is marked dirty when it must be redrawn and receives the mouse.
// A container owns the views added to it: removing or deleting it forgets them.

#include <atomic>
#include <vector>

#include "gui/cbitmap.h"
#include "gui/cdrawcontext.h"
#include "gui/geometry.h"
#include "gui/referencecounter.h"

namespace VSTGUI {

class CFrame;
class CViewContainer;

// A key as the plug-in interface passes it: a character, a virtual key and modifier bits.
struct KeyCode {
    long character = 0;
    unsigned char virt = 0;
    unsigned char modifier = 0;
};
enum { kVirtualKeyEscape = 6, kVirtualKeyReturn = 4, kVirtualKeyEnter = 19 };
enum { kModifierShift = 1, kModifierAlt = 2, kModifierCommand = 4, kModifierControl = 8 };

class CView : public CReferenceCounter {
public:
    explicit CView(const CRect& size);
    ~CView() override;

    virtual void draw(CDrawContext* context);
    // Mouse press at where (parent coordinates); buttons and modifiers from context->getMouseButtons().
    // The view then receives mouseMoved and mouseUp until the button is released.
    virtual void mouse(CDrawContext* context, CPoint& where);
    virtual void mouseMoved(CDrawContext* context, CPoint& where);
    virtual void mouseUp(CDrawContext* context, CPoint& where);
    // The view held the mouse from a press whose release it will not receive: the frame
    // gave the mouse to another view's press.
    virtual void mouseCaptureLost() {}
    virtual bool onWheel(CDrawContext* context, const CPoint& where, float distance);
    virtual long onKeyDown(KeyCode& key);
    virtual long onKeyUp(KeyCode& key);
    // Items dropped onto the view: file paths (kDropFiles) or texts, as zero-terminated strings.
    virtual bool onDrop(void** items, long nbItems, long type, CPoint& where);

    // Redraws now if dirty.
    virtual void update(CDrawContext* context);
    virtual void setDirty(const bool val = true) { bDirty.store(val, std::memory_order_relaxed); }
    virtual bool isDirty() const { return bDirty.load(std::memory_order_relaxed); }
    // Clears the view's own dirty mark and tells whether it was set, in one step, so a mark
    // set by another thread meanwhile is never lost.
    bool takeDirty() { return bDirty.exchange(false, std::memory_order_relaxed); }

    virtual void setBackground(CBitmap* background);
    CBitmap* getBackground() const { return pBackground.load(std::memory_order_acquire); }
    virtual void setTransparency(bool val) { bTransparencyEnabled = val; setDirty(); }
    bool getTransparency() const { return bTransparencyEnabled; }
    virtual void setMouseEnabled(bool enable = true) { bMouseEnabled = enable; }
    bool getMouseEnabled() const { return bMouseEnabled; }

    CRect& getViewSize(CRect& rect) const { rect = size; return rect; }
    virtual void setViewSize(CRect& rect);
    CRect& getMouseableArea(CRect& rect) const { rect = mouseableArea; return rect; }
    void setMouseableArea(const CRect& rect) { mouseableArea = rect; }
    long getWidth() const { return size.width(); }
    long getHeight() const { return size.height(); }

    // True when where (parent coordinates) lies in the mouseable area.
    virtual bool hitTest(const CPoint& where) const { return mouseableArea.pointInside(where); }
    // Rectangle in frame coordinates.
    CRect getFrameRect() const;
    // Origin of the parent's coordinates in frame coordinates.
    CPoint getParentOrigin() const;

    virtual bool isContainer() const { return false; }
    CFrame* getFrame() const { return pParent; }
    CViewContainer* getParentView() const { return pParentView; }
    // Called by the container that takes or gives up the view.
    virtual void attached(CViewContainer* parent, CFrame* frame);
    virtual void removed();

protected:
    CRect size;
    CRect mouseableArea;
    CFrame* pParent = nullptr;
    CViewContainer* pParentView = nullptr;
    bool bMouseEnabled = true;
    bool bTransparencyEnabled = false;

private:
    std::atomic<bool> bDirty{true};
    std::atomic<CBitmap*> pBackground{nullptr};
};

class CViewContainer : public CView {
public:
    CViewContainer(const CRect& size, CFrame* frame, CBitmap* background = nullptr);
    ~CViewContainer() override;

    // The container takes over the caller's reference.
    virtual void addView(CView* view);
    virtual void addView(CView* view, CRect& mouseableArea, bool mouseEnabled = true);
    virtual void removeView(CView* view, const bool withForget = true);
    virtual void removeAll(const bool withForget = true);
    bool isChild(CView* view) const;
    long getNbViews() const { return static_cast<long>(views.size()); }
    CView* getView(long index) const;

    void setBackgroundColor(CColor color) { backgroundColor = color; setDirty(); }
    CColor getBackgroundColor() const { return backgroundColor; }
    void setBackgroundOffset(const CPoint& p) { backgroundOffset = p; }

    void draw(CDrawContext* context) override;
    // Draws the part of the container that lies in rect (own parent coordinates).
    virtual void drawRect(CDrawContext* context, const CRect& rect);
    void mouse(CDrawContext* context, CPoint& where) override;
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
    bool onDrop(void** items, long nbItems, long type, CPoint& where) override;
    bool isDirty() const override;
    void setDirty(const bool val = true) override;
    bool isContainer() const override { return true; }
    void attached(CViewContainer* parent, CFrame* frame) override;

    // The innermost view under where (own parent coordinates) that takes the mouse; null if none.
    CView* viewAt(const CPoint& where) const;
    // Calls f for every view below this container, depth first in stacking order.
    template <class F> void forEachView(F&& f) const {
        for (CView* v : views) {
            f(v);
            if (v->isContainer()) static_cast<CViewContainer*>(v)->forEachView(f);
        }
    }

protected:
    void drawBackgroundRect(CDrawContext* context, const CRect& rect);
    std::vector<CView*> views;
    CColor backgroundColor = kBlackCColor;
    CPoint backgroundOffset;
};

}  // namespace VSTGUI
