#include <windows.h>
#include <commdlg.h>

#include <cstring>
#include <string>

#include "platform/desktop_dialogs.h"

namespace platform {

// Windows always has its message boxes and common dialogs.
bool DesktopDialogs::canAsk() const { return true; }

bool DesktopDialogs::askYesNo(const char* title, const char* text) {
    return MessageBoxA(nullptr, text ? text : "", title ? title : "", MB_YESNO) == IDYES;
}

void DesktopDialogs::showMessage(const char* title, const char* text) {
    MessageBoxA(nullptr, text ? text : "", title ? title : "", MB_OK);
}

bool DesktopDialogs::selectFile(const FileSelectRequest& request, char* result) {
    if (result == nullptr) return false;
    // "<name> (*.<ext>)\0*.<ext>\0Any Type (*.*)\0*.*\0\0"
    const std::string ext = request.extension ? request.extension : "";
    std::string filter = std::string(request.typeName ? request.typeName : "") + " (*." + ext + ")";
    filter.push_back('\0');
    filter += "*." + ext;
    filter.push_back('\0');
    filter += "Any Type (*.*)";
    filter.push_back('\0');
    filter += "*.*";
    filter.push_back('\0');
    filter.push_back('\0');

    char path[kFileSelectionSize] = {};
    if (request.initialPath && std::strlen(request.initialPath) < sizeof path)
        std::strcpy(path, request.initialPath);
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = nullptr;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = path;
    ofn.nMaxFile = sizeof path;
    ofn.lpstrTitle = request.title;
    ofn.lpstrDefExt = nullptr;
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    const bool save = request.mode == FileSelectRequest::Mode::Save;
    if (!save) ofn.Flags |= OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
    const BOOL chosen = save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
    if (!chosen || path[0] == 0) return false;
    path[sizeof path - 1] = 0;
    std::memcpy(result, path, std::strlen(path) + 1);
    return true;
}

Dialogs& systemDialogs() {
    static constinit DesktopDialogs desktopBackEnd;
    return desktopBackEnd;
}

}  // namespace platform
