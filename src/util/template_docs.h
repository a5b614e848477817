#pragma once
// The stored files of the selected item's row of 资料模板: the manifest
// template (XML模板), the document template (DOC模板) and the package size
// limit (文件大小), and the "下载模板" action that saves the document template.

#include <cstdint>
#include <string>

namespace util {

// Writes XML模板 of the selected item's row to `path` byte for byte, creating
// or replacing the file. False (no file) when the row is missing; throws when
// the value is null or the file cannot be written.
bool ExtractXmlTemplate(const std::string& path);
// The same with DOC模板.
bool ExtractDocTemplate(const std::string& path);

// 文件大小 of the selected item's row as a whole number of MB; 200 when the
// column, the row or a non-zero leading number is missing.
std::int16_t ReadSizeLimit();

inline constexpr std::int16_t kDefaultSizeLimitMb = 200;

// "下载模板": asks where to save the document template (proposing
// `proposedName`), asks before replacing an existing file and reports success.
// Cancelling or any failure ends it silently. True when the file was written.
bool DownloadDocTemplate(const std::string& proposedName);

} // namespace util
