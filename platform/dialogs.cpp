#include <atomic>
#include <cstdio>
#include <cstring>

#include "platform/default_dialogs.h"
#if defined(GW_DESKTOP_DIALOGS)
#include "platform/ask_capability.h"
#include "platform/desktop_dialogs.h"
#endif

namespace platform {

bool DefaultDialogs::askYesNo(const char* title, const char* text) { return false; }

void DefaultDialogs::showMessage(const char* title, const char* text) {
    std::fputs(title ? title : "", stderr);
    std::fputs(": ", stderr);
    std::fputs(text ? text : "", stderr);
    std::fputc('\n', stderr);
}

bool DefaultDialogs::selectFile(const FileSelectRequest& request, char* result) { return false; }

namespace {

class AnsweredSelection final : public PendingFileSelection {
public:
    AnsweredSelection(bool chosen, const char* path) : chosen_(chosen && path != nullptr) {
        if (chosen_) {
            const std::size_t n = strnlen(path, kFileSelectionSize - 1);
            std::memcpy(path_, path, n);
            path_[n] = 0;
        }
    }
    State poll(char* result) override {
        if (!chosen_ || result == nullptr) return State::Nothing;
        std::memcpy(result, path_, std::strlen(path_) + 1);
        return State::Chosen;
    }

private:
    bool chosen_;
    char path_[kFileSelectionSize] = {};
};

}  // namespace

std::unique_ptr<PendingFileSelection> answeredSelection(bool chosen, const char* path) {
    return std::make_unique<AnsweredSelection>(chosen, path);
}

std::unique_ptr<PendingFileSelection> Dialogs::startFileSelection(const FileSelectRequest& request) {
    char path[kFileSelectionSize] = {};
    const bool chosen = selectFile(request, path);
    path[kFileSelectionSize - 1] = 0;
    return answeredSelection(chosen, path);
}

namespace {
// Constant-initialised: loading the library runs no constructor for it.
constinit DefaultDialogs defaultBackEnd;
std::atomic<Dialogs*> active{nullptr};
}  // namespace

Dialogs& dialogs() {
    Dialogs* d = active.load(std::memory_order_acquire);
    if (d) return *d;
#if defined(GW_DESKTOP_DIALOGS)
    // The desktop when it can ask someone (a display and a dialog program), else the
    // non-interactive default.
    if (Dialogs& desktop = systemDialogs(); canAsk(desktop)) return desktop;
#endif
    return defaultBackEnd;
}

void setDialogs(Dialogs* backEnd) { active.store(backEnd, std::memory_order_release); }

}  // namespace platform
