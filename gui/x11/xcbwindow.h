#pragma once
// The xcb window back end: a child window of the host's window on the toolkit's own
// connection, events read from idle, override-redirect pop-ups and XDND file drops.
// Internal to the desktop back end; no widget header includes it.

#include <xcb/xcb.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gui/platformwindow.h"

namespace VSTGUI {

class XcbPopup;

class XcbWindow : public PlatformWindow {
public:
    // Opens the connection and the child window; null when that fails.
    // size is in the frame's units; the window has size x scale pixels.
    static std::unique_ptr<XcbWindow> create(std::uint32_t parent, const CRect& size, double scale = 1.0);
    ~XcbWindow() override;

    void pollEvents(CFrame& frame) override;
    void present(DrawSurface& buffer, const CRect& part) override;
    void flush() override;
    bool queryPointer(CPoint& where, long& buttons) override;
    std::unique_ptr<PopupWindow> openPopup(const CRect& rect) override;
    bool screenArea(CRect& area) override;
    void popupsClosed() override;
    bool holdDialog(long processId) override;
    void setScale(double scale, const CRect& size) override;
    double systemScale() override;

    xcb_window_t windowId() const { return window; }
    // The top-level window that holds the frame: the highest ancestor a window manager
    // manages (it carries WM_STATE), else the ancestor just below the root.
    xcb_window_t topLevelWindow();
    // X errors seen on this connection.
    long errorCount() const { return errors; }

    // Uploads part of buffer (pixels at part) to drawable at (x, y) (pixels).
    void upload(xcb_drawable_t drawable, std::uint8_t depth, DrawSurface& buffer, const CRect& part, long x,
                long y);
    void popupGone(XcbPopup* popup);

private:
    XcbWindow() = default;
    xcb_atom_t atom(const char* name);
    CPoint frameOriginOnRoot();
    // A window position (pixels) in the frame's units: converted here, once.
    CPoint toUnits(CPoint pixels) const;
    void handleClientMessage(const xcb_client_message_event_t& ev);
    void handleSelection(CFrame& frame, const xcb_selection_notify_event_t& ev);
    void sendDndFinished(bool accepted);
    long keyVirt(xcb_keycode_t code);
    // Makes the frame's top-level window the owner of the desktop dialogs.
    void claimDialogs();
    // The windows whose _NET_WM_PID is processId: among the window manager's clients, or
    // among the root's children when no manager lists them.
    std::vector<xcb_window_t> windowsOfProcess(std::uint32_t processId);
    std::uint32_t cardinal(xcb_window_t w, xcb_atom_t property, bool& present);

    xcb_connection_t* conn = nullptr;
    xcb_screen_t* screen = nullptr;
    xcb_window_t window = 0;
    xcb_gcontext_t gc = 0;
    std::uint8_t depth = 24;
    CRect size;
    double scale = 1.0;
    long errors = 0;
    std::uint32_t maxRequestBytes = 0;
    std::vector<std::uint32_t> scratch;
    std::vector<XcbPopup*> popups;
    bool grabbed = false;
    xcb_window_t dialogOwner = 0;
    xcb_atom_t aWmState = 0;
    xcb_atom_t aNetWmPid = 0, aNetClientList = 0;  // interned when a dialog is first held
    // XDND
    xcb_atom_t aXdndAware = 0, aEnter = 0, aPosition = 0, aStatus = 0, aDrop = 0, aFinished = 0, aLeave = 0;
    xcb_atom_t aSelection = 0, aActionCopy = 0, aUriList = 0, aProperty = 0;
    xcb_window_t dndSource = 0;
    bool dndAccept = false;
    CPoint dndRootPos;
    // Keyboard
    std::vector<xcb_keysym_t> keysyms;
    std::uint8_t minKeycode = 0;
    std::uint8_t keysymsPerCode = 0;
};

// The desktop's scale from the X resources (the root window's RESOURCE_MANAGER text, may
// be null) and GDK_SCALE (may be null): Xft.dpi / 96, times GDK_SCALE's whole factor; 0
// when neither says more than 1.
double scaleFromXResources(const char* resources, const char* gdkScale);

// Splits a text/uri-list into local file paths (file: URIs, percent-decoded).
std::vector<std::string> parseUriList(const std::string& list);

}  // namespace VSTGUI
