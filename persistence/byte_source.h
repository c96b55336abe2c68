#pragma once
// Sequential, bounds-checked input for the file readers: from memory (tests, fuzzing, host
// chunks) or from a file. Every read reports how much it delivered; nothing reads past the end.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>

namespace grainwheel {

static_assert(std::endian::native == std::endian::little,
              "the file formats are little-endian and are read in place");

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Copies up to n bytes to dst; returns the number delivered (less only at the end).
    virtual std::size_t read(void* dst, std::size_t n) = 0;
    // Moves n bytes forward. Returns false, leaving the position at the end, when fewer remain.
    virtual bool skip(std::uint64_t n) = 0;
    virtual std::uint64_t remaining() const = 0;
    // The offset of the next byte from the start; seek() moves there (false, leaving the
    // position as it was, when the offset lies beyond the end).
    virtual std::uint64_t position() const = 0;
    virtual bool seek(std::uint64_t offset) = 0;

    bool readExact(void* dst, std::size_t n) { return read(dst, n) == n; }
    bool readI16(std::int16_t& v);
    bool readI32(std::int32_t& v);
    bool readU32(std::uint32_t& v);
    bool readId(char (&id)[4]) { return readExact(id, 4); }
};

// Sequential output for the file writers: a file, or a host's stream.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Returns false (and the sink stays failed) when not every byte was taken.
    virtual bool write(const void* data, std::size_t size) = 0;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    MemorySource(const void* data, std::size_t size)
        : bytes_(static_cast<const std::uint8_t*>(data), size) {}
    std::size_t read(void* dst, std::size_t n) override;
    bool skip(std::uint64_t n) override;
    std::uint64_t remaining() const override { return bytes_.size() - pos_; }
    std::uint64_t position() const override { return pos_; }
    bool seek(std::uint64_t offset) override;

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

// Owns an open regular file (never a FIFO, a device or a folder: opening one is refused
// without waiting); its size is taken when it is opened.
class FileSource final : public ByteSource {
public:
    FileSource() = default;
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    bool open(const char* path);
    bool isOpen() const { return file_ != nullptr; }
    std::size_t read(void* dst, std::size_t n) override;
    bool skip(std::uint64_t n) override;
    std::uint64_t remaining() const override { return size_ - pos_; }
    std::uint64_t position() const override { return pos_; }
    bool seek(std::uint64_t offset) override;

private:
    std::FILE* file_ = nullptr;
    std::uint64_t size_ = 0;
    std::uint64_t pos_ = 0;
};

}  // namespace grainwheel
