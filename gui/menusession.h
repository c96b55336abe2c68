#pragma once
// The pop-ups of an open option menu and its submenus, stacked: a pop-up opens below the
// menu, submenus open beside the entry that holds them. Entries are highlighted under the
// mouse; a click on an entry chooses it, a click outside every pop-up or Escape closes all.

#include <memory>
#include <vector>

#include "gui/drawdevice.h"
#include "gui/geometry.h"
#include "gui/platformwindow.h"

namespace VSTGUI {

class CFrame;
class COptionMenu;
class CView;

class MenuSession {
public:
    static constexpr long kRowHeight = 16;
    static constexpr long kPadding = 2;

    explicit MenuSession(CFrame& frame);
    ~MenuSession();

    void open(COptionMenu* root, CPoint at);
    bool active() const { return !levels.empty(); }
    void mouseDown(CPoint where);
    void mouseMoved(CPoint where);
    void mouseUp(CPoint where);
    void cancel();
    void redrawIfNeeded();
    void viewRemoved(CView* view);

    // Inspection (headless snapshots and tests); rectangles in frame coordinates.
    long levelCount() const { return static_cast<long>(levels.size()); }
    CRect levelRect(long level) const;
    DrawSurface* levelSurface(long level) const;
    COptionMenu* levelMenu(long level) const;
    long highlighted(long level) const;
    CRect entryRect(long level, long index) const;

private:
    struct Level {
        COptionMenu* menu = nullptr;
        CRect rect;
        long highlight = -1;
        bool dirty = true;
        std::unique_ptr<DrawSurface> surface;
        std::unique_ptr<PopupWindow> window;
    };
    void push(COptionMenu* menu, CPoint at);
    void closeFrom(std::size_t level);
    void finish(COptionMenu* menu, long index);
    void draw(Level& level);
    // Level and entry under where; false when outside every pop-up.
    bool find(CPoint where, std::size_t& level, long& entry) const;

    CFrame& frame;
    std::vector<Level> levels;
    COptionMenu* root = nullptr;
    CPoint openedAt;
    bool moved = false;
};

}  // namespace VSTGUI
