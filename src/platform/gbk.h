#pragma once
// GBK, the code page of the text files the program writes and of its byte
// length checks, whatever the locale of the machine.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Strict conversion: nullopt when a character has no GBK form.
std::optional<std::string> Utf8ToGbk(std::string_view utf8);
// Every character is kept: one that GBK cannot hold is written in its GB18030
// four-byte form (a superset of GBK that Chinese systems read).
std::string Utf8ToGbkLossless(std::string_view utf8);
// Bytes that do not decode become U+FFFD.
std::string GbkToUtf8(std::string_view gbk);

// Bytes of the text in the GBK code page (a Chinese character counts 2).
std::size_t GbkByteLength(std::string_view utf8);

// Writes the lines as a GBK text file with CR LF line ends. False on I/O errors.
bool WriteGbkTextFile(const std::filesystem::path& path, std::string_view utf8Text);

} // namespace platform
