#pragma once
// A small PNG reader (and plain writer) of the toolkit's own for back ends whose system has no PNG decoder at
// hand: zlib inflate plus the PNG row filters. It reads non-interlaced images of 8 bits per
// sample (grey, grey+alpha, RGB, RGBA, palette) and refuses anything else or anything
// malformed with an empty result, never reading outside the given bytes.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace VSTGUI {

struct DecodedPng {
    long width = 0;
    long height = 0;
    std::vector<std::uint32_t> argb;  // 0xAARRGGBB, not premultiplied, row by row
    bool ok() const { return width > 0 && height > 0; }
};

DecodedPng decodePngImage(const unsigned char* data, std::size_t size);

// An RGB PNG file of the pixels (0x..RRGGBB words, strideWords apart), stored without
// compression: for snapshots and test pictures, where size does not matter.
std::vector<unsigned char> encodePngImage(const std::uint32_t* pixels, long width, long height, long strideWords);

// Inflates a zlib stream (RFC 1950/1951) into out; false on malformed input or when the
// output would pass maxOut bytes.
bool inflateZlib(const unsigned char* data, std::size_t size, std::vector<unsigned char>& out, std::size_t maxOut);

}  // namespace VSTGUI
