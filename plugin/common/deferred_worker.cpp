// The adapters' worker thread (deferred_worker.h).

#include "plugin/common/deferred_worker.h"

#include <chrono>

#include "engine/grain_engine.h"

namespace grainwheel {

void DeferredWorker::start(GrainEngine& engine, std::mutex& lock) {
    if (thread_.joinable()) return;
    stopping_.store(false, std::memory_order_relaxed);
    thread_ = std::thread([this, &engine, &lock] {
        while (!stopping_.load(std::memory_order_acquire)) {
            if (engine.hasDeferred()) {
                std::lock_guard<std::mutex> hold(lock);
                engine.runDeferred();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
}

void DeferredWorker::stop() {
    stopping_.store(true, std::memory_order_release);
    if (thread_.joinable()) thread_.join();
}

}  // namespace grainwheel
