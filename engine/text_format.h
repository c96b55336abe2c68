#pragma once
// Bounded, locale-independent number texts for the parameter displays. Every function
// writes at most kMaxDisplayText characters plus the terminator into `text`: the host's
// display buffer holds 16 bytes.

#include <cstddef>

namespace grainwheel {

constexpr std::size_t kMaxDisplayText = 15;

// Copies at most kMaxDisplayText characters of `source` and a terminator.
void copyText(char* text, const char* source) noexcept;
// One decimal, always with a point, then a blank: "12.0 " (printf "%#.1f ").
// withSign writes "+" before non-negative numbers ("%+#.1f "). Values too large for the
// text give "Huge!".
void formatOneDecimal(char* text, float value, bool withSign) noexcept;
// " 42 %" (printf " %d %%").
void formatPercent(char* text, int value) noexcept;
// "+6 dB" or "-6 dB" (printf "%+d dB").
void formatDecibels(char* text, int value) noexcept;
// Signed, right-aligned in 7 characters (printf "%+7d").
void formatSigned7(char* text, int value) noexcept;
// Right-aligned in `width` characters, optional sign; the core of the integer formats.
void formatInteger(char* text, int value, int width, bool withSign) noexcept;

}  // namespace grainwheel
