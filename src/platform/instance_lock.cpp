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
    ~Handle() {
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file); // also releases the lock
    }
};

namespace {

InstanceLock::Outcome LockHandle(InstanceLock::Handle& handle,
                                 const std::filesystem::path& lockFile) {
    handle.file = CreateFileW(lockFile.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle.file == INVALID_HANDLE_VALUE)
        return GetFileAttributesW(lockFile.c_str()) != INVALID_FILE_ATTRIBUTES
                   ? InstanceLock::Outcome::Refused
                   : InstanceLock::Outcome::Unavailable;
    OVERLAPPED whole = {};
    if (LockFileEx(handle.file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                   &whole))
        return InstanceLock::Outcome::Acquired;
    return GetLastError() == ERROR_LOCK_VIOLATION ? InstanceLock::Outcome::HeldElsewhere
                                                  : InstanceLock::Outcome::Unavailable;
}

} // namespace

#else

struct InstanceLock::Handle {
    int fd = -1;
    ~Handle() {
        if (fd >= 0)
            close(fd); // also releases the lock
    }
};

namespace {

// flock locks belong to the open file, so a second opening conflicts even
// within one process, and the lock dies with the last descriptor.
InstanceLock::Outcome LockHandle(InstanceLock::Handle& handle,
                                 const std::filesystem::path& lockFile) {
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
    if (flock(handle.fd, LOCK_EX | LOCK_NB) == 0)
        return InstanceLock::Outcome::Acquired;
    return errno == EWOULDBLOCK ? InstanceLock::Outcome::HeldElsewhere
                                : InstanceLock::Outcome::Unavailable;
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
