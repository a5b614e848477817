#pragma once
// Where the running program lies, asked of the system (never guessed from the
// command line alone): a program started through PATH or from a shortcut with
// another working directory must still find the files beside it.

#include <filesystem>

namespace platform {

// Full path of the running executable; empty when the system cannot say.
std::filesystem::path ExecutablePath();

// Folder of the running executable. When the system cannot say, `argv0` is
// used as a last resort (made absolute against the working directory).
std::filesystem::path ExecutableFolder(const char* argv0 = nullptr);

// The read-only files an installed program brings (bundled template database,
// font aliases) lie in <prefix>/share/quillor for a program in <prefix>/bin.
// This folder for `executableFolder`, whether it exists or not.
std::filesystem::path InstalledShareFolder(const std::filesystem::path& executableFolder);

} // namespace platform
