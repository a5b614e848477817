#pragma once
// Copying file content for the package save, and making what was written
// durable: a file's data, and a folder's entries after files were created,
// renamed or removed in it.
//
// A copy is done in chunks so the caller can report progress between them;
// the copied data is handed to the disk (write-back started) at the end of the
// copy without waiting, so SyncFile later finds most of it written already.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <system_error>
#include <vector>

namespace platform {

struct CopyResult {
    // Changed: the source changed while it was copied (its size or time of
    // change differs at the end, or another amount was read than it had):
    // the copy may hold part of the old and part of the new content.
    enum class Failure { None, Read, Write, Changed };
    Failure failure = Failure::None;
    std::error_code error;

    bool ok() const { return failure == Failure::None; }
};

// Copies the content of the regular file `from` into `to` (created, or emptied
// when it exists). A source that is not a regular file (a folder, a device, a
// pipe) is refused as a read failure before anything is read from it, so it
// can never block or run without end. `progress` receives the bytes copied so
// far after every chunk of at most `chunkBytes`. On failure `to` may hold part
// of the data; the caller removes it.
CopyResult CopyFileData(const std::filesystem::path& from, const std::filesystem::path& to,
                        std::size_t chunkBytes,
                        const std::function<void(std::uint64_t)>& progress = {});

// Waits until the file's data is on the disk. False when it cannot be opened
// or the system reports an error.
bool SyncFile(const std::filesystem::path& file);
// Waits until the data of all the files and the entries of all the folders
// are on the disk, all on one file system. One wait for the lot: much cheaper
// than one per file, where every flush also commits the file system's
// journal. False when any of them fails.
bool SyncAll(const std::vector<std::filesystem::path>& files,
             const std::vector<std::filesystem::path>& folders);
// Waits until the entries of the folder are on the disk (a rename into it
// survives a power loss once this returns true).
bool SyncFolder(const std::filesystem::path& folder);

// Makes `link` a second name of the file `target` (a hard link). False, with
// `error` set, where the file system has none (FAT, exFAT, some shares).
bool MakeHardLink(const std::filesystem::path& target, const std::filesystem::path& link,
                  std::error_code& error);

// Whether files cannot be made in the folder: a read-only medium, or a folder
// closed to this user. Asks without writing anything.
bool IsReadOnlyFolder(const std::filesystem::path& folder);

// Fault seam for the tests of the save: while a hook is set, each flush
// (SyncFile, SyncAll, SyncFolder), hard link, rename of a file into place or
// file lock first asks it, and fails without doing anything when it answers
// true. Empty hook: no faults.
// The hook also learns what the call acts on: the file or folder flushed, the
// place a file is renamed or linked to, the lock file.
enum class FaultPoint { Flush, HardLink, Rename, Lock };
void SetFaultHook(std::function<bool(FaultPoint, const std::filesystem::path&)> hook);
void SetFaultHook(std::function<bool(FaultPoint)> hook);
void ClearFaultHook();
// Whether the hook fails this call (false when no hook is set).
bool FaultInjected(FaultPoint point, const std::filesystem::path& subject = {});

} // namespace platform
