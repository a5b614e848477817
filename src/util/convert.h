#pragma once
// The number and date readings the program relies on, in one place.

#include <cstdint>
#include <stdexcept>
#include <string_view>

namespace util {

class ConversionError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Leading blanks skipped, the longest numeric prefix taken (sign, digits, one
// decimal point, exponent); 0 when there is none.
double LeadingNumber(std::string_view text);

// Rounds to the nearest integer, halves to even; throws ConversionError when
// the result does not fit 16 bits or the value is not finite.
std::int16_t RoundToInt16(double value);
std::int32_t RoundToInt32(double value);

// Whether the whole text (blanks around it allowed) reads as a decimal number:
// optional sign, digits with an optional decimal point, optional exponent.
bool IsNumericText(std::string_view text);

// Whether the text is a calendar date written year-month-day with "-" or "/"
// (one to two digit month and day, four digit year from 0001).
bool IsValidDateText(std::string_view text);
bool IsValidDate(int year, int month, int day);

} // namespace util
