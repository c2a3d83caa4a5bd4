// cssNumberText: a double as style-sheet text — the shortest decimal that
// reads back as the same value, always with a fractional part for whole
// numbers (12 -> "12.0", 100000 -> "100000.0", 0.5 -> "0.5"). Magnitudes of
// 1e16 and more, or below 1e-4, are written with an exponent ("1e+16",
// "1.5e-05"). Non-finite values give "nan", "inf" and "-inf". The text never
// depends on the locale.
//
// Thread safety: a pure function.
#pragma once

#include <string>

namespace orvane {

std::string cssNumberText(double value);

}  // namespace orvane
