// The user-interface timer (ui_timer.h).

#include "platform/ui_timer.h"

#if defined(_WIN32)
#include <windows.h>

#include <mutex>

namespace platform {

namespace {

// The timers running: a thread timer's procedure hears only its id.
struct Running {
    UINT_PTR id = 0;
    UiTimer::Callback callback = nullptr;
    void* context = nullptr;
};
constexpr int kTimers = 16;
Running running[kTimers];
std::mutex lock;

void CALLBACK tick(HWND, UINT, UINT_PTR id, DWORD) {
    UiTimer::Callback callback = nullptr;
    void* context = nullptr;
    {
        std::lock_guard<std::mutex> hold(lock);
        for (const Running& r : running)
            if (r.id == id) callback = r.callback, context = r.context;
    }
    if (callback != nullptr) callback(context);
}

}  // namespace

bool UiTimer::start(unsigned milliseconds, Callback callback, void* context) {
    stop();
    std::lock_guard<std::mutex> hold(lock);
    for (Running& r : running) {
        if (r.id != 0) continue;
        const UINT_PTR id = SetTimer(nullptr, 0, milliseconds, tick);
        if (id == 0) return false;
        r = Running{id, callback, context};
        id_ = id;
        return true;
    }
    return false;
}

void UiTimer::stop() {
    if (id_ == 0) return;
    KillTimer(nullptr, id_);
    std::lock_guard<std::mutex> hold(lock);
    for (Running& r : running)
        if (r.id == id_) r = Running{};
    id_ = 0;
}

}  // namespace platform

#else

namespace platform {

bool UiTimer::start(unsigned, Callback, void*) {
    id_ = 0;
    return false;
}
void UiTimer::stop() { id_ = 0; }

}  // namespace platform

#endif
