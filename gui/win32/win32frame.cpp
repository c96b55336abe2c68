#include "gui/win32/win32frame.h"

#include "gui/platformframe.h"
#include "gui/win32/gdibackend.h"
#include "gui/win32/win32window.h"

namespace VSTGUI {

CFrame* createWin32Frame(const CRect& size, void* parentWindow, void* editor) {
    installGdiBackend();
    auto* frame = new CFrame(size, parentWindow, editor);
    if (auto window = Win32Window::create(static_cast<HWND>(parentWindow), frame->getFrameRect(), *frame)) {
        frame->setPlatformWindow(std::move(window));
    }
    return frame;
}

void installWin32FrameFactory() {
    installGdiBackend();
    setPlatformFrameFactory(&createWin32Frame);
}

}  // namespace VSTGUI
