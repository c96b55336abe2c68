#include "platform/file_calls.h"

#include <cerrno>
#include <cstdlib>

#include "platform/paths.h"

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#include <windows.h>
#else
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
