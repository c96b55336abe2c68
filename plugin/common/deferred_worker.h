#pragma once
// The thread of an adapter's own that runs the work the audio thread hands off (the
// engine's deferred work) while the host has the plug-in active, about 50 times a second,
// as the VST 2 adapter's worker does; `lock` serialises it with the adapter's state calls.

#include <atomic>
#include <mutex>
#include <thread>

namespace grainwheel {

class GrainEngine;

class DeferredWorker {
public:
    ~DeferredWorker() { stop(); }
    void start(GrainEngine& engine, std::mutex& lock);
    void stop();

private:
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace grainwheel
