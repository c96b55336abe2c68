// The validator's allocation counter, in process: every replaceable form of operator new
// and delete (plain, nothrow, array, aligned, sized, and their mixtures) and, outside
// sanitizer builds, malloc and its relatives are counted on a thread inside an audio
// callback, each under its own name, and nowhere else.
#include <gtest/gtest.h>

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "tools/validate/alloc_counter.h"

using gwvalidate::AllocationRecord;
using gwvalidate::AudioCallbackScope;

namespace {

// Keeps the compiler from pairing an allocation with its release and leaving both out.
template <typename T>
T* kept(T* p) {
    asm volatile("" : : "r"(p) : "memory");
    return p;
}

constexpr std::size_t kSize = 48;
constexpr auto kAlign = std::align_val_t{64};

struct Form {
    const char* name;
    const char* allocation;  // the name the record carries
    const char* release;
    std::function<void*()> allocate;
    std::function<void(void*)> free;
};

// Each allocation function and each release function a plug-in can reach, paired so that
// every one of them appears once.
std::vector<Form> forms() {
    return {
        {"plain", "operator new", "operator delete", [] { return ::operator new(kSize); },
         [](void* p) { ::operator delete(p); }},
        {"array", "operator new[]", "operator delete[]", [] { return ::operator new[](kSize); },
         [](void* p) { ::operator delete[](p); }},
        {"nothrow", "operator new", "operator delete", [] { return ::operator new(kSize, std::nothrow); },
         [](void* p) { ::operator delete(p, std::nothrow); }},
        {"nothrow array", "operator new[]", "operator delete[]", [] { return ::operator new[](kSize, std::nothrow); },
         [](void* p) { ::operator delete[](p, std::nothrow); }},
        {"aligned", "operator new", "operator delete", [] { return ::operator new(kSize, kAlign); },
         [](void* p) { ::operator delete(p, kAlign); }},
        {"aligned array", "operator new[]", "operator delete[]", [] { return ::operator new[](kSize, kAlign); },
         [](void* p) { ::operator delete[](p, kAlign); }},
        {"aligned nothrow", "operator new", "operator delete", [] { return ::operator new(kSize, kAlign, std::nothrow); },
         [](void* p) { ::operator delete(p, kAlign, std::nothrow); }},
        {"aligned nothrow array", "operator new[]", "operator delete[]",
         [] { return ::operator new[](kSize, kAlign, std::nothrow); }, [](void* p) { ::operator delete[](p, kAlign, std::nothrow); }},
        {"sized", "operator new", "operator delete", [] { return ::operator new(kSize); },
         [](void* p) { ::operator delete(p, kSize); }},
        {"sized array", "operator new[]", "operator delete[]", [] { return ::operator new[](kSize); },
         [](void* p) { ::operator delete[](p, kSize); }},
        {"sized aligned", "operator new", "operator delete", [] { return ::operator new(kSize, kAlign); },
         [](void* p) { ::operator delete(p, kSize, kAlign); }},
        {"sized aligned array", "operator new[]", "operator delete[]", [] { return ::operator new[](kSize, kAlign); },
         [](void* p) { ::operator delete[](p, kSize, kAlign); }},
    };
}

// The calls one function makes inside an audio callback scope.
struct Counted {
    long count;
    AllocationRecord first[2];
};
Counted countInScope(const std::function<void()>& body) {
    gwvalidate::resetAllocationCount();
    {
        AudioCallbackScope scope;
        body();
    }
    Counted c{gwvalidate::allocationCount(), {}};
    gwvalidate::recordedAllocations(c.first, 2);
    return c;
}

}  // namespace

TEST(AllocationCounter, CountsEveryOperatorNewAndDeleteFormUnderItsName) {
    for (const Form& f : forms()) {
        SCOPED_TRACE(f.name);
        void* p = nullptr;
        Counted allocated = countInScope([&] { p = kept(f.allocate()); });
        ASSERT_NE(p, nullptr);
        ASSERT_EQ(allocated.count, 1);
        EXPECT_STREQ(allocated.first[0].function, f.allocation);
        EXPECT_EQ(allocated.first[0].size, kSize);
        Counted released = countInScope([&] { f.free(kept(p)); });
        ASSERT_EQ(released.count, 1);
        EXPECT_STREQ(released.first[0].function, f.release);
        EXPECT_EQ(released.first[0].size, 0u);
    }
}

TEST(AllocationCounter, CountsNewAndDeleteExpressionsOfEveryKind) {
    struct alignas(64) Wide {
        float lanes[16];
    };
    const std::function<void()> expressions[] = {
        [] { delete kept(new int(1)); },
        [] { delete[] kept(new int[4]); },
        [] { delete kept(new (std::nothrow) int(1)); },
        [] { delete[] kept(new (std::nothrow) int[4]); },
        [] { delete kept(new Wide); },
        [] { delete[] kept(new Wide[2]); },
        [] { delete kept(new (std::nothrow) Wide); },
        [] { delete[] kept(new (std::nothrow) Wide[2]); },
    };
    int n = 0;
    for (const auto& e : expressions) {
        SCOPED_TRACE(n++);
        EXPECT_EQ(countInScope(e).count, 2);  // the allocation and the release
    }
}

TEST(AllocationCounter, CountsMallocAndItsRelativesWhereTheBuildOwnsThem) {
    if (!gwvalidate::countsMalloc()) GTEST_SKIP() << "a sanitizer owns malloc in this build";
    const struct {
        const char* function;
        std::function<void*()> allocate;
    } calls[] = {
        {"malloc", [] { return std::malloc(kSize); }},
        {"calloc", [] { return std::calloc(4, kSize / 4); }},
        {"aligned_alloc", [] { return std::aligned_alloc(64, 64); }},
        {"memalign", [] { return memalign(64, kSize); }},
        {"posix_memalign", [] {
             void* p = nullptr;
             return posix_memalign(&p, 64, kSize) == 0 ? p : nullptr;
         }},
    };
    for (const auto& call : calls) {
        SCOPED_TRACE(call.function);
        void* p = nullptr;
        Counted allocated = countInScope([&] { p = kept(call.allocate()); });
        ASSERT_NE(p, nullptr);
        ASSERT_EQ(allocated.count, 1);
        EXPECT_STREQ(allocated.first[0].function, call.function);
        Counted grown = countInScope([&] { p = kept(std::realloc(p, 2 * kSize)); });
        EXPECT_EQ(grown.count, 1);
        EXPECT_STREQ(grown.first[0].function, "realloc");
        Counted released = countInScope([&] { std::free(kept(p)); });
        EXPECT_EQ(released.count, 1);
        EXPECT_STREQ(released.first[0].function, "free");
    }
}

TEST(AllocationCounter, CountsNothingOutsideAnAudioCallbackNorOnOtherThreads) {
    std::atomic<int> stage{0};
    std::thread other([&] {
        while (stage.load() != 1) std::this_thread::yield();
        delete kept(new int(1));  // while the first thread is inside a callback
        stage = 2;
    });
    gwvalidate::resetAllocationCount();
    delete[] kept(new (std::nothrow) char[64]);
    {
        AudioCallbackScope scope;
        stage = 1;
        while (stage.load() != 2) std::this_thread::yield();
    }
    other.join();
    delete kept(new int(2));
    EXPECT_EQ(gwvalidate::allocationCount(), 0);
}
