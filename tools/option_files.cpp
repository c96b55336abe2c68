#include "tools/option_files.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/file_calls.h"

namespace gwhost {

namespace {

// Why a path did not open as a regular file (asked only after the open failed).
std::string whyNotOpened(const std::string& path, int openError) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (!ec && fs::exists(st) && !fs::is_regular_file(st)) {
        const char* kind = fs::is_directory(st)      ? "a folder"
                           : fs::is_fifo(st)         ? "a FIFO"
                           : fs::is_character_file(st) || fs::is_block_file(st) ? "a device"
                                                                                : "not a regular file";
        return std::string(kind) + ": only regular files are read";
    }
    return openError != 0 ? std::strerror(openError) : "cannot be opened";
}

}  // namespace

std::string sizeText(std::uint64_t bytes) {
    if (bytes >= (std::uint64_t(1) << 30) && bytes % (std::uint64_t(1) << 30) == 0)
        return std::to_string(bytes >> 30) + " GB";
    if (bytes >= (std::uint64_t(1) << 20) && bytes % (std::uint64_t(1) << 20) == 0)
        return std::to_string(bytes >> 20) + " MB";
    return std::to_string(bytes) + " bytes";
}

OptionFile::~OptionFile() {
    if (file_) std::fclose(file_);
}

bool OptionFile::open(const std::string& path, const char* option, std::uint64_t limit, std::string& error) {
    if (file_) std::fclose(file_);
    size_ = 0;
    path_ = path;
    errno = 0;
    file_ = platform::openRegularFile(path.c_str(), &size_);
    if (!file_) return error = std::string(option) + " " + path + ": " + whyNotOpened(path, errno), false;
    if (size_ > limit) {
        std::fclose(file_);
        file_ = nullptr;
        return error = std::string(option) + " " + path + ": larger than " + sizeText(limit) +
                       ", the most this option takes",
               false;
    }
    return true;
}

bool OptionFile::readAll(std::vector<char>& bytes, std::string& error) {
    bytes.assign(static_cast<std::size_t>(size_), 0);
    const std::size_t got = file_ ? std::fread(bytes.data(), 1, bytes.size(), file_) : 0;
    if (got != bytes.size() || (file_ && std::ferror(file_))) return error = "cannot read " + path_, false;
    return true;
}

bool checkOptionFile(const std::string& path, const char* option, std::uint64_t limit, std::string& error) {
    OptionFile f;
    return f.open(path, option, limit, error);
}

}  // namespace gwhost
