#include "gui/x11/x11frame.h"

#include <cstdint>

#include "gui/cairo/cairobackend.h"
#include "gui/platformframe.h"
#include "gui/x11/xcbwindow.h"

namespace VSTGUI {

CFrame* createX11Frame(const CRect& size, void* parentWindow, void* editor) {
    installCairoBackend();
    auto* frame = new CFrame(size, parentWindow, editor);
    // Without a parent window the frame stays headless (tools and tests open editors so);
    // it never puts a window of its own on the screen.
    if (!parentWindow) return frame;
    auto parent = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(parentWindow));
    if (auto window = XcbWindow::create(parent, frame->getFrameRect())) {
        frame->setPlatformWindow(std::move(window));
    }
    return frame;
}

void installX11FrameFactory() {
    installCairoBackend();
    setPlatformFrameFactory(&createX11Frame);
}

}  // namespace VSTGUI
