#include "platform/instance_lock.h"

#include "platform/prompter.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

#ifdef _WIN32

struct InstanceLock::Handle {
    HANDLE file = INVALID_HANDLE_VALUE;
    bool owner = false;     // holds the lock: the file goes when it is released
    bool removable = false; // opened with the right to remove it
    ~Handle() {
        if (file == INVALID_HANDLE_VALUE)
            return;
        if (owner && removable) {
            FILE_DISPOSITION_INFO gone = {TRUE}; // its one member, DeleteFile
            SetFileInformationByHandle(file, FileDispositionInfo, &gone, sizeof gone);
        }
        CloseHandle(file); // also releases the lock
    }
};

namespace {

InstanceLock::Outcome LockHandle(InstanceLock::Handle& handle,
                                 const std::filesystem::path& lockFile) {
    // With the right to remove it when done, else (another user's file) without.
    for (DWORD access :
         {DWORD(GENERIC_READ | GENERIC_WRITE | DELETE), DWORD(GENERIC_READ | GENERIC_WRITE)}) {
        handle.file = CreateFileW(lockFile.c_str(), access,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        handle.removable = (access & DELETE) != 0;
        if (handle.file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_ACCESS_DENIED)
            break;
    }
    if (handle.file == INVALID_HANDLE_VALUE)
        return GetFileAttributesW(lockFile.c_str()) != INVALID_FILE_ATTRIBUTES
                   ? InstanceLock::Outcome::Refused
                   : InstanceLock::Outcome::Unavailable;
    OVERLAPPED whole = {};
    if (LockFileEx(handle.file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                   &whole)) {
        handle.owner = true;
        return InstanceLock::Outcome::Acquired;
    }
    return GetLastError() == ERROR_LOCK_VIOLATION ? InstanceLock::Outcome::HeldElsewhere
                                                  : InstanceLock::Outcome::Unavailable;
}

} // namespace

#else

namespace {

// Whether the open file is still the one that the path names (not through a
// link): the holder removes the file when it ends, and a file locked just as
// it was removed guards nothing.
bool StillNamed(int fd, const std::filesystem::path& path) {
    struct stat opened {};
    struct stat named {};
    return fstat(fd, &opened) == 0 && lstat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

} // namespace

struct InstanceLock::Handle {
    int fd = -1;
    std::filesystem::path path;
    bool owner = false; // holds the lock: the file goes when it is released
    ~Handle() { release(); }
    void release() {
        if (fd < 0)
            return;
        // Removed while still locked, so that nobody locks a file on its way
        // out; only while the name is still this file's.
        if (owner && StillNamed(fd, path))
            unlink(path.c_str());
        close(fd); // also releases the lock
        fd = -1;
        owner = false;
    }
};

namespace {

// flock locks belong to the open file, so a second opening conflicts even
// within one process, and the lock dies with the last descriptor.
InstanceLock::Outcome LockHandle(InstanceLock::Handle& handle,
                                 const std::filesystem::path& lockFile) {
    handle.path = lockFile;
    for (int attempt = 0; attempt < 8; ++attempt) {
        // Not blocking on a pipe of that name, not following a link elsewhere.
        handle.fd =
            open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW, 0644);
        if (handle.fd < 0) {
            const int error = errno;
            struct stat info {};
            // A lock file that exists but refuses us may be another user's lock.
            return lstat(lockFile.c_str(), &info) == 0 || error == ELOOP
                       ? InstanceLock::Outcome::Refused
                       : InstanceLock::Outcome::Unavailable;
        }
        struct stat info {};
        if (fstat(handle.fd, &info) != 0 || !S_ISREG(info.st_mode))
            return InstanceLock::Outcome::Refused;
        if (flock(handle.fd, LOCK_EX | LOCK_NB) != 0)
            return errno == EWOULDBLOCK ? InstanceLock::Outcome::HeldElsewhere
                                        : InstanceLock::Outcome::Unavailable;
        if (StillNamed(handle.fd, lockFile)) {
            handle.owner = true;
            return InstanceLock::Outcome::Acquired;
        }
        handle.release(); // the previous holder removed it meanwhile: try the new one
    }
    return InstanceLock::Outcome::Unavailable;
}

} // namespace

#endif

InstanceLock::InstanceLock(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}
InstanceLock::~InstanceLock() = default;

std::unique_ptr<InstanceLock> InstanceLock::Unguarded() {
    return std::unique_ptr<InstanceLock>(new InstanceLock(nullptr));
}

std::unique_ptr<InstanceLock> InstanceLock::TryAcquire(const std::filesystem::path& lockFile,
                                                       Outcome* outcome) {
    auto handle = std::make_unique<Handle>();
    const Outcome result = LockHandle(*handle, lockFile);
    if (outcome != nullptr)
        *outcome = result;
    if (result != Outcome::Acquired)
        return nullptr;
    return std::unique_ptr<InstanceLock>(new InstanceLock(std::move(handle)));
}

std::unique_ptr<InstanceLock> ClaimProgramFolder(const std::filesystem::path& programFolder) {
    InstanceLock::Outcome outcome = InstanceLock::Outcome::Unavailable;
    std::unique_ptr<InstanceLock> lock =
        InstanceLock::TryAcquire(programFolder / kInstanceLockName, &outcome);
    if (lock)
        return lock;
    if (outcome == InstanceLock::Outcome::Unavailable)
        return InstanceLock::Unguarded();
    Notify(outcome == InstanceLock::Outcome::Refused ? kLockRefusedMessage : kAlreadyRunningMessage,
           "提示", MsgIcon::Exclamation);
    return nullptr;
}

} // namespace platform
