#include "platform/file_calls.h"

#include <cerrno>
#include <cstdlib>

#include "platform/paths.h"

#ifdef _WIN32
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

bool directoryWritable(const char* directory) {
    if (!directory || !*directory) return false;
#ifdef _WIN32
    return _access(directory, 2) == 0;
#else
    return access(directory, W_OK | X_OK) == 0;
#endif
}

bool makeOneDirectory(const char* directory) {
#ifdef _WIN32
    return _mkdir(directory) == 0 || errno == EEXIST;
#else
    return mkdir(directory, 0755) == 0 || errno == EEXIST;
#endif
}

bool isDirectory(const char* path) {
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
#else
    struct stat st;
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
#endif
}

bool isPathSeparator(char c) {
#ifdef _WIN32
    return c == '/' || c == '\\';
#else
    return c == '/';
#endif
}

std::size_t pathLengthLimit() {
#ifdef _WIN32
    return MAX_PATH - 1;
#else
    return 0;
#endif
}

bool replaceFile(const char* from, const char* to) {
#ifdef _WIN32
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return std::rename(from, to) == 0;
#endif
}

std::FILE* openRegularFile(const char* path, std::uint64_t* size) {
    if (!path || !*path) return nullptr;
#ifdef _WIN32
    // A folder does not open without FILE_FLAG_BACKUP_SEMANTICS; pipes, consoles and
    // devices are not of the disk type.
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    LARGE_INTEGER length{};
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &length) || length.QuadPart < 0) {
        CloseHandle(h);
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "rb");
    if (!file) _close(fd);  // (closes the handle too)
    const std::uint64_t bytes = static_cast<std::uint64_t>(length.QuadPart);
#else
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
        close(fd);
        return nullptr;
    }
    // Reads of a regular file never wait anyway; the descriptor is made an ordinary one.
    const int flags = fcntl(fd, F_GETFL);
    if (flags != -1) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    std::FILE* file = fdopen(fd, "rb");
    if (!file) close(fd);
    const std::uint64_t bytes = static_cast<std::uint64_t>(st.st_size);
#endif
    if (file && size) *size = bytes;
    return file;
}

bool flushToDisk(std::FILE* file) {
#ifdef _WIN32
    return _commit(_fileno(file)) == 0;
#else
    return fsync(fileno(file)) == 0;
#endif
}

// Declared in paths.h; here so that the file formats' library needs no module lookup.
const char* environment(const char* name) {
    if (!name) return nullptr;
    return std::getenv(name);
}

}  // namespace platform
