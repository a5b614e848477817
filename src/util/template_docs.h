#pragma once
// The stored files of the selected item's row of 资料模板: the manifest
// template (XML模板), the document template (DOC模板) and the package size
// limit (文件大小), and the "下载模板" action that saves the document template.

#include <cstdint>
#include <string>

namespace util {

// Writes XML模板 of the selected item's row to `path` byte for byte, creating
// or replacing the file. False (no file) when the row is missing, and after a
// message when the value is longer than kMaxXmlTemplateBytes (its length is
// asked of the database first: such a value is never read); throws when the
// value is null or the file cannot be written.
bool ExtractXmlTemplate(const std::string& path);
// The same with DOC模板 (at most kMaxDocTemplateBytes).
bool ExtractDocTemplate(const std::string& path);

// The manifest reader's limit (platform::kMaxXmlFileBytes), and a generous
// one for a Word document (the document templates known are a few kilobytes
// of RTF).
inline constexpr std::uint64_t kMaxXmlTemplateBytes = std::uint64_t{16} << 20;
inline constexpr std::uint64_t kMaxDocTemplateBytes = std::uint64_t{64} << 20;

// 文件大小 of the selected item's row as a whole number of MB; 200 when the
// column, the row or a non-zero leading number is missing.
std::int16_t ReadSizeLimit();

inline constexpr std::int16_t kDefaultSizeLimitMb = 200;

// "下载模板": asks where to save the document template (proposing
// `proposedName`), asks before replacing an existing file and reports success.
// Cancelling or any failure ends it silently. True when the file was written.
bool DownloadDocTemplate(const std::string& proposedName);

} // namespace util
