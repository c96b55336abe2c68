#pragma once
// File selection for the editor's file commands, through the platform's file selector.

#include <memory>

#include "platform/dialogs.h"

namespace VSTGUI {

class CFileSelector {
public:
    explicit CFileSelector(void* owner) : effect(owner) {}
    // Asks the user for a file; writes the path into result (platform::kFileSelectionSize
    // bytes) and returns 1, or returns 0 when nothing was chosen.
    long run(const platform::FileSelectRequest& request, char* result);
    // Starts the selector without waiting for it (see platform::Dialogs::startFileSelection).
    std::unique_ptr<platform::PendingFileSelection> start(const platform::FileSelectRequest& request);
    void* getEffect() const { return effect; }

private:
    void* effect;
};

}  // namespace VSTGUI
