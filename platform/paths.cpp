#include "platform/paths.h"

#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace platform {

namespace {

bool copyBounded(const char* from, char* result, std::size_t size) {
    if (!result || size == 0) return false;
    result[0] = 0;
    if (!from) return false;
    std::size_t n = std::strlen(from);
    if (n + 1 > size) return false;
    std::memcpy(result, from, n + 1);
    return true;
}

// Any address inside this library identifies the module.
void moduleAnchor() {}

}  // namespace

bool pluginPath(char* result, std::size_t size) {
    if (!result || size == 0) return false;
    result[0] = 0;
#if defined(_WIN32)
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&moduleAnchor), &module))
        return false;
    char path[MAX_PATH + 1];
    DWORD n = GetModuleFileNameA(module, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    path[n] = 0;
    return copyBounded(path, result, size);
#else
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&moduleAnchor), &info) == 0 || !info.dli_fname) return false;
    const char* name = info.dli_fname;
    if (name[0] == '/') return copyBounded(name, result, size);
    // A relative name: resolve it against the working folder.
    char* resolved = realpath(name, nullptr);
    if (!resolved) return false;
    bool ok = copyBounded(resolved, result, size);
    std::free(resolved);
    return ok;
#endif
}

bool pluginDirectory(char* result, std::size_t size) {
    if (!pluginPath(result, size)) return false;
    char* cut = nullptr;
    for (char* p = result; *p; ++p)
        if (*p == '/' || *p == '\\') cut = p;
    if (!cut) {
        result[0] = 0;
        return false;
    }
    if (cut == result)
        cut[1] = 0;  // the root folder keeps its separator
    else
        *cut = 0;
    return true;
}

// environment() is with the file calls (file_calls.cpp).

const char* homeDirectory() {
#if defined(_WIN32)
    const char* home = environment("USERPROFILE");
#else
    const char* home = environment("HOME");
#endif
    return (home && *home) ? home : nullptr;
}

char pathSeparator() {
#if defined(_WIN32)
    return '\\';
#else
    return '/';
#endif
}

}  // namespace platform
