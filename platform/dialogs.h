#pragma once
// Questions, messages and file selection: the user-facing services the plug-in needs
// from the desktop. One interface; the plug-in reaches the active back end through
// platform::dialogs(). Tests install a scripted back end with platform::setDialogs().

#include <cstddef>

namespace platform {

// The selector's answer area. It is larger than a path area (1024 bytes, 1023 characters)
// so that an over-long choice reaches the caller whole and its length rule can report it;
// an answer longer even than this area is cut to kFileSelectionSize - 1 characters, still
// far too long for a path area, so callers reject it rather than open the cut name.
constexpr std::size_t kFileSelectionSize = 4096;

struct FileSelectRequest {
    enum class Mode { Load, Save };
    Mode mode = Mode::Load;
    const char* title = "";
    const char* typeName = "";    // e.g. "grainwheel bank"
    const char* extension = "";   // without the dot, e.g. "grb"
    const char* initialPath = ""; // may be empty
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Blocking Yes/No question; true means Yes.
    virtual bool askYesNo(const char* title, const char* text) = 0;
    // Blocking message with an OK button.
    virtual void showMessage(const char* title, const char* text) = 0;
    // Blocking file selection; on success writes the zero-terminated path into
    // result[kFileSelectionSize] (cut as said above) and returns true. Nothing chosen:
    // false, result untouched. Callers check the length against their own path area.
    virtual bool selectFile(const FileSelectRequest& request, char* result) = 0;
};

// The back end in force (never null).
Dialogs& dialogs();
// Installs a back end (nullptr restores the default). Not for use while a dialog is open.
void setDialogs(Dialogs* backEnd);

}  // namespace platform
