// The plug-in's editor on a 192 DPI screen with no scale from the host: opened through the
// dispatcher in a top-level window of a system-DPI-aware host, the panel follows the
// window's DPI and opens at 2x (1860 x 828 pixels), and the editor's rectangle says so.
// Run by run-wine.sh --dpi 192 in a prefix of its own; GRAINWHEEL_SCALE is cleared and
// APPDATA points at an empty folder, so neither the environment nor a zoom kept by the
// user chooses the scale.
// Usage: editor_dpi.exe grainwheel.dll EXPECTED_DPI
// The last line is "N passed, M failed".

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/vst2abi.h"

namespace {

int passed = 0;
int failed = 0;

void check(bool ok, const char* what, int line) {
    if (ok) {
        ++passed;
    } else {
        ++failed;
        std::printf("FAIL line %d: %s\n", line, what);
    }
}
#define CHECK(cond) check((cond), #cond, __LINE__)

VstIntPtr VSTCALLBACK hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    switch (opcode) {
        case audioMasterVersion: return 2300;
        case audioMasterGetSampleRate: return 44100;
        case audioMasterGetBlockSize: return 512;
        default: return 0;
    }
}

void pump(int ms, AEffect* e) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    do {
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
        e->dispatcher(e, effEditIdle, 0, 0, nullptr, 0.0f);
        Sleep(5);
    } while (GetTickCount() < end);
}

// An empty configuration folder of this run's own for the plug-in's zoom file.
std::string emptyAppData() {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + "gw-editor-dpi-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::printf("usage: editor_dpi grainwheel.dll EXPECTED_DPI\n");
        return 2;
    }
    const int expectedDpi = std::atoi(argv[2]);
    const std::string appData = emptyAppData();
    _putenv_s("APPDATA", appData.c_str());
    _putenv_s("GRAINWHEEL_SCALE", "");
    SetProcessDPIAware();  // as a host that draws at the screen's DPI itself

    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    std::printf("the screen's DPI: %d\n", dpi);
    CHECK(dpi == expectedDpi);

    HMODULE module = LoadLibraryA(argv[1]);
    using Entry = AEffect*(VSTCALLBACK*)(audioMasterCallback);
    auto entry = module ? reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module, "VSTPluginMain")))
                        : nullptr;
    AEffect* e = entry ? entry(&hostCallback) : nullptr;
    CHECK(e != nullptr);
    if (!e) {
        std::printf("%d passed, %d failed\n", passed, failed);
        return 1;
    }
    e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);

    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"gw dpi host";
    RegisterClassW(&wc);
    HWND host = CreateWindowExW(0, L"gw dpi host", L"grainwheel dpi host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                400, 300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    CHECK(host != nullptr);
    e->dispatcher(e, effEditOpen, 0, 0, host, 0.0f);
    pump(200, e);

    const long wantW = 930L * expectedDpi / 96, wantH = 414L * expectedDpi / 96;
    HWND panel = GetWindow(host, GW_CHILD);
    RECT client{};
    if (panel) GetClientRect(panel, &client);
    std::printf("the editor's window: %ld x %ld (expected %ld x %ld)\n", static_cast<long>(client.right),
                static_cast<long>(client.bottom), wantW, wantH);
    CHECK(panel != nullptr && client.right == wantW && client.bottom == wantH);
    ERect* rect = nullptr;
    e->dispatcher(e, effEditGetRect, 0, 0, &rect, 0.0f);
    CHECK(rect != nullptr && rect->right - rect->left == wantW && rect->bottom - rect->top == wantH);
    if (rect)
        std::printf("the editor's rectangle: %d x %d\n", rect->right - rect->left, rect->bottom - rect->top);

    e->dispatcher(e, effEditClose, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
    DestroyWindow(host);
    FreeLibrary(module);
    RemoveDirectoryA(appData.c_str());
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
