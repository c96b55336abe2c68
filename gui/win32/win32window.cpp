#include "gui/win32/win32window.h"

#include <shellapi.h>
#include <windowsx.h>

#include <cmath>
#include <string>

#include "gui/cframe.h"
#include "gui/menusession.h"
#include "gui/win32/dropped_paths.h"

namespace VSTGUI {

HDC gdiSurfaceDC(DrawSurface& surface);  // gdibackend.cpp

namespace {

HINSTANCE thisModule() {
    HMODULE m = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&thisModule), &m);
    return m;
}

LRESULT CALLBACK frameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* w = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (w && w->handle() == hwnd) return w->handle(msg, wp, lp);
    return DefWindowProcW(hwnd, msg, wp, lp);
}

struct PopupData {
    DrawSurface* content = nullptr;
};

LRESULT CALLBACK popupProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        auto* d = reinterpret_cast<PopupData*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (d && d->content) {
            blitSurface(dc, *d->content, CRect(0, 0, d->content->width(), d->content->height()), 0, 0);
        }
        EndPaint(hwnd, &ps);
        return 0;
    }
    if (msg == WM_MOUSEACTIVATE) return MA_NOACTIVATE;
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// Registers both classes once; the registration is undone when the module unloads.
class Classes {
public:
    bool ensure() {
        if (frameAtom && popupAtom) return true;
        HINSTANCE inst = thisModule();
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = &frameProc;
        wc.hInstance = inst;
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.lpszClassName = toolkitWindowClass();
        if (!frameAtom) frameAtom = RegisterClassExW(&wc);
        wc.style = CS_DROPSHADOW;
        wc.lpfnWndProc = &popupProc;
        wc.lpszClassName = toolkitPopupClass();
        if (!popupAtom) popupAtom = RegisterClassExW(&wc);
        module = inst;
        return frameAtom && popupAtom;
    }
    ~Classes() {
        if (frameAtom) UnregisterClassW(toolkitWindowClass(), module);
        if (popupAtom) UnregisterClassW(toolkitPopupClass(), module);
    }

private:
    ATOM frameAtom = 0, popupAtom = 0;
    HINSTANCE module = nullptr;
};

Classes classes;

long modifierKeys() {
    long m = 0;
    if (GetKeyState(VK_SHIFT) < 0) m |= kShift;
    if (GetKeyState(VK_CONTROL) < 0) m |= kControl;
    if (GetKeyState(VK_MENU) < 0) m |= kAlt;
    return m;
}

long buttonsOf(WPARAM wp) {
    long m = 0;
    if (wp & MK_LBUTTON) m |= kLButton;
    if (wp & MK_MBUTTON) m |= kMButton;
    if (wp & MK_RBUTTON) m |= kRButton;
    if (wp & MK_SHIFT) m |= kShift;
    if (wp & MK_CONTROL) m |= kControl;
    if (GetKeyState(VK_MENU) < 0) m |= kAlt;
    return m;
}

}  // namespace

const wchar_t* toolkitWindowClass() { return L"grainwheel editor frame"; }
const wchar_t* toolkitPopupClass() { return L"grainwheel editor menu"; }

void blitSurface(HDC dc, DrawSurface& surface, const CRect& units, long ux, long uy) {
    HDC src = gdiSurfaceDC(surface);
    if (!src || !dc) return;
    const CRect part = pixelRect(units, surface.scale());
    const CRect to = pixelRect(CRect(ux, uy, ux + 1, uy + 1), surface.scale());
    const long x = to.left, y = to.top;
    CRect r = part.intersection(CRect(0, 0, surface.pixelWidth(), surface.pixelHeight()));
    if (r.isEmpty()) return;
    BitBlt(dc, static_cast<int>(x + (r.left - part.left)), static_cast<int>(y + (r.top - part.top)),
           static_cast<int>(r.width()), static_cast<int>(r.height()), src, static_cast<int>(r.left),
           static_cast<int>(r.top), SRCCOPY);
}

// One pop-up: a top-most tool window owned by the host's top-level window, never activated.
class Win32Popup : public PopupWindow {
public:
    Win32Popup(HWND owner, const RECT& screen) {
        hwnd = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, toolkitPopupClass(), L"",
                               WS_POPUP, screen.left, screen.top, screen.right - screen.left,
                               screen.bottom - screen.top, owner, nullptr, thisModule(), nullptr);
        if (hwnd) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&data));
            ShowWindow(hwnd, SW_SHOWNOACTIVATE);
        }
    }
    ~Win32Popup() override {
        if (hwnd) DestroyWindow(hwnd);
    }
    void present(DrawSurface& content, const CRect& part) override {
        data.content = &content;
        if (!hwnd) return;
        HDC dc = GetDC(hwnd);
        blitSurface(dc, content, part, part.left, part.top);
        ReleaseDC(hwnd, dc);
    }

