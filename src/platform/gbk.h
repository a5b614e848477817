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

// GB18030, the superset of GBK that Utf8ToGbkLossless writes for characters
// outside GBK: strict (nullopt when a character has no form), and the reverse,
// in which a byte that does not decode becomes U+FFFD and the bytes after it
// are read afresh (a bad byte never swallows the character after it).
std::optional<std::string> Utf8ToGb18030(std::string_view utf8);
std::string Gb18030ToUtf8(std::string_view gb18030);

// Bytes of the text in the GBK code page (a Chinese character counts 2).
std::size_t GbkByteLength(std::string_view utf8);

// Writes the lines as a GB18030 text file (GBK for every character GBK holds
// except "€", which GBK writes as 0x80) with CR LF line ends; read it back
// with Gb18030ToUtf8. False on I/O errors.
bool WriteGbkTextFile(const std::filesystem::path& path, std::string_view utf8Text);
// The bytes that WriteGbkTextFile writes.
std::string GbkTextBytes(std::string_view utf8Text);

} // namespace platform
