#pragma once
// The question asked before kill buffer empties the current buffer: by the engine through
// its host, or by a panel that asks before it sends the command to the plug-in.

#include <cstddef>
#include <cstdio>

namespace grainwheel {

inline constexpr const char* kEraseBufferTitle = "grainwheel - confirm erase buffer";

// "Erase buffer number %2d ?" with the current buffer + 1 (buffers count from 0).
inline void eraseBufferQuestion(int currentBuffer, char* text, std::size_t size) {
    std::snprintf(text, size, "Erase buffer number %2d ?", currentBuffer + 1);
}

}  // namespace grainwheel
