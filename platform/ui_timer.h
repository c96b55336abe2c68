#pragma once
// A periodic call on the user-interface thread, for a panel whose host calls it for no
// idle of its own (a VST 3 view on Windows). On Windows a thread timer (SetTimer): the
// call comes from the thread's message loop, the host's. Elsewhere start() answers false
// (the host's run loop calls the panel there).

#include <cstdint>

namespace platform {

class UiTimer {
public:
    using Callback = void (*)(void* context);
    UiTimer() = default;
    ~UiTimer() { stop(); }
    UiTimer(const UiTimer&) = delete;
    UiTimer& operator=(const UiTimer&) = delete;

    // Calls callback(context) every `milliseconds` on the calling thread; false when it cannot.
    bool start(unsigned milliseconds, Callback callback, void* context);
    void stop();

private:
    std::uintptr_t id_ = 0;
};

}  // namespace platform
