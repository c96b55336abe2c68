# Cross-compiling the 32-bit Windows plug-in with mingw-w64:
#   cmake -S . -B build-win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(GW_MINGW_PREFIX i686-w64-mingw32)

find_program(CMAKE_C_COMPILER NAMES ${GW_MINGW_PREFIX}-gcc-posix ${GW_MINGW_PREFIX}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${GW_MINGW_PREFIX}-g++-posix ${GW_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${GW_MINGW_PREFIX}-windres)

# Floating point in SSE2 registers, as on every other target: the x87 unit is slower and
# ignores the flush-to-zero mode the audio callbacks set. Hosts built by other compilers
# may call in with a stack aligned to 4 bytes only, so every function that needs 16-byte
# aligned spills realigns its own frame.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")

set(CMAKE_FIND_ROOT_PATH /usr/${GW_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
