#pragma once
// The Win32 window back end: a child window of the host's window whose window procedure
// hands paint, mouse, wheel, key and file-drop messages to its frame, and owned pop-up
// windows for menus. Internal to the Windows back end; no widget header includes it.

#include <windows.h>

#include <memory>
#include <vector>

#include "gui/platformwindow.h"

namespace VSTGUI {

class Win32Popup;

class Win32Window : public PlatformWindow {
public:
    // Creates the child window of parent for frame; null when that fails.
    static std::unique_ptr<Win32Window> create(HWND parent, const CRect& size, CFrame& frame);
    ~Win32Window() override;

    void pollEvents(CFrame& frame) override;
    void present(DrawSurface& buffer, const CRect& part) override;
    void flush() override;
    bool queryPointer(CPoint& where, long& buttons) override;
    bool screenArea(CRect& area) override;
    std::unique_ptr<PopupWindow> openPopup(const CRect& rect) override;
    void popupsClosed() override;
    void setScale(double scale, const CRect& size) override;
    double systemScale() override;

    HWND handle() const { return hwnd; }
    LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);

private:
    Win32Window() = default;
    HWND hwnd = nullptr;
    CFrame* frame = nullptr;
    bool menuCapture = false;
    bool inPaint = false;
    HDC paintDC = nullptr;
    double scale = 1.0;
    // A window position (pixels) in the frame's units: converted here, once.
    CPoint toUnits(long x, long y) const;
};

// Copies part (units) of a GDI back end surface to dc at (x, y) (units), pixel for pixel.
void blitSurface(HDC dc, DrawSurface& surface, const CRect& part, long x, long y);

// The name of the toolkit's window class, registered on first use and unregistered when
// the module is unloaded (tests check that nothing of it is left).
const wchar_t* toolkitWindowClass();
const wchar_t* toolkitPopupClass();

}  // namespace VSTGUI
