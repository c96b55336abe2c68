#pragma once
// The engine's notices passed on to an adapter's open panel, if any: from any thread,
// never blocking; detaching the panel waits for a notice under way to it.

#include <atomic>
#include <thread>

#include "engine/grain_engine.h"

namespace grainwheel {

class PanelRelay final : public EngineListener {
public:
    // Main thread; null: none.
    void attach(EngineListener* panel) {
        panel_.store(panel);
        // A notice that loaded the old panel has counted itself in first.
        if (panel == nullptr)
            while (underWay_.load() != 0) std::this_thread::yield();
    }
    void engineNotice(int index, float value) override {
        underWay_.fetch_add(1);
        if (EngineListener* l = panel_.load()) l->engineNotice(index, value);
        underWay_.fetch_sub(1);
    }
    void engineRefresh() override {
        underWay_.fetch_add(1);
        if (EngineListener* l = panel_.load()) l->engineRefresh();
        underWay_.fetch_sub(1);
    }

private:
    std::atomic<EngineListener*> panel_{nullptr};
    std::atomic<int> underWay_{0};
};

}  // namespace grainwheel
