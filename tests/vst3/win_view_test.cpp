// The panel's view in the 64-bit Windows bundle, under Wine on a private X server: built in
// a host's window (HWND) at the panel's size, idling on a timer of the host's thread while
// the host's message loop runs, and gone again when the host removes it.
#include <gtest/gtest.h>

#include <windows.h>

#include "tests/vst3/vst3_test_host.h"

namespace {

using gwvst3test::Plugin;

void pumpMessages(int milliseconds) {
    const DWORD until = GetTickCount() + static_cast<DWORD>(milliseconds);
    MSG msg;
    while (GetTickCount() < until) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(5);
    }
}

TEST(Vst3WindowsView, OpensInTheHostsWindowAndIdlesOnItsThread) {
    Plugin fx;
    ASSERT_TRUE(fx.ok());
    Steinberg_IPlugView* view = fx.controller->lpVtbl->createView(fx.controller, "editor");
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->lpVtbl->isPlatformTypeSupported(view, Steinberg_kPlatformTypeHWND), Steinberg_kResultTrue);
    Steinberg_ViewRect size{};
    ASSERT_EQ(view->lpVtbl->getSize(view, &size), Steinberg_kResultOk);
    EXPECT_EQ(size.right - size.left, 930);
    EXPECT_EQ(size.bottom - size.top, 414);
    HWND parent = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 960, 460, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(parent, nullptr);
    ASSERT_EQ(view->lpVtbl->attached(view, parent, Steinberg_kPlatformTypeHWND), Steinberg_kResultOk);
    pumpMessages(300);
    EXPECT_NE(GetWindow(parent, GW_CHILD), nullptr) << "the panel's window is inside the host's";
    EXPECT_EQ(view->lpVtbl->removed(view), Steinberg_kResultOk);
    pumpMessages(50);
    EXPECT_EQ(view->lpVtbl->release(view), 0u);
    DestroyWindow(parent);
}

}  // namespace
