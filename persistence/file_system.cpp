#include "persistence/file_system.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/file_calls.h"
#include "platform/paths.h"

namespace grainwheel {

bool fileExists(const char* path) {
    // Asked of the file system, not by opening it: opening a FIFO would block.
    std::error_code ec;
    return path != nullptr && *path != 0 && std::filesystem::exists(std::filesystem::path(path), ec);
}

bool directoryWritable(const char* directory) { return platform::directoryWritable(directory); }

std::string environmentValue(const char* name) {
    const char* v = platform::environment(name);
    return v ? std::string(v) : std::string();
}

namespace {

// The temporary name beside the target: "<target>.tmp~", its file name cut where the
// suffix would make it longer than a file name (255 characters) or the whole path longer
// than the system's limit, so a target that fits always gets a temporary that fits.
std::string temporaryName(const std::string& target) {
    constexpr std::size_t kNameMax = 255;
    constexpr char kSuffix[] = ".tmp~";
    constexpr std::size_t kSuffixLength = sizeof kSuffix - 1;
    std::size_t nameStart = target.size();
    while (nameStart > 0 && !platform::isPathSeparator(target[nameStart - 1])) --nameStart;
    std::size_t keep = target.size() - nameStart;
    if (keep + kSuffixLength > kNameMax) keep = kNameMax - kSuffixLength;
    if (const std::size_t pathMax = platform::pathLengthLimit(); pathMax != 0 && nameStart + keep + kSuffixLength > pathMax)
        keep = nameStart + kSuffixLength < pathMax ? pathMax - kSuffixLength - nameStart : 0;
    return target.substr(0, nameStart + keep) + kSuffix;
}

}  // namespace

bool makeDirectories(const std::string& directory) {
    if (directory.empty()) return false;
    for (std::size_t i = 1; i < directory.size(); ++i) {
        if (platform::isPathSeparator(directory[i]) && !platform::isPathSeparator(directory[i - 1]))
            platform::makeOneDirectory(directory.substr(0, i).c_str());
    }
    platform::makeOneDirectory(directory.c_str());
    return platform::isDirectory(directory.c_str());
}

AtomicFileWriter::~AtomicFileWriter() { discard(); }

void AtomicFileWriter::discard() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
        std::remove(temp_.c_str());
    }
}

bool AtomicFileWriter::open(const char* path) {
    discard();
    failed_ = false;
    written_ = 0;
    if (!path || !*path) return false;
    target_ = path;
    temp_ = temporaryName(target_);
    file_ = std::fopen(temp_.c_str(), "wb");
    return file_ != nullptr;
}

bool AtomicFileWriter::write(const void* data, std::size_t size) {
    if (!ok()) return false;
    if (size == 0) return true;
    std::size_t allowed = size;
    if (failAfter_ != static_cast<std::size_t>(-1))
        allowed = failAfter_ > written_ ? std::min(size, failAfter_ - written_) : 0;
    const std::size_t done = allowed ? std::fwrite(data, 1, allowed, file_) : 0;
    written_ += done;
    if (done != size) failed_ = true;
    return !failed_;
}

bool AtomicFileWriter::commit() {
    if (!ok()) {
        discard();
        return false;
    }
    // The bytes reach the disk before the rename makes them the file: a crash between the
    // two must leave the old file, not a renamed empty one.
    bool good = std::fflush(file_) == 0;
    if (good) good = platform::flushToDisk(file_);
    good = (std::fclose(file_) == 0) && good;
    file_ = nullptr;
    if (good) good = platform::replaceFile(temp_.c_str(), target_.c_str());
    if (!good) std::remove(temp_.c_str());
    return good;
}

}  // namespace grainwheel
