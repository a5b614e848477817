#include "util/convert.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <limits>
#include <string>

namespace util {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Length of the numeric prefix starting at text[0]; 0 when there is none.
std::size_t NumericPrefixLength(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i < text.size() && IsDigit(text[i]))
        ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            ++j;
        std::size_t expDigits = 0;
        while (j < text.size() && IsDigit(text[j]))
            ++j, ++expDigits;
        if (expDigits > 0)
            i = j;
    }
    return i;
}

double ParseNumber(std::string_view text) {
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

template <typename Int> Int RoundTo(double value) {
    if (!std::isfinite(value))
        throw ConversionError("not a number");
    const double rounded = std::nearbyint(value); // default mode: halves to even
    if (rounded < std::numeric_limits<Int>::min() || rounded > std::numeric_limits<Int>::max())
        throw ConversionError("overflow: " + std::to_string(value));
    return static_cast<Int>(rounded);
}

std::string_view TrimBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    const std::size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

bool ReadDigits(std::string_view& text, std::size_t minDigits, std::size_t maxDigits, int& out) {
    std::size_t n = 0;
    while (n < text.size() && n < maxDigits && IsDigit(text[n]))
        ++n;
    if (n < minDigits || (n < text.size() && IsDigit(text[n])))
        return false;
    out = 0;
    std::from_chars(text.data(), text.data() + n, out);
    text.remove_prefix(n);
    return true;
}

} // namespace

double LeadingNumber(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return 0;
    text.remove_prefix(first);
    const std::size_t length = NumericPrefixLength(text);
    return length == 0 ? 0 : ParseNumber(text.substr(0, length));
}

std::int16_t RoundToInt16(double value) {
    return RoundTo<std::int16_t>(value);
}
std::int32_t RoundToInt32(double value) {
    return RoundTo<std::int32_t>(value);
}

bool IsNumericText(std::string_view text) {
    text = TrimBlanks(text);
    return !text.empty() && NumericPrefixLength(text) == text.size();
}

bool IsValidDate(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31)
        return false;
    return std::chrono::year_month_day(std::chrono::year(year),
                                       std::chrono::month(static_cast<unsigned>(month)),
                                       std::chrono::day(static_cast<unsigned>(day)))
        .ok();
}

bool IsValidDateText(std::string_view text) {
    text = TrimBlanks(text);
    int year = 0, month = 0, day = 0;
    if (!ReadDigits(text, 4, 4, year) || text.empty())
        return false;
    const char separator = text.front();
    if (separator != '-' && separator != '/')
        return false;
    text.remove_prefix(1);
    if (!ReadDigits(text, 1, 2, month) || text.empty() || text.front() != separator)
        return false;
    text.remove_prefix(1);
    if (!ReadDigits(text, 1, 2, day) || !text.empty())
        return false;
    return IsValidDate(year, month, day);
}

} // namespace util
