// PNG reader of the toolkit: any bytes give an image or an empty result; an image has
// exactly width x height pixels, and the inflater never passes its output limit.
#include <cstdlib>
#include <vector>

#include "gui/pngdecode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const VSTGUI::DecodedPng image = VSTGUI::decodePngImage(data, size);
    if (image.ok()) {
        if (image.argb.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height))
            std::abort();
    } else if (!image.argb.empty()) {
        std::abort();
    }
    std::vector<unsigned char> out;
    constexpr std::size_t kLimit = 1 << 16;
    if (VSTGUI::inflateZlib(data, size, out, kLimit) && out.size() > kLimit) std::abort();
    return 0;
}
