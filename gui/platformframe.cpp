#include "gui/platformframe.h"

namespace VSTGUI {

namespace {
PlatformFrameFactory installed = nullptr;
}

void setPlatformFrameFactory(PlatformFrameFactory factory) { installed = factory; }

CFrame* createPlatformFrame(const CRect& size, void* parentWindow, void* editor) {
    if (installed) {
        if (CFrame* f = installed(size, parentWindow, editor)) return f;
    }
    return new CFrame(size, parentWindow, editor);
}

}  // namespace VSTGUI
