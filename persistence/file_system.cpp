#include "persistence/file_system.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace grainwheel {

bool fileExists(const char* path) {
    // Asked of the file system, not by opening it: opening a FIFO would block.
    std::error_code ec;
    return path != nullptr && *path != 0 && std::filesystem::exists(std::filesystem::path(path), ec);
}

bool directoryWritable(const char* directory) {
    if (!directory || !*directory) return false;
#ifdef _WIN32
    return _access(directory, 2) == 0;
#else
    return access(directory, W_OK | X_OK) == 0;
#endif
}

std::string environmentValue(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

namespace {

bool makeOneDirectory(const std::string& dir) {
#ifdef _WIN32
    return _mkdir(dir.c_str()) == 0 || errno == EEXIST;
#else
    return mkdir(dir.c_str(), 0755) == 0 || errno == EEXIST;
#endif
}

bool isSeparator(char c) {
#ifdef _WIN32
    return c == '/' || c == '\\';
#else
    return c == '/';
#endif
}

bool renameOver(const std::string& from, const std::string& to) {
#ifdef _WIN32
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

// The temporary name beside the target: "<target>.tmp~", its file name cut where the
// suffix would make it longer than a file name (255 characters) or, on Windows, the whole
// path longer than MAX_PATH allows, so a target that fits always gets a temporary that fits.
std::string temporaryName(const std::string& target) {
    constexpr std::size_t kNameMax = 255;
    constexpr char kSuffix[] = ".tmp~";
    constexpr std::size_t kSuffixLength = sizeof kSuffix - 1;
    std::size_t nameStart = target.size();
    while (nameStart > 0 && !isSeparator(target[nameStart - 1])) --nameStart;
    std::size_t keep = target.size() - nameStart;
    if (keep + kSuffixLength > kNameMax) keep = kNameMax - kSuffixLength;
#ifdef _WIN32
    constexpr std::size_t kPathMax = MAX_PATH - 1;
    if (nameStart + keep + kSuffixLength > kPathMax)
        keep = nameStart + kSuffixLength < kPathMax ? kPathMax - kSuffixLength - nameStart : 0;
#endif
    return target.substr(0, nameStart + keep) + kSuffix;
}

}  // namespace

bool makeDirectories(const std::string& directory) {
    if (directory.empty()) return false;
    for (std::size_t i = 1; i < directory.size(); ++i) {
        if (isSeparator(directory[i]) && !isSeparator(directory[i - 1]))
            makeOneDirectory(directory.substr(0, i));
    }
    makeOneDirectory(directory);
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesA(directory.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
#else
    struct stat st;
    return stat(directory.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
#endif
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
#ifdef _WIN32
    if (good) good = _commit(_fileno(file_)) == 0;
#else
    if (good) good = fsync(fileno(file_)) == 0;
#endif
    good = (std::fclose(file_) == 0) && good;
    file_ = nullptr;
    if (good) good = renameOver(temp_, target_);
    if (!good) std::remove(temp_.c_str());
    return good;
}

}  // namespace grainwheel
