#include "materials/modfjgl.h"

#include "platform/utf8.h"
#include "util/convert.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <system_error>
#include <vector>

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
    case ';':
        return "；";
    default:
        return nullptr;
    }
}

constexpr const char* kSeparators = "\\/";

namespace fs = std::filesystem;

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

std::string TemplateFileName(std::string_view materialName) {
    const std::string name = ToStandardName(materialName) + ".doc";
    return IsStorableName(name) && name != ".doc" ? name : std::string("报盘模板.doc");
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

std::string GetParentFolder(const std::string& path) {
    const std::size_t sep = path.find_last_of(kSeparators);
    return sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
}

std::string GetExtension(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    const std::size_t sep = path.find_last_of(kSeparators);
    if (dot == std::string::npos || (sep != std::string::npos && dot < sep))
        return {};
    return path.substr(dot + 1);
}

bool IsStorableName(std::string_view name) {
    return IsKeptName(name);
}

} // namespace materials
