#include "text/number_text.h"

#include <cmath>
#include <cstring>

namespace gw::text {

namespace {

void copyText(const char* from, char* text) {
    std::size_t n = std::strlen(from);
    if (n >= static_cast<std::size_t>(kNumberTextSize)) n = kNumberTextSize - 1;
    std::memcpy(text, from, n);
    text[n] = 0;
}

char digitOf(double v) {
    int d = static_cast<int>(v);  // 0 <= v < 10 here
    if (d < 0) d = 0;
    if (d > 9) d = 9;
    return static_cast<char>('0' + d);
}

}  // namespace

void floatToText(float value, char* text) {
    double v = value;
    if (std::isnan(v)) {
        copyText("Huge!", text);
        return;
    }
    int c = 0;
    bool negative = false;
    if (v < 0) {
        negative = true;
        v = -v;
        ++c;
        if (v > 9999999.0) {
            copyText("Huge!", text);
            return;
        }
    } else if (v > 99999999.0) {
        copyText("Huge!", text);
        return;
    }

    // Integer part, written from the units digit leftwards, then the point.
    char intPart[16];
    char* s = intPart + sizeof(intPart) - 1;
    *s-- = 0;
    *s-- = '.';
    ++c;
    double integ = std::floor(v);
    *s-- = digitOf(std::fmod(integ, 10.0));
    integ /= 10.0;
    ++c;
    while (integ >= 1.0 && c < 8) {
        *s-- = digitOf(std::fmod(integ, 10.0));
        integ /= 10.0;
        ++c;
    }
    if (negative) *s-- = '-';
    copyText(s + 1, text);
    if (c >= 8) return;

    // Fraction digits, cut after 8 characters in all.
    char fracPart[16];
    char* f = fracPart + sizeof(fracPart) - 1;
    *f-- = 0;
    double mantissa = std::fmod(v, 1.0) * std::pow(10.0, 8 - c);
    while (c < 8) {
        if (mantissa <= 0) {
            *f-- = '0';
        } else {
            *f-- = digitOf(std::fmod(mantissa, 10.0));
            mantissa /= 10.0;
        }
        ++c;
    }
    std::size_t used = std::strlen(text);
    std::size_t room = kNumberTextSize - 1 - used;
    std::size_t n = std::strlen(f + 1);
    if (n > room) n = room;
    std::memcpy(text + used, f + 1, n);
    text[used + n] = 0;
}

void longToText(std::int32_t value, char* text) {
    if (value >= 100000000 || value <= -10000000) {
        copyText("Huge!", text);
        return;
    }
    char digits[12];
    int n = 0;
    bool negative = value < 0;
    std::int64_t v = negative ? -static_cast<std::int64_t>(value) : value;
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v > 0);
    if (negative) digits[n++] = '-';
    int width = n < 7 ? 7 : n;
    int pos = 0;
    for (int pad = width - n; pad > 0; --pad) text[pos++] = ' ';
    while (n > 0) text[pos++] = digits[--n];
    text[pos] = 0;
}

void dBToText(float value, char* text) {
    if (!(value > 0.0f)) {
        copyText("-oo", text);
        return;
    }
    floatToText(static_cast<float>(20.0 * std::log10(static_cast<double>(value))), text);
}

void hzToText(float samples, float sampleRate, char* text) {
    if (samples == 0.0f) {
        floatToText(0.0f, text);
        return;
    }
    floatToText(static_cast<float>(static_cast<double>(sampleRate) / samples), text);
}

void msToText(float samples, float sampleRate, char* text) {
    if (sampleRate == 0.0f) {
        floatToText(0.0f, text);
        return;
    }
    floatToText(static_cast<float>(static_cast<double>(samples) * 1000.0 / sampleRate), text);
}

std::int32_t vuToInt(float value) {
    double v = static_cast<double>(value) * 32767.0;
    if (std::isnan(v)) return 0;
    if (v <= -2147483648.0) return INT32_MIN;
    if (v >= 2147483647.0) return INT32_MAX;
    return static_cast<std::int32_t>(v);
}

}  // namespace gw::text
