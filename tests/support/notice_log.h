#pragma once
// NoticeLog: an EngineListener that keeps the notices an engine sends (parameter echoes
// and EngineNotice commands) for tests to read, from any thread, the audio thread
// included: writers take a slot with one atomic increment and never block.

#include <atomic>
#include <cstdint>

#include "engine/grain_engine.h"

namespace gwtest {

struct Notice {
    int index = -1;
    float value = 0.0f;
};

class NoticeLog : public grainwheel::EngineListener {
public:
    static constexpr int kHistory = 1024;

    void engineNotice(int index, float value) override {
        const std::uint32_t n = reserved_.fetch_add(1, std::memory_order_relaxed);
        Slot& slot = history_[n % kHistory];
        slot.index.store(index, std::memory_order_relaxed);
        slot.value.store(value, std::memory_order_relaxed);
        count_.fetch_add(1, std::memory_order_release);
    }
    void engineRefresh() override { refreshes_.fetch_add(1, std::memory_order_relaxed); }
    bool runsDeferredWork() const override { return deferring.load(std::memory_order_relaxed); }

    // The notices received so far and the k-th newest (k = 0: the last one).
    std::uint32_t count() const { return count_.load(std::memory_order_acquire); }
    Notice recent(int k) const {
        const std::uint32_t n = count();
        if (k < 0 || k >= kHistory || static_cast<std::uint32_t>(k) >= n) return {};
        const Slot& slot = history_[(n - 1 - static_cast<std::uint32_t>(k)) % kHistory];
        return {slot.index.load(std::memory_order_relaxed), slot.value.load(std::memory_order_relaxed)};
    }
    // How many of the last `window` notices carry index.
    int countOf(int index, int window = kHistory) const {
        int found = 0;
        for (int k = 0; k < window; ++k) found += recent(k).index == index ? 1 : 0;
        return found;
    }
    bool saw(grainwheel::EngineNotice n) const { return countOf(grainwheel::noticeIndex(n)) > 0; }
    long refreshes() const { return refreshes_.load(std::memory_order_relaxed); }
    void clear() {
        count_.store(0);
        reserved_.store(0);
        refreshes_.store(0);
    }

    // What runsDeferredWork answers: an open editor whose idle runs deferred work.
    std::atomic<bool> deferring{false};

private:
    struct Slot {
        std::atomic<int> index{-1};
        std::atomic<float> value{0.0f};
    };
    Slot history_[kHistory];
    std::atomic<std::uint32_t> reserved_{0};
    std::atomic<std::uint32_t> count_{0};
    std::atomic<long> refreshes_{0};
};

}  // namespace gwtest
