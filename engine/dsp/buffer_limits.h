#pragma once
// The sizes and rates an audio buffer may have, for the engine and the file formats alike.

namespace grainwheel {

constexpr int kMaxBufferFrames = 882000;      // 20 s at 44.1 kHz
constexpr int kDefaultBufferFrames = 176400;  // 4 s at 44.1 kHz

// The rates a buffer's audio (and a WAV file) may be at, frames per second.
constexpr int kMinBufferRate = 8000;
constexpr int kMaxBufferRate = 384000;
constexpr int kDefaultBufferRate = 44100;

}  // namespace grainwheel
