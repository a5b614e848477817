#pragma once
// One running program per program folder: the working manifest copy
// "TempXml.XML" has a fixed name there, so a second instance would share and
// corrupt it. The lock is an operating-system lock on a file beside it; the
// system releases it when the holder ends in any way (closed, crashed or
// killed), so a dead instance never locks the user out. A holder that ends
// normally removes the file, so the folder is left as it was found.

#include <filesystem>
#include <memory>

namespace platform {

class InstanceLock {
  public:
    enum class Outcome { Acquired, HeldElsewhere, Unavailable, Refused };
    // The lock on `lockFile` (created when missing), or nullptr when another
    // holder has it (HeldElsewhere), when the file exists but cannot be opened
    // for writing or is no regular file (Refused: another user's instance may
    // hold it), or when no lock can be had at all (Unavailable: the file cannot
    // be created in a read-only folder, a file system without locks).
    static std::unique_ptr<InstanceLock> TryAcquire(const std::filesystem::path& lockFile,
                                                    Outcome* outcome = nullptr);
    // A lock object that guards nothing (where no lock can be had).
    static std::unique_ptr<InstanceLock> Unguarded();
    ~InstanceLock();
    struct Handle; // the open lock file of the system
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

  private:
    explicit InstanceLock(std::unique_ptr<Handle> handle);
    std::unique_ptr<Handle> handle_;
};

// Name of the lock file in the program folder.
inline constexpr const char* kInstanceLockName = "TempXml.lock";
// Message shown by an instance that finds the folder taken.
inline constexpr const char* kAlreadyRunningMessage = "程序已经在运行，不能重复启动。";
// Message shown when the lock file exists but cannot be used: whether another
// instance works in the folder cannot be known, so the program does not start.
inline constexpr const char* kLockRefusedMessage =
    "程序文件夹中的锁定文件 TempXml.lock 无法写入，无法确认是否已有程序在运行，程序不能启动。"
    "\r\n请检查该文件的权限，或在确认没有程序运行后删除该文件。";

// Start-up's first step: the lock of the program folder, held for as long as
// the returned object lives. When another instance holds it, or the lock file
// exists but cannot be used, tells the user (notice "提示") and returns
// nullptr: the caller ends without touching anything. Where no lock file can
// be made at all (a read-only folder, where no working copy can be written
// either), the program runs unguarded: an empty lock is returned.
std::unique_ptr<InstanceLock> ClaimProgramFolder(const std::filesystem::path& programFolder);

} // namespace platform
