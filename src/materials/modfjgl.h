#pragma once
// Helpers of the materials subsystem: standard file names, the number texts
// of the grids, and the path and folder procedures of the package save.

#include "materials/name_rule.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace materials {

// Turns an entry title into text usable as a file name: spaces around it go,
// line breaks and other control characters go, and the characters reserved in
// file names become look-alikes (\ ╲, / ╱, : ：, * -, ? -, < [, > ], | │, " ＂,
// ; ；, the last because Joliet names cannot hold it).
// A title of only spaces gives "".
std::string ToStandardName(std::string_view title);

// The file name "下载模板" proposes for a material's document template: the
// material name through ToStandardName, and ".doc". A material name from the
// manifest is untrusted: the proposal never holds a separator or a drive and
// never names "." or ".." or a device; when the name gives nothing usable the
// proposal is "报盘模板.doc".
std::string TemplateFileName(std::string_view materialName);

// A number in plain decimal: integers without a decimal point.
std::string DecimalText(double value);
// The text read as a number (leading number, 0 when none) and written back in
// decimal, as the grids pass entry numbers to the manifest.
std::string NumberText(std::string_view text);

// ---- paths and folders (split at "\\" and "/", as GetFolderPart does) ----

// The path up to and including its last separator; "" when it has none.
std::string GetParentFolder(const std::string& path);
// The text after the last dot of the path when that dot comes after the last
// separator; "" otherwise (no dot, or a dot only in a folder name).
std::string GetExtension(const std::string& path);

// Whether a name read from a manifest (a material's fjmc, an entry's fileName
// or standard file name) can be used as one file or folder name inside the
// package folder on every platform and disc the package is read on: the one
// name rule of materials/name_rule.h (NameProblem is "").
bool IsStorableName(std::string_view name);

} // namespace materials
