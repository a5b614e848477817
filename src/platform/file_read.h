#pragma once
// Reading files that come from elsewhere (a package on a disc, a manifest
// opened with "打开", the template database): only a regular file is ever
// opened for its content, the opening never blocks (a pipe or a device of
// that name is refused before anything is read from it), and no more than a
// given size is read into memory.

#include <cstdint>
#include <filesystem>
#include <string>

namespace platform {

enum class ReadFailure {
    None,
    Missing,    // nothing of that name, or the path is empty
    NotAFile,   // a folder, a pipe, a device or a socket
    TooLarge,   // larger than the limit the caller gave
    Unreadable, // exists but cannot be opened or read
};

struct FileContent {
    ReadFailure failure = ReadFailure::None;
    std::string bytes;

    bool ok() const { return failure == ReadFailure::None; }
};

// The whole content of the regular file (a link to one is followed), or why
// not. The size is checked on the opened file, so a file swapped for a pipe
// between a test and the opening is refused all the same.
FileContent ReadRegularFile(const std::filesystem::path& path, std::uintmax_t maxBytes);

// Whether the path names a regular file that can be opened for reading; the
// test opens nothing that is not a regular file.
bool IsReadableRegularFile(const std::filesystem::path& path);

} // namespace platform
