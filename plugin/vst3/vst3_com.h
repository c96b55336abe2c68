#pragma once
// The plug-in's thin C++ layer over the VST 3 C interfaces (third_party/vst3): interface
// identifiers, the object layout a host sees, reference counts, the UTF-16 texts, and the
// host's byte streams as the file readers' and writers' ByteSource and ByteSink.
//
// An interface pointer handed to a host points at a Facet: the interface's table first
// (all a host reads), then the object that implements it. The table's functions are
// static members of that object's class; each finds the object through the Facet.

#include <vst3_c_api.h>

#include <atomic>
#include <cstdint>
#include <cstring>

#include "persistence/byte_source.h"

namespace grainwheel::vst3 {

using TUID = Steinberg_TUID;
using tresult = Steinberg_tresult;
using String128 = Steinberg_Vst_String128;

inline bool sameId(const char* a, const char* b) { return std::memcmp(a, b, sizeof(TUID)) == 0; }

template <class Owner>
struct Facet {
    const void* table;
    Owner* owner;
    static Owner* of(void* self) { return static_cast<Facet*>(self)->owner; }
};

// The reference count of an object that deletes itself at the last release.
class RefCounted {
public:
    virtual ~RefCounted() = default;
    std::uint32_t addRef() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
    std::uint32_t release() {
        const std::uint32_t left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0) delete this;
        return left;
    }

private:
    std::atomic<std::uint32_t> refs_{1};
};

// An ASCII or UTF-8 text into a host's UTF-16 field of `size` units (cut, terminated).
void toUtf16(const char* text, Steinberg_char16* out, int size);
// A host's UTF-16 text as 8-bit text (characters beyond ASCII become '?'), terminated.
void fromUtf16(const Steinberg_char16* text, char* out, int size);

// The host's stream as input; its size is taken when it is opened (a stream that cannot
// seek gives what it delivers).
class StreamSource final : public ByteSource {
public:
    explicit StreamSource(Steinberg_IBStream* stream);
    std::size_t read(void* dst, std::size_t n) override;
    bool skip(std::uint64_t n) override;
    std::uint64_t remaining() const override { return size_ > pos_ ? size_ - pos_ : 0; }
    std::uint64_t position() const override { return pos_; }
    bool seek(std::uint64_t offset) override;

private:
    Steinberg_IBStream* stream_;
    std::uint64_t start_ = 0;
    std::uint64_t size_ = 0;
    std::uint64_t pos_ = 0;
};

// The host's stream as output.
class StreamSink final : public ByteSink {
public:
    explicit StreamSink(Steinberg_IBStream* stream) : stream_(stream) {}
    bool write(const void* data, std::size_t size) override;
    std::uint64_t written() const { return written_; }

private:
    Steinberg_IBStream* stream_;
    bool failed_ = false;
    std::uint64_t written_ = 0;
};

}  // namespace grainwheel::vst3
