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

bool RemoveTree(const fs::path& folder, const std::function<void()>& idle) {
    std::error_code error;
    // Read, write and search rights on the folder, so its entries can be
    // listed and removed (on Windows this clears the read-only attribute).
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, error);
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        entries.push_back(*it);
    for (const fs::directory_entry& entry : entries) {
        if (idle)
            idle();
        const fs::file_status status = entry.symlink_status(error);
        if (fs::is_directory(status)) {
            RemoveTree(entry.path(), idle);
            continue;
        }
        if (!fs::is_symlink(status))
            fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, error);
        fs::remove(entry.path(), error);
    }
    fs::remove(folder, error);
    return !fs::exists(fs::symlink_status(folder, error));
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

bool MakePath(const std::string& path) {
    std::error_code error;
    // Each prefix ending before a separator is a folder of the path; the first
    // (a drive such as C:, or nothing before a leading separator) is taken as
    // it stands by create_directory, which passes over what exists.
    for (std::size_t sep = path.find_first_of(kSeparators); sep != std::string::npos;
         sep = path.find_first_of(kSeparators, sep + 1))
        if (sep > 0)
            fs::create_directory(platform::PathFromUtf8(path.substr(0, sep)), error);
    if (path.empty())
        return false;
    const fs::path whole = platform::PathFromUtf8(path);
    fs::create_directory(whole, error);
    return fs::is_directory(whole, error);
}

bool DeleteFolderTree(const std::string& folder, const std::function<void()>& idle) {
    if (folder.empty())
        return false;
    const fs::path path = platform::PathFromUtf8(folder);
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    if (fs::is_symlink(status)) {
        fs::remove(path, error);
        return !error;
    }
    if (!fs::exists(status))
        return true;
    if (!fs::is_directory(status))
        return false;
    return RemoveTree(path, idle);
}

bool IsStorableName(std::string_view name) {
    return IsKeptName(name);
}

} // namespace materials
