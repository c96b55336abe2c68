#include "gui/win32/dropped_paths.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cwchar>
#include <vector>

namespace VSTGUI {

namespace {

bool endsWithLnk(const wchar_t* name) {
    const std::size_t n = std::wcslen(name);
    return n >= 4 && CompareStringOrdinal(name + n - 4, 4, L".lnk", 4, TRUE) == CSTR_EQUAL;
}

// COM for this thread as long as it lives: the host's drop thread usually has it already
// (in either apartment), which is left as it is.
class ComScope {
public:
    ComScope() : result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(result)) CoUninitialize();
    }
    bool usable() const { return SUCCEEDED(result) || result == RPC_E_CHANGED_MODE; }

private:
    HRESULT result;
};

std::string utf8Cut(const std::wstring& w, std::size_t maxBytes) {
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string s(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    if (s.size() > maxBytes) {
        std::size_t end = maxBytes;
        // Back to the first byte of a character (continuation bytes are 10xxxxxx).
        while (end > 0 && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80) --end;
        s.resize(end);
    }
    return s;
}

}  // namespace

std::wstring shortcutTarget(const wchar_t* link) {
    if (!link || !endsWithLnk(link)) return {};
    ComScope com;
    if (!com.usable()) return {};
    IShellLinkW* shell = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shell))))
        return {};
    std::wstring target;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        if (SUCCEEDED(file->Load(link, STGM_READ))) {
            // The stored path as it is: resolving a moved target could search the disk or
            // ask the user, neither of which a drop may do.
            std::vector<wchar_t> path(32768, L'\0');
            if (shell->GetPath(path.data(), static_cast<int>(path.size()), nullptr, 0) == S_OK) {
                path.back() = 0;
                target = path.data();
            }
        }
        file->Release();
    }
    shell->Release();
    return target;
}

std::string droppedPath(const wchar_t* name) {
    if (!name) return {};
    const std::wstring target = shortcutTarget(name);
    return utf8Cut(target.empty() ? std::wstring(name) : target, kMaxDroppedPath);
}

}  // namespace VSTGUI
