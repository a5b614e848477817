#pragma once
// The Windows face names the windows use (宋体, 楷体_GB2312, 仿宋_GB2312, 黑体)
// resolve through a fontconfig alias file shipped with the program.

#include <QString>

#include <filesystem>
#include <string>

namespace util::ui {

inline constexpr const char* kFontAliasFileName = "quillor-fonts.conf";

// Folder of the running executable, found before any QApplication exists.
std::filesystem::path ExecutableFolder(const char* argv0);

// The alias file beside the program (fonts/ next to it or one folder up) or
// in the shared data of an installed program; empty when there is none.
std::filesystem::path FindFontAliasFile(const std::filesystem::path& executableFolder);

// Adds the aliases to the current fontconfig configuration. Call before the
// QApplication is created. False when the file is missing or invalid.
bool LoadFontAliases(const std::filesystem::path& aliasFile);

// The family fontconfig picks for a face name (as windows would get it).
std::string ResolvedFamily(const std::string& faceName);

// The same for the fonts of the windows, asked once per name. Qt resolves an
// alias such as 宋体 itself, but only after sorting every installed font into
// a fallback list, which costs each window's first text a few milliseconds.
QString InstalledFamily(const QString& faceName);

} // namespace util::ui
