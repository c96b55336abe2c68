#pragma once
// The top-level view of an editor: owns its views, a screen buffer and (unless headless)
// a window. Window events are handled and dirty views redrawn from idle(), on the thread
// that calls it; there is no thread of the toolkit's own.

#include <memory>
#include <string>
#include <vector>

#include "gui/cview.h"
#include "gui/platformwindow.h"

namespace VSTGUI {

class COptionMenu;
class MenuSession;

class CFrame : public CViewContainer {
public:
    // A frame of the given size; systemWindow is the host's parent window, editor the
    // editor object (both only stored). It has no window until setPlatformWindow.
    CFrame(const CRect& size, void* systemWindow, void* editor);
    ~CFrame() override;

    void setPlatformWindow(std::unique_ptr<PlatformWindow> window);
    PlatformWindow* getPlatformWindow() const { return window.get(); }
    void* getSystemWindow() const { return systemWindow; }
    void* getEditor() const { return editor; }

    // Pixels per unit: the frame keeps its size and its views' places in units, and draws
    // them at this scale (1..3) into a screen buffer and window of size x scale pixels.
    // Setting it closes open menus and redraws everything at the next idle.
    double getScale() const { return scale; }
    void setScale(double pixelsPerUnit);
    // The scale the window system asks for this frame's window (0: none, or no window).
    double systemScale();
    // Called by the window back end when the system's scale for the window changes (a move
    // to another screen); the handler decides what the frame's scale becomes.
    using SystemScaleHandler = void (*)(void* owner, double scale);
    void setSystemScaleHandler(SystemScaleHandler handler, void* owner) {
        scaleHandler = handler;
        scaleHandlerOwner = owner;
    }
    void systemScaleChanged(double scale);
    // Hears a press where no view takes it (the panel's empty background), outside menus
    // and modal views.
    using EmptyClickHandler = void (*)(void* owner, CPoint where, long buttons);
    void setEmptyClickHandler(EmptyClickHandler handler, void* owner) {
        emptyClick = handler;
        emptyClickOwner = owner;
    }

    // Handles pending window events and redraws what is dirty (the editor's idle).
    void idle();
    // A wheel step at the mouse's current position (the view's own wheel call stays
    // visible beside it).
    using CViewContainer::onWheel;
    bool onWheel(float distance);
    // Redraws every view now.
    void redraw();

    // Marks the whole frame for redrawing at the next idle.
    void setDirty(const bool val = true) override;
    bool isFrameDirty() const { return CView::isDirty(); }

    // Mouse position relative to the frame and buttons plus modifiers, asked of the window
    // system at this moment (the last synthetic event's state when headless).
    bool getCurrentMouseLocation(CPoint& where);
    long getCurrentMouseButtons();

    // While set, only this view takes the mouse (clicks elsewhere are ignored) and it is
    // drawn above every other view.
    void setModalView(CView* view);
    CView* getModalView() const { return modalView; }

    // The context drawing into the screen buffer.
    CDrawContext* getScreenContext() const { return screenContext; }
    DrawSurface* getScreenSurface() const { return screen.get(); }
    // Redraws everything that lies in rect (frame coordinates) into context now.
    void redrawRect(CDrawContext* context, const CRect& rect);
    // Redraws the dirty views and shows the result; idle() calls it after the events.
    void redrawDirty();

    // While blocked (a dialog of the editor's is open beside it) the frame takes no clicks,
    // wheel steps, keys or drops; a gesture already under way still ends, and the frame
    // still draws.
    void setInputBlocked(bool blocked) { inputBlocked = blocked; }
    bool isInputBlocked() const { return inputBlocked; }

    // Event entry points (window back ends and tests). Positions are frame coordinates.
    void onMouseDown(CPoint where, long buttons);
    void onMouseMove(CPoint where, long buttons);
    void onMouseUp(CPoint where, long buttons);
    bool onWheelAt(CPoint where, float distance, long modifiers);
    long onKey(KeyCode& key, bool down);
    bool onDropItems(const std::vector<std::string>& items, long type, CPoint where);
    void onExpose(const CRect& rect);

    // Pop-up menus.
    void openMenu(COptionMenu* menu, CPoint at);
    bool isMenuOpen() const;
    MenuSession* getMenuSession() const { return menus.get(); }

    // Called by containers when a view leaves the tree.
    void viewRemoved(CView* view);

    // Inspection, for tests and tools: defined in the library gw_gui_inspection
    // (gui/frameinspection.cpp), which plug-in modules do not link. The composed picture:
    // screen buffer and open pop-ups; the views walked in stacking order and the menus, as
    // JSON; the status line's text and colour (rgb: three bytes). False when not done.
    std::unique_ptr<DrawSurface> composePicture();
    bool writeSnapshot(const char* path);
    bool writeLayout(const char* path);
    std::string layoutJson();
    bool describeStatus(char* text, std::size_t capacity, std::uint8_t* rgb);
    // The view whose text is the frame's status line (a label registers itself).
    using StatusDescriber = bool (*)(const CView* view, char* text, std::size_t size, CColor& color);
    void setStatusView(CView* view, StatusDescriber describe) { statusView = view; statusDescriber = describe; }
    CView* getStatusView() const { return statusView; }

    // Counters for tests and measurements.
    struct Stats {
        long redraws = 0;        // regions redrawn
        long presentedPixels = 0;
    };
    const Stats& getStats() const { return stats; }
    void resetStats() { stats = Stats(); }

protected:
    void present(const CRect& rect);
    void flushDamage();

    void* systemWindow;
    void* editor;
    std::unique_ptr<PlatformWindow> window;
    std::unique_ptr<DrawSurface> screen;
    CDrawContext* screenContext = nullptr;
    std::unique_ptr<MenuSession> menus;
    CView* mouseCapture = nullptr;
    CView* modalView = nullptr;
    CPoint lastMouse;
    long lastButtons = 0;
    bool inEvent = false;
    bool inputBlocked = false;
    long eventButtons = 0;
    Stats stats;
    double scale = 1.0;
    SystemScaleHandler scaleHandler = nullptr;
    void* scaleHandlerOwner = nullptr;
    EmptyClickHandler emptyClick = nullptr;
    void* emptyClickOwner = nullptr;
    CView* statusView = nullptr;
    StatusDescriber statusDescriber = nullptr;
};

}  // namespace VSTGUI
