#pragma once
// Folders opened as handles, so that work inside a folder that came from
// elsewhere never acts outside it. A package folder copied from a disc keeps
// its symbolic links: a material folder may be a link to "../..". Every entry
// here is named by a plain name inside an opened folder; a sub-folder is
// opened without following a link; a rename or removal acts on the entry
// itself, never on what a link names. On POSIX this is the openat family
// (O_NOFOLLOW | O_DIRECTORY); Windows has no such family, so there an entry
// that is a reparse point (a link or a junction) is refused before anything
// is done with it.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace platform {

enum class EntryKind {
    Missing, // nothing of that name
    File,    // a regular file (not a link to one)
    Folder,  // a folder (not a link to one)
    Other,   // a link, a pipe, a device or a socket
};

// Which file an entry is: the same file keeps it through renames on its file
// system, a copy or a new file of the same name does not.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool known() const { return device != 0 || inode != 0; }
    bool operator==(const FileIdentity&) const = default;
};

struct EntryInfo {
    EntryKind kind = EntryKind::Missing;
    FileIdentity identity;
    std::uint64_t size = 0;
};

// Whether the path names a regular file, or a folder, itself (not a link to one).
bool IsRealFile(const std::filesystem::path& path);
bool IsRealFolder(const std::filesystem::path& path);
// What the path leads to, following links (a file the user chose may be
// reached through one): kind, size and identity in one look.
EntryInfo FollowedEntry(const std::filesystem::path& path);

class FolderHandle {
  public:
    FolderHandle();
    ~FolderHandle();
    FolderHandle(FolderHandle&&) noexcept;
    FolderHandle& operator=(FolderHandle&&) noexcept;
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;

    // Opens the folder at `path` (the caller chose it: links on the way and
    // the path itself are followed).
    static FolderHandle Open(const std::filesystem::path& path, std::error_code& error);

    bool valid() const;
    // Where the folder was opened, for messages and for readers that take a path.
    const std::filesystem::path& path() const { return path_; }

    // The entry `name`, not following a link.
    EntryInfo entry(std::string_view name) const;
    // Opens the entry `name` as a folder; a link, or anything else that is no
    // folder, is refused (ELOOP, ENOTDIR).
    FolderHandle openFolder(std::string_view name, std::error_code& error) const;
    // Makes the folder `name`; false when it exists already or cannot be made.
    bool makeFolder(std::string_view name, std::error_code& error) const;
    // Removes the entry `name` when it is a file (a link is removed itself,
    // never what it names); false for a folder.
    bool removeFile(std::string_view name, std::error_code& error) const;
    // Removes the folder `name` when it is empty; a link is refused.
    bool removeFolder(std::string_view name, std::error_code& error) const;
    // Renames `name` onto `to`/`toName`, replacing a file there atomically.
    bool rename(std::string_view name, const FolderHandle& to, std::string_view toName,
                std::error_code& error) const;
    // Makes `to`/`toName` a second name of the file `name` (a hard link).
    bool hardLink(std::string_view name, const FolderHandle& to, std::string_view toName,
                  std::error_code& error) const;
    // The names of the entries (not "." or "..").
    std::vector<std::string> list(std::error_code& error) const;
    // Creates the new file `name` (not replacing anything) and writes the bytes.
    bool writeNewFile(std::string_view name, std::string_view bytes, std::error_code& error) const;
    // The content of the regular file `name` (not through a link), when it
    // holds at most `maxBytes`; false otherwise (EFBIG when it is larger).
    bool readFile(std::string_view name, std::uint64_t maxBytes, std::string& bytes,
                  std::error_code& error) const;
    // Waits until the file's data is on the disk.
    bool syncFile(std::string_view name) const;
    // Waits until the folder's entries are on the disk.
    bool sync() const;

    struct Native; // the system's handle

  private:
    std::unique_ptr<Native> native_;
    std::filesystem::path path_;
};

} // namespace platform
