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
    enum class Outcome { Acquired, HeldElsewhere, Unavailable };
    // The lock on `lockFile` (created when missing), or nullptr when another
    // holder has it (HeldElsewhere) or the file cannot be opened or locked at all
    // (Unavailable: read-only folder, file system without locks).
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

// Start-up's first step: the lock of the program folder, held for as long as
// the returned object lives. When another instance holds it, tells the user
// (notice "提示") and returns nullptr: the caller ends without touching anything.
// Where no lock can be had at all (a read-only folder, where no working copy can
// be written either), the program runs unguarded: an empty lock is returned.
std::unique_ptr<InstanceLock> ClaimProgramFolder(const std::filesystem::path& programFolder);

} // namespace platform
