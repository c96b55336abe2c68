#pragma once
// Reference counting shared by bitmaps, views and offscreen contexts: an object starts with
// one reference held by its creator; remember() adds one, forget() drops one and deletes the
// object when none is left.

#include <atomic>

namespace VSTGUI {

class CReferenceCounter {
public:
    CReferenceCounter() { live().fetch_add(1, std::memory_order_relaxed); }
    CReferenceCounter(const CReferenceCounter&) = delete;
    CReferenceCounter& operator=(const CReferenceCounter&) = delete;
    virtual ~CReferenceCounter() { live().fetch_sub(1, std::memory_order_relaxed); }

    void remember() { nbReference.fetch_add(1, std::memory_order_relaxed); }
    void forget() {
        if (nbReference.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
    }
    long getNbReference() const { return nbReference.load(std::memory_order_relaxed); }

    // Number of counted objects alive in the process (leak checks).
    static long liveObjects() { return live().load(std::memory_order_relaxed); }

private:
    static std::atomic<long>& live() {
        static std::atomic<long> count{0};
        return count;
    }
    std::atomic<long> nbReference{1};
};

}  // namespace VSTGUI
