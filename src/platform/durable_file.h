#pragma once
// Files that take their name only once their whole content is on the disk.
//
// Every file the program writes for keeps (a scanned or shrunk PDF, a printed
// PDF, the working copy of the manifest, the copied template database) is
// written under a temporary name beside its target, flushed, renamed onto the
// target and the folder flushed: after a crash or a power loss the target
// holds its old content or the whole new one, never an empty or partial file.

#include <filesystem>
#include <functional>
#include <string_view>
#include <system_error>

namespace platform {

// The temporary name beside `target` that the functions below write under.
std::filesystem::path TemporaryBeside(const std::filesystem::path& target);

// Makes the finished file `temporary` the content of `target`: its data is
// flushed, it is renamed onto `target` (replacing it atomically) and the
// folder is flushed. On failure `temporary` is removed and `target` keeps
// what it held; the error says why.
std::error_code CommitTemporary(const std::filesystem::path& temporary,
                                const std::filesystem::path& target);

// Writes the bytes as the whole new content of `target` (see above).
std::error_code WriteFileDurably(const std::filesystem::path& target, std::string_view bytes);

// Lets `write` fill the temporary file beside `target` (it returns false, or
// throws, when it failed), then commits it as CommitTemporary does. For
// writers that take a file name (qpdf, libjpeg on a FILE*).
std::error_code
WriteThroughTemporary(const std::filesystem::path& target,
                      const std::function<bool(const std::filesystem::path& temporary)>& write);

} // namespace platform