private:
    HWND hwnd = nullptr;
    PopupData data;
};

std::unique_ptr<Win32Window> Win32Window::create(HWND parent, const CRect& units, CFrame& frame) {
    if (!classes.ensure()) return nullptr;
    std::unique_ptr<Win32Window> w(new Win32Window());
    w->frame = &frame;
    w->scale = frame.getScale();
    const CRect size = pixelRect(units, w->scale);
    DWORD style = parent ? (WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS) : (WS_POPUP | WS_VISIBLE);
    // The window takes the DPI awareness of the host's thread (a child window of another
    // awareness than its parent may not be made): in a per-monitor aware host its DPI is
    // its screen's, and a move to another screen is told (WM_DPICHANGED_AFTERPARENT).
    w->hwnd = CreateWindowExW(WS_EX_ACCEPTFILES, toolkitWindowClass(), L"", style, 0, 0,
                              static_cast<int>(size.width()), static_cast<int>(size.height()), parent, nullptr,
                              thisModule(), w.get());
    if (!w->hwnd) return nullptr;
    DragAcceptFiles(w->hwnd, TRUE);
    return w;
}

Win32Window::~Win32Window() {
    if (!hwnd) return;
    if (menuCapture && GetCapture() == hwnd) ReleaseCapture();
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    DestroyWindow(hwnd);
}

CPoint Win32Window::toUnits(long x, long y) const {
    if (scale == 1.0) return CPoint(x, y);
    return CPoint(static_cast<long>(std::floor(static_cast<double>(x) / scale)),
                  static_cast<long>(std::floor(static_cast<double>(y) / scale)));
}

