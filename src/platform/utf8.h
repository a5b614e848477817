#pragma once
// UTF-8 helpers: the program keeps all text as UTF-8 std::string and works on
// characters (code points) where the rules count characters.

#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

// Invalid bytes decode to U+FFFD so no input can make the conversion fail.
std::u32string ToU32(std::string_view utf8);
std::string ToUtf8(std::u32string_view text);
std::string ToUtf8(char32_t ch);
std::size_t CharCount(std::string_view utf8);

std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string PathToUtf8(const std::filesystem::path& path);

// ASCII-only case folding; Chinese and other characters stay as they are.
std::string AsciiUpper(std::string text);
std::string AsciiLower(std::string text);
bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);

} // namespace platform
