#include "platform/dialog_owner.h"

#include <atomic>

namespace platform {

namespace {
std::atomic<std::uintptr_t> owner{0};
}  // namespace

void setDialogOwner(std::uintptr_t window) { owner.store(window, std::memory_order_release); }

void releaseDialogOwner(std::uintptr_t window) {
    std::uintptr_t expected = window;
    owner.compare_exchange_strong(expected, 0, std::memory_order_acq_rel);
}

std::uintptr_t dialogOwner() { return owner.load(std::memory_order_acquire); }

}  // namespace platform
