#pragma once
// Text helpers of the materials subsystem: standard file names and the number
// texts of the grids.

#include <string>
#include <string_view>

namespace materials {

// Turns an entry title into text usable as a file name: spaces around it go,
// line breaks and other control characters go, and the characters reserved in
// file names become look-alikes (\ ╲, / ╱, : ：, * -, ? -, < [, > ], | │, " ＂).
// A title of only spaces gives "".
std::string ToStandardName(std::string_view title);

// A number in plain decimal: integers without a decimal point.
std::string DecimalText(double value);
// The text read as a number (leading number, 0 when none) and written back in
// decimal, as the grids pass entry numbers to the manifest.
std::string NumberText(std::string_view text);

} // namespace materials
