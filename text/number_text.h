#pragma once
// Number-to-text conversions of the parameter displays and the host layer. They never
// consult the C library's locale (the decimal point is always '.') and never write more
// than the stated size.

#include <cstdint>

namespace gw::text {

// Every conversion writes at most kNumberTextSize bytes, terminator included.
constexpr int kNumberTextSize = 9;

// Eight-character number: integer digits, '.', then cut (not rounded) fraction digits,
// "-" in front of negative values; "Huge!" for values that do not fit (and for NaN).
// 1.0575937 -> "1.057593", 0.5 -> "0.500000", -2.5 -> "-2.50000".
void floatToText(float value, char* text);
// Right-aligned in seven columns ("%7d"); "Huge!" when the text would not fit in 8
// characters (100000000 and above, -10000000 and below).
void longToText(std::int32_t value, char* text);
// 20 * log10(value) as floatToText, "-oo" at or below 0.
void dBToText(float value, char* text);
// sampleRate / samples as floatToText ("0.000000" for 0 samples).
void hzToText(float samples, float sampleRate, char* text);
// samples * 1000 / sampleRate as floatToText ("0.000000" for a rate of 0).
void msToText(float samples, float sampleRate, char* text);
// The VU answer of the dispatcher: value * 32767 truncated, out-of-range values clamped.
std::int32_t vuToInt(float value);

}  // namespace gw::text
