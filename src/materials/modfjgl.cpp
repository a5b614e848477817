#include "materials/modfjgl.h"

#include "util/convert.h"

#include <charconv>
#include <cmath>

namespace materials {
namespace {

std::string_view TrimSpaces(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Every reserved character is ASCII, so it never occurs inside a multi-byte
// UTF-8 sequence and the text can be walked byte by byte.
const char* Substitute(char c) {
    switch (c) {
    case '\\':
        return "╲";
    case '/':
        return "╱";
    case ':':
        return "：";
    case '*':
        return "-";
    case '?':
        return "-";
    case '<':
        return "[";
    case '>':
        return "]";
    case '|':
        return "│";
    case '"':
        return "＂";
    default:
        return nullptr;
    }
}

} // namespace

std::string ToStandardName(std::string_view title) {
    std::string kept;
    for (char c : TrimSpaces(title))
        if (static_cast<unsigned char>(c) >= 0x20)
            kept += c;
    std::string name;
    for (char c : TrimSpaces(kept)) {
        if (const char* substitute = Substitute(c))
            name += substitute;
        else
            name += c;
    }
    return name;
}

std::string DecimalText(double value) {
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15)
        return std::to_string(static_cast<long long>(value));
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string NumberText(std::string_view text) {
    return DecimalText(util::LeadingNumber(text));
}

} // namespace materials
