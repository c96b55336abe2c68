#pragma once
// The window the desktop dialogs belong to: the top-level window that holds the open
// editor panel (an X window id on Linux). The dialog program is attached to it, so a
// question stays above the host's window while the host waits for the answer.
// The window back end sets it when a panel opens or is clicked and gives it up when the
// panel closes; 0 means none is known and dialogs stand alone.

#include <cstdint>

namespace platform {

void setDialogOwner(std::uintptr_t window);
// Clears the owner if it is still `window` (a panel opened since keeps its own).
void releaseDialogOwner(std::uintptr_t window);
std::uintptr_t dialogOwner();

}  // namespace platform
