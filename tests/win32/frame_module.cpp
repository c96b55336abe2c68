// A module of its own with the toolkit's Win32 back end in it, for the editor host: loaded,
// used and unloaded like a plug-in, it shows whether the back end's window classes are
// registered once per module and go with the module.
#include <windows.h>

#include "gui/vstgui.h"
#include "gui/win32/win32frame.h"

extern "C" __declspec(dllexport) void* gwOpenFrame(HWND parent) {
    using namespace VSTGUI;
    CFrame* frame = createWin32Frame(CRect(0, 0, 200, 100), parent, nullptr);
    CBitmap* panel = new CBitmap(128);
    frame->setBackground(panel);
    panel->forget();
    frame->idle();
    return frame;
}

extern "C" __declspec(dllexport) void gwCloseFrame(void* frame) { delete static_cast<VSTGUI::CFrame*>(frame); }
