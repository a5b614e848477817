#pragma once
// A lock file that one holder at a time owns: one program per data folder
// (the working manifest copy "TempXml.XML" has a fixed name there, so a
// second instance would share and corrupt it), one save or repair per
// package folder.
//
// One scheme on every file system. The file is created exclusively and holds
// the holder's host, process id and the time it was taken; where the system
// has flock, it is also flocked, and the system releases that lock when the
// holder ends in any way (closed, crashed or killed). So:
// - where flock works, a lock file that nobody has flocked is stale, whoever
//   left it (another user's file that cannot be written is opened read-only
//   and flocked all the same);
// - where it does not (ENOLCK, for example a network share without its lock
//   daemon), the exclusive creation is the lock: a file of this host whose
//   process is gone is stale and removed; a file of another host is never
//   taken as stale by itself (its holder may still run there): the caller
//   names host, process and time and may remove it after asking;
// - a lock file that is a link, a pipe or a folder is refused and named.
// A holder that ends normally removes the file, so the folder is left as it
// was found. (A share mounted with "nolock" lets flock succeed on one machine
// only: two machines then do not see each other's locks.)

#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

namespace platform {

// What a lock file says of its holder ("" and 0 where it says nothing).
struct LockHolder {
    std::string host;
    long pid = 0;
    std::string time; // "2026-12-07 22:46:22", the holder's local time
};

class InstanceLock {
  public:
    enum class Outcome {
        Acquired,
        HeldElsewhere, // a running holder has it
        OtherHost,     // no flock here, and the file is another host's: may be held
        Refused,       // the lock file is a link, a pipe, a folder or another kind of entry
        Unavailable,   // no lock file can be made (a read-only or closed folder, a full disk)
    };
    struct Attempt {
        Outcome outcome = Outcome::Unavailable;
        LockHolder holder; // HeldElsewhere, OtherHost: what the file says
        std::string kind; // Refused: what the entry is ("符号链接", "管道", "文件夹", ...)
        std::error_code error; // Unavailable: why
    };
    // The lock on `lockFile` (see the top of this file), or nullptr with the reason.
    static std::unique_ptr<InstanceLock> TryAcquire(const std::filesystem::path& lockFile,
                                                    Attempt* attempt = nullptr);
    static std::unique_ptr<InstanceLock> TryAcquire(const std::filesystem::path& lockFile,
                                                    Outcome* outcome);
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

// Whether a lock file is held now, without taking or changing it: Acquired
// stands for "free" (no file, or a stale one), the others as above.
InstanceLock::Attempt ProbeLock(const std::filesystem::path& lockFile);

// Removes a lock file that the user has declared stale (a regular file only).
bool RemoveLockFile(const std::filesystem::path& lockFile);

// The holder in words: "计算机 host 上的进程 pid（time 起）".
std::string DescribeHolder(const LockHolder& holder);

// Name of the lock file in the program folder.
inline constexpr const char* kInstanceLockName = "TempXml.lock";
// Message shown by an instance that finds the folder taken.
inline constexpr const char* kAlreadyRunningMessage = "程序已经在运行，不能重复启动。";
// Message shown when the lock file cannot be used: whether another instance
// works in the folder cannot be known, so the program does not start.
inline constexpr const char* kLockRefusedMessage =
    "程序文件夹中的锁定文件 TempXml.lock 不是普通文件，无法确认是否已有程序在运行，程序不能启动。"
    "\r\n请检查该文件，在确认没有程序运行后删除它。";

// Start-up's first step: the lock of the program folder, held for as long as
// the returned object lives. When another instance holds it, or the lock file
// cannot be used, tells the user (notice "提示") and returns nullptr: the
// caller ends without touching anything. A lock of another computer (a data
// folder on a share without locks) is removed only when the user says so.
// Where no lock file can be made at all (a read-only folder, where no working
// copy can be written either), the program runs unguarded: an empty lock is
// returned.
std::unique_ptr<InstanceLock> ClaimProgramFolder(const std::filesystem::path& programFolder);

} // namespace platform
