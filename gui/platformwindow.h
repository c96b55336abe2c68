#pragma once
// The window system behind a CFrame. A frame without one is headless: it draws into its
// screen buffer only and takes synthetic events. Nothing here names a window system; the
// xcb back end implements it on Linux, a Win32 back end can implement it on Windows.

#include <memory>

#include "gui/drawdevice.h"
#include "gui/geometry.h"

namespace VSTGUI {

class CFrame;

// A pop-up window (a menu) placed in frame coordinates; it may reach outside the frame.
class PopupWindow {
public:
    virtual ~PopupWindow() = default;
    // Shows the part of content (the pop-up's own pixels) in the window.
    virtual void present(DrawSurface& content, const CRect& part) = 0;
};

class PlatformWindow {
public:
    virtual ~PlatformWindow() = default;
    // Handles every pending window event by calling the frame's event entry points.
    virtual void pollEvents(CFrame& frame) = 0;
    // Shows the part of the frame's screen buffer on the screen.
    virtual void present(DrawSurface& buffer, const CRect& part) = 0;
    // Flushes presented pixels and requests to the window system.
    virtual void flush() = 0;
    // The mouse now: position relative to the frame window, buttons and modifier keys
    // (kLButton, kShift, ...). False when the window system cannot tell.
    virtual bool queryPointer(CPoint& where, long& buttons) = 0;
    // Opens a pop-up over rect (frame coordinates) that receives the mouse while it is open.
    virtual std::unique_ptr<PopupWindow> openPopup(const CRect& rect) = 0;
    // Called when the last pop-up closed.
    virtual void popupsClosed() = 0;
    // The screen's area in frame coordinates, where pop-ups must stay; false when unknown
    // (pop-ups then stay within the frame).
    virtual bool screenArea(CRect& area) { return false; }
    // Ties the window of a dialog program (its process id) to the frame's top-level window,
    // so the window manager keeps it above the host's window; true once done, false while
    // the program's window cannot be found yet (or the window system has no such tie).
    virtual bool holdDialog(long processId) { return false; }
    // The frame now draws at scale (pixels per unit): the window takes size (units) x scale
    // pixels, and its positions are converted to units from now on.
    virtual void setScale(double scale, const CRect& size) {}
    // The scale the system asks for this window (its screen's DPI / 96, the desktop's font
    // DPI); 0 when it says none.
    virtual double systemScale() { return 0.0; }
};

}  // namespace VSTGUI
