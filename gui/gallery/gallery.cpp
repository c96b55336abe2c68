#include "gui/gallery/gallery.h"

#include <cstdio>

#include "gui/cairo/cairobackend.h"
#include "gui/headlessframe.h"
#include "gui/menusession.h"
#include "gui/vstgui.h"

namespace VSTGUI {
namespace {

struct Silent : CControlListener {
    void valueChanged(CDrawContext*, CControl*) override {}
};

}  // namespace
}  // namespace VSTGUI

int runToolkitGallery(const char* outPng) {
    using namespace VSTGUI;
    if (!outPng) return 1;
    installCairoBackend();
    Silent listener;
    int result = 0;
    {
        HeadlessFrame frame(CRect(0, 0, 930, 414));
        COptionMenu* options = nullptr;
        COptionMenu* sub = nullptr;
        buildToolkitGallery(frame, listener, options, sub);
        frame.idle();
        // Drive a few controls: drag the first time fader, turn the knob, pick program 5,
        // press a button, open the splash and the options menu with its submenu.
        frame.drag(399, 100, 399, 40);
        frame.drag(898, 360, 898, 330);
        frame.click(640 + 5 * 14 + 7, 360);
        frame.click(255, 46);
        frame.click(450, 370);
        frame.idle();
        // The splash holds the mouse now, so the menu is opened directly, as a click on it would.
        options->setDirty();
        frame.openMenu(options, CPoint(14, 56));
        if (MenuSession* m = frame.getMenuSession()) {
            CRect e = m->entryRect(0, 2);
            frame.hover((e.left + e.right) / 2, (e.top + e.bottom) / 2);
            CRect s = m->entryRect(1, 3);
            frame.hover((s.left + s.right) / 2, (s.top + s.bottom) / 2);
        }
        frame.idle();
        if (!frame.writeSnapshot(outPng)) result = 1;
        sub->forget();
    }
    setGlobalKnobMode(-1);
    return result;
}