void Win32Window::setScale(double s, const CRect& units) {
    scale = s;
    const CRect size = pixelRect(units, s);
    SetWindowPos(hwnd, nullptr, 0, 0, static_cast<int>(size.width()), static_cast<int>(size.height()),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(hwnd, nullptr, FALSE);
}

double Win32Window::systemScale() {
    // The window's own DPI (per monitor) where the system can tell it, else the screen's.
    using DpiForWindow = UINT(WINAPI*)(HWND);
    static const auto dpiForWindow = reinterpret_cast<DpiForWindow>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    UINT dpi = dpiForWindow ? dpiForWindow(hwnd) : 0;
    if (dpi == 0) {
        HDC dc = GetDC(nullptr);
        dpi = static_cast<UINT>(GetDeviceCaps(dc, LOGPIXELSX));
        ReleaseDC(nullptr, dc);
    }
    return dpi > 0 ? dpi / 96.0 : 0.0;
}

LRESULT Win32Window::handle(UINT msg, WPARAM wp, LPARAM lp) {
    CPoint at = toUnits(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
    switch (msg) {
        case 0x02E0:  // WM_DPICHANGED (a top-level window): moved to a screen of another scale
            frame->systemScaleChanged(HIWORD(wp) / 96.0);
            return 0;
        case 0x02E3:  // WM_DPICHANGED_AFTERPARENT: the same for a child window
            frame->systemScaleChanged(systemScale());
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            paintDC = BeginPaint(hwnd, &ps);
            inPaint = true;
            frame->onExpose(unitRect(CRect(ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right, ps.rcPaint.bottom), scale));
            inPaint = false;
            EndPaint(hwnd, &ps);
            paintDC = nullptr;
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;  // the frame paints every pixel
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDBLCLK:
            SetFocus(hwnd);
            if (!menuCapture) SetCapture(hwnd);
            frame->onMouseDown(at, buttonsOf(wp));
            return 0;
        case WM_MOUSEMOVE:
            frame->onMouseMove(at, buttonsOf(wp));
            return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP: {
            long b = buttonsOf(wp) | (msg == WM_LBUTTONUP ? kLButton : msg == WM_RBUTTONUP ? kRButton : kMButton);
            if (!menuCapture && !(wp & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) && GetCapture() == hwnd) ReleaseCapture();
            frame->onMouseUp(at, b);
            return 0;
        }
        case WM_MOUSEWHEEL: {
            POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};  // screen coordinates
            ScreenToClient(hwnd, &p);
            float steps = static_cast<float>(GET_WHEEL_DELTA_WPARAM(wp)) / WHEEL_DELTA;
            frame->onWheelAt(toUnits(p.x, p.y), steps, buttonsOf(GET_KEYSTATE_WPARAM(wp)));
            return 0;
        }
        case WM_KEYDOWN:
        case WM_KEYUP: {
            KeyCode k;
            if (wp == VK_ESCAPE) {
                k.virt = kVirtualKeyEscape;
            } else if (wp == VK_RETURN) {
                k.virt = kVirtualKeyReturn;
            } else {
                UINT ch = MapVirtualKeyW(static_cast<UINT>(wp), MAPVK_VK_TO_CHAR) & 0x7FFF;
                if (ch >= 0x20 && ch < 0x7F) k.character = static_cast<long>(ch >= 'A' && ch <= 'Z' ? ch + 32 : ch);
            }
            long m = modifierKeys();
            if (m & kShift) k.modifier |= kModifierShift;
            if (m & kControl) k.modifier |= kModifierControl;
            if (frame->onKey(k, msg == WM_KEYDOWN) > 0) return 0;
            break;
        }
        case WM_GETDLGCODE:
            return DLGC_WANTALLKEYS;
        case WM_DROPFILES: {
            auto drop = reinterpret_cast<HDROP>(wp);
            POINT p{};
            DragQueryPoint(drop, &p);
            std::vector<std::string> paths;
            UINT n = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
            for (UINT i = 0; i < n; ++i) {
                UINT len = DragQueryFileW(drop, i, nullptr, 0);
                std::wstring name(len + 1, L'\0');
                DragQueryFileW(drop, i, name.data(), len + 1);
                std::string path = droppedPath(name.c_str());
                if (!path.empty()) paths.push_back(path);
            }
            DragFinish(drop);
            if (!paths.empty()) frame->onDropItems(paths, kDropFiles, toUnits(p.x, p.y));
            return 0;
        }
        case WM_CAPTURECHANGED:
            if (menuCapture && reinterpret_cast<HWND>(lp) != hwnd) {
                menuCapture = false;
                if (frame->isMenuOpen()) frame->getMenuSession()->cancel();
            }
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void Win32Window::pollEvents(CFrame&) {
    // The host's message loop dispatches this window's messages to its window procedure.
}

void Win32Window::present(DrawSurface& buffer, const CRect& part) {
    if (inPaint && paintDC) {
        blitSurface(paintDC, buffer, part, part.left, part.top);
        return;
    }
    HDC dc = GetDC(hwnd);
    blitSurface(dc, buffer, part, part.left, part.top);
    ReleaseDC(hwnd, dc);
}

void Win32Window::flush() { GdiFlush(); }

bool Win32Window::queryPointer(CPoint& where, long& buttons) {
    POINT p;
    if (!GetCursorPos(&p) || !ScreenToClient(hwnd, &p)) return false;
    where = toUnits(p.x, p.y);
    bool swapped = GetSystemMetrics(SM_SWAPBUTTON) != 0;
    long b = modifierKeys();
    if (GetAsyncKeyState(swapped ? VK_RBUTTON : VK_LBUTTON) < 0) b |= kLButton;
    if (GetAsyncKeyState(swapped ? VK_LBUTTON : VK_RBUTTON) < 0) b |= kRButton;
    if (GetAsyncKeyState(VK_MBUTTON) < 0) b |= kMButton;
    buttons = b;
    return true;
}

bool Win32Window::screenArea(CRect& area) {
    // The work area (the screen less the task bar) of the monitor the frame is on.
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    if (!GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &mi)) return false;
    const RECT& work = mi.rcWork;
    area = unitRect(CRect(work.left - origin.x, work.top - origin.y, work.right - origin.x, work.bottom - origin.y), scale);
    return true;
}

std::unique_ptr<PopupWindow> Win32Window::openPopup(const CRect& rect) {
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    const CRect px = pixelRect(rect, scale);
    RECT r{static_cast<LONG>(origin.x + px.left), static_cast<LONG>(origin.y + px.top),
           static_cast<LONG>(origin.x + px.right), static_cast<LONG>(origin.y + px.bottom)};
    HWND owner = GetAncestor(hwnd, GA_ROOT);
    auto popup = std::make_unique<Win32Popup>(owner ? owner : hwnd, r);
    // The menu sees every click, also outside its windows, until it closes.
    menuCapture = true;
    SetCapture(hwnd);
    return popup;
}

void Win32Window::popupsClosed() {
    if (!menuCapture) return;
    menuCapture = false;
    if (GetCapture() == hwnd) ReleaseCapture();
}

}  // namespace VSTGUI
