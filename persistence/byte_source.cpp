#include "persistence/byte_source.h"

#include <algorithm>
#include <cstring>

#include "platform/file_calls.h"

namespace grainwheel {

namespace {

int seekTo(std::FILE* f, std::uint64_t offset, int whence) {
#ifdef _WIN32
    return _fseeki64(f, static_cast<long long>(offset), whence);
#else
    return fseeko(f, static_cast<off_t>(offset), whence);
#endif
}

}  // namespace

bool ByteSource::readI16(std::int16_t& v) {
    std::uint8_t b[2];
    if (!readExact(b, 2)) return false;
    v = static_cast<std::int16_t>(b[0] | (b[1] << 8));
    return true;
}

bool ByteSource::readU32(std::uint32_t& v) {
    std::uint8_t b[4];
    if (!readExact(b, 4)) return false;
    v = std::uint32_t(b[0]) | (std::uint32_t(b[1]) << 8) | (std::uint32_t(b[2]) << 16) |
        (std::uint32_t(b[3]) << 24);
    return true;
}

bool ByteSource::readI32(std::int32_t& v) {
    std::uint32_t u;
    if (!readU32(u)) return false;
    v = static_cast<std::int32_t>(u);
    return true;
}

std::size_t MemorySource::read(void* dst, std::size_t n) {
    const std::size_t count = std::min(n, bytes_.size() - pos_);
    if (count != 0) std::memcpy(dst, bytes_.data() + pos_, count);
    pos_ += count;
    return count;
}

bool MemorySource::skip(std::uint64_t n) {
    if (n > remaining()) {
        pos_ = bytes_.size();
        return false;
    }
    pos_ += static_cast<std::size_t>(n);
    return true;
}

bool MemorySource::seek(std::uint64_t offset) {
    if (offset > bytes_.size()) return false;
    pos_ = static_cast<std::size_t>(offset);
    return true;
}

FileSource::~FileSource() {
    if (file_) std::fclose(file_);
}

bool FileSource::open(const char* path) {
    if (file_) std::fclose(file_);
    size_ = pos_ = 0;
    // Only regular files: opening a FIFO or a device would block, or never end.
    file_ = platform::openRegularFile(path, &size_);
    return file_ != nullptr;
}

std::size_t FileSource::read(void* dst, std::size_t n) {
    if (!file_ || n == 0) return 0;
    const std::size_t got = std::fread(dst, 1, n, file_);
    pos_ = std::min(pos_ + got, size_);
    return got;
}

bool FileSource::skip(std::uint64_t n) {
    if (!file_) return false;
    if (n == 0) return true;  // (no system call for an empty chunk)
    const bool fits = n <= remaining();
    const std::uint64_t target = fits ? pos_ + n : size_;
    if (seekTo(file_, target, SEEK_SET) != 0) return false;
    pos_ = target;
    return fits;
}

bool FileSource::seek(std::uint64_t offset) {
    if (!file_ || offset > size_ || seekTo(file_, offset, SEEK_SET) != 0) return false;
    pos_ = offset;
    return true;
}

}  // namespace grainwheel
