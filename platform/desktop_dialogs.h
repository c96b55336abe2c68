#pragma once
// The desktop back end of the questions, messages and file selector. On Linux it starts
// zenity or kdialog when one is installed and a display exists; on Windows it uses the
// system's message boxes and common file dialogs. Without a display or a dialog program
// it behaves like the non-interactive back end: questions answer No, messages go to
// standard error, the selector chooses nothing, and canAsk() says so.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ask_capability.h"
#include "platform/dialogs.h"

namespace platform {

class DesktopDialogs final : public Dialogs, public AskCapability {
public:
    constexpr DesktopDialogs() = default;

    bool askYesNo(const char* title, const char* text) override;
    void showMessage(const char* title, const char* text) override;
    bool selectFile(const FileSelectRequest& request, char* result) override;
#if !defined(_WIN32)
    // The selector program runs beside the host's event loop; poll the answer from idle.
    std::unique_ptr<PendingFileSelection> startFileSelection(const FileSelectRequest& request) override;
#endif
    bool canAsk() const override;
};

// The desktop back end; dialogs() puts it in force when none is installed and it can ask.
Dialogs& systemDialogs();

#if !defined(_WIN32)
namespace desktop {

enum class Program { kNone, kZenity, kKdialog };

// The dialog program to use: a display (DISPLAY or WAYLAND_DISPLAY) and zenity or kdialog
// on PATH; its full path in `path`.
Program findProgram(std::string& path);

// The command line of each dialog for a program (argv[0] excluded).
std::vector<std::string> questionArguments(Program p, const char* title, const char* text);
std::vector<std::string> messageArguments(Program p, const char* title, const char* text);
std::vector<std::string> selectorArguments(Program p, const FileSelectRequest& request);
// What ties a dialog to the window `owner` (transient and modal for it); none for 0.
std::vector<std::string> ownerArguments(Program p, std::uintptr_t owner);

// The environment of this process without LD_LIBRARY_PATH (the host's bundled libraries
// must not leak into the dialog program).
std::vector<std::string> childEnvironment();

// Starts the program with the arguments and the cleaned environment, its standard output
// on a pipe whose read end is put in `output`; its process id, or -1 when it could not be
// started.
int spawn(const std::string& program, const std::vector<std::string>& arguments, int& output);
// Reads the pipe until it ends (true) or, when it does not block, until it is empty for
// now (false); up to `limit` bytes go to `output`, the rest is read and dropped.
bool readOutput(int fd, std::string* output, std::size_t limit);
// Starts the program as spawn does, waits for it and returns its exit status (-1 when it
// could not be started); its standard output, up to `limit` bytes, in `output`.
int run(const std::string& program, const std::vector<std::string>& arguments, std::string* output,
        std::size_t limit);
// The exit status of a wait status (-1 for a program that did not exit by itself).
int exitStatus(int status);
// The selector's answer from its exit status and output: true with the path in result
// (cut to kFileSelectionSize - 1 characters), false for a cancel, no answer or several.
bool selectionAnswer(int status, std::string chosen, char* result);

}  // namespace desktop
#endif

}  // namespace platform
