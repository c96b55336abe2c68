#include "engine/text_format.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

namespace grainwheel {

void copyText(char* text, const char* source) noexcept {
    std::size_t n = 0;
    while (n < kMaxDisplayText && source[n] != 0) {
        text[n] = source[n];
        ++n;
    }
    text[n] = 0;
}

void formatOneDecimal(char* text, float value, bool withSign) noexcept {
    if (std::isnan(value)) {
        copyText(text, "nan ");
        return;
    }
    char digits[kMaxDisplayText + 1];
    char* out = digits;
    char* const end = digits + kMaxDisplayText - 1;  // room for the trailing blank
    if (withSign && !std::signbit(value)) *out++ = '+';
    const auto result = std::to_chars(out, end, value, std::chars_format::fixed, 1);
    if (result.ec != std::errc()) {
        copyText(text, "Huge!");
        return;
    }
    out = result.ptr;
    *out++ = ' ';
    *out = 0;
    copyText(text, digits);
}

void formatInteger(char* text, int value, int width, bool withSign) noexcept {
    char digits[16];
    char* out = digits;
    if (withSign && value >= 0) *out++ = '+';
    const auto result = std::to_chars(out, digits + sizeof digits, value);
    const int len = static_cast<int>(result.ptr - digits);
    int pad = width > len ? width - len : 0;
    if (pad > static_cast<int>(kMaxDisplayText) - len) pad = 0;
    std::memset(text, ' ', static_cast<std::size_t>(pad));
    std::memcpy(text + pad, digits, static_cast<std::size_t>(len));
    text[pad + len] = 0;
}

void formatPercent(char* text, int value) noexcept {
    text[0] = ' ';
    formatInteger(text + 1, value, 0, false);
    std::size_t n = std::strlen(text);
    text[n++] = ' ';
    text[n++] = '%';
    text[n] = 0;
}

void formatDecibels(char* text, int value) noexcept {
    formatInteger(text, value, 0, true);
    std::size_t n = std::strlen(text);
    std::memcpy(text + n, " dB", 4);
}

void formatSigned7(char* text, int value) noexcept { formatInteger(text, value, 7, true); }

}  // namespace grainwheel
