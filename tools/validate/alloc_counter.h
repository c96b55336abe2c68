#pragma once
// Counts the allocations and releases a plug-in makes on the audio thread. The counting
// operators (and, outside sanitizer builds, malloc and its relatives) replace the
// standard ones in the grainwheel-host process, so a loaded plug-in's calls reach them;
// they count only on a thread that is inside an audio callback (see AudioCallbackScope).

#include <cstddef>

namespace gwvalidate {

struct AllocationRecord {
    const char* function;  // "malloc", "operator new", "free", ...
    std::size_t size;      // 0 for releases
    void* caller;          // return address into the caller
};

// Marks the calling thread as inside an audio callback for the scope's lifetime.
class AudioCallbackScope {
public:
    AudioCallbackScope();
    ~AudioCallbackScope();
    AudioCallbackScope(const AudioCallbackScope&) = delete;
    AudioCallbackScope& operator=(const AudioCallbackScope&) = delete;
};

// True when this build replaces malloc/free too (not under a sanitizer, which owns them).
bool countsMalloc();
// True when the counting operators are linked into this process at all.
bool countingAvailable();
void resetAllocationCount();
long allocationCount();  // allocations and releases since the reset
// Copies up to `max` of the first recorded calls; answers how many were copied.
int recordedAllocations(AllocationRecord* out, int max);
// "module+0xOFFSET" (or the symbol) for a caller address.
void describeCaller(void* caller, char* text, std::size_t size);

}  // namespace gwvalidate
