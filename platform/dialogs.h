#pragma once
// Questions, messages and file selection: the user-facing services the plug-in needs
// from the desktop. One interface; the plug-in reaches the active back end through
// platform::dialogs(). Tests install a scripted back end with platform::setDialogs().

#include <cstddef>
#include <memory>

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

// A file selection under way: started by Dialogs::startFileSelection, answered later.
// Deleting it while it is open closes the dialog (the choice is lost, as a Cancel).
class PendingFileSelection {
public:
    enum class State { Open, Chosen, Nothing };
    virtual ~PendingFileSelection() = default;
    // Never waits. Chosen: the path is in result[kFileSelectionSize] (cut as selectFile
    // cuts). Once answered, every later call gives the same answer.
    virtual State poll(char* result) = 0;
    // The dialog program's process (0 for none): the window back end ties the program's
    // window to the panel's.
    virtual long processId() const { return 0; }
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
    // Starts a file selection and returns at once (never null). The request's texts are
    // copied. A back end without dialogs of its own that run beside the host's event loop
    // answers through selectFile before it returns (Windows' modal dialogs keep the host
    // drawing themselves); the Linux desktop starts its program and is answered later.
    virtual std::unique_ptr<PendingFileSelection> startFileSelection(const FileSelectRequest& request);
};

// A selection that is already answered (chosen: the path, else nothing).
std::unique_ptr<PendingFileSelection> answeredSelection(bool chosen, const char* path);

// The back end in force (never null).
Dialogs& dialogs();
// Installs a back end (nullptr restores the default). Not for use while a dialog is open.
void setDialogs(Dialogs* backEnd);

}  // namespace platform
