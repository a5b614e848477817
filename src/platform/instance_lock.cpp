#include "platform/instance_lock.h"

#include "platform/file_copy.h"
#include "platform/prompter.h"

#include <chrono>
#include <ctime>
#include <string_view>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

constexpr std::size_t kMaxLockText = 4096;
// A lock file without content is being written by its creator, or was left
// by one killed at once; one this old is the latter.
constexpr auto kEmptyLockAge = std::chrono::seconds(30);

std::string LocalTime() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
#ifdef _WIN32
    localtime_s(&parts, &now);
#else
    localtime_r(&now, &parts);
#endif
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

// The lock file's content: the process id, the program, the host and the
// time, one per line.
std::string HolderText(long pid, const std::string& host) {
    return std::to_string(pid) + "\nquillor\n" + host + "\n" + LocalTime() + "\n";
}

LockHolder ParseHolder(std::string_view text) {
    LockHolder holder;
    std::string lines[4];
    int n = 0;
    for (std::size_t at = 0; at < text.size() && n < 4;) {
        const std::size_t end = text.find('\n', at);
        lines[n++] = std::string(text.substr(at, end == std::string_view::npos ? end : end - at));
        if (end == std::string_view::npos)
            break;
        at = end + 1;
    }
    char* stop = nullptr;
    const long pid = std::strtol(lines[0].c_str(), &stop, 10);
    if (lines[0].empty() || *stop != '\0' || pid <= 0)
        return holder;
    holder.pid = pid;
    holder.host = lines[2];
    holder.time = lines[3];
    return holder;
}

} // namespace

std::string DescribeHolder(const LockHolder& holder) {
    if (holder.pid == 0)
        return "未知的程序";
    std::string text = "计算机 " + (holder.host.empty() ? std::string("（未知）") : holder.host) +
                       " 上的进程 " + std::to_string(holder.pid);
    if (!holder.time.empty())
        text += "（" + holder.time + " 起）";
    return text;
}

#ifdef _WIN32

namespace {

std::string HostName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &size))
        return {};
    const std::u8string utf8 = std::filesystem::path(std::wstring(name, size)).u8string();
    return std::string(utf8.begin(), utf8.end());
}

} // namespace

// Windows locks byte ranges on every file system it writes to (shares
// included), and releases them when the holder ends.
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

InstanceLock::Attempt LockHandle(InstanceLock::Handle& handle,
                                 const std::filesystem::path& lockFile, bool probe = false) {
    InstanceLock::Attempt attempt;
    const DWORD attributes = GetFileAttributesW(lockFile.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))) {
        attempt.outcome = InstanceLock::Outcome::Refused;
        attempt.kind = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? "符号链接" : "文件夹";
        return attempt;
    }
    for (DWORD access : {DWORD(GENERIC_READ | GENERIC_WRITE | DELETE), DWORD(GENERIC_READ)}) {
        handle.file = CreateFileW(lockFile.c_str(), access,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        handle.removable = (access & DELETE) != 0;
        if (handle.file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_ACCESS_DENIED)
            break;
    }
    if (handle.file == INVALID_HANDLE_VALUE) {
        attempt.error = std::error_code(static_cast<int>(GetLastError()), std::system_category());
        return attempt;
    }
    OVERLAPPED whole = {};
    if (!LockFileEx(handle.file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                    &whole)) {
        if (GetLastError() == ERROR_LOCK_VIOLATION) {
            attempt.outcome = InstanceLock::Outcome::HeldElsewhere;
            char text[kMaxLockText] = {};
            DWORD got = 0;
            if (ReadFile(handle.file, text, sizeof text - 1, &got, nullptr))
                attempt.holder = ParseHolder(std::string_view(text, got));
        } else {
            attempt.error =
                std::error_code(static_cast<int>(GetLastError()), std::system_category());
        }
        return attempt;
    }
    attempt.outcome = InstanceLock::Outcome::Acquired;
    if (probe)
        return attempt;
    handle.owner = true;
    const std::string text = HolderText(static_cast<long>(GetCurrentProcessId()), HostName());
    DWORD put = 0;
    SetFilePointer(handle.file, 0, nullptr, FILE_BEGIN);
    SetEndOfFile(handle.file);
    WriteFile(handle.file, text.data(), static_cast<DWORD>(text.size()), &put, nullptr);
    return attempt;
}

} // namespace

InstanceLock::Attempt ProbeLock(const std::filesystem::path& lockFile) {
    InstanceLock::Attempt attempt;
    InstanceLock::Handle handle;
    if (GetFileAttributesW(lockFile.c_str()) == INVALID_FILE_ATTRIBUTES) {
        attempt.outcome = InstanceLock::Outcome::Acquired;
        return attempt;
    }
    return LockHandle(handle, lockFile, true);
}

bool RemoveLockFile(const std::filesystem::path& lockFile) {
    const DWORD attributes = GetFileAttributesW(lockFile.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           !(attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) &&
           DeleteFileW(lockFile.c_str());
}

#else

namespace {

std::string HostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}

// Whether the open file is still the one that the path names (not through a
// link): the holder removes the file when it ends, and a file locked just as
// it was removed guards nothing.
bool StillNamed(int fd, const std::filesystem::path& path) {
    struct stat opened {};
    struct stat named {};
    return fstat(fd, &opened) == 0 && lstat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

std::string KindOf(mode_t mode) {
    if (S_ISLNK(mode))
        return "符号链接";
    if (S_ISDIR(mode))
        return "文件夹";
    if (S_ISFIFO(mode))
        return "管道";
    if (S_ISSOCK(mode))
        return "套接字";
    return "设备文件";
}

std::string ReadText(int fd) {
    std::string text(kMaxLockText, '\0');
    const ssize_t n = pread(fd, text.data(), text.size(), 0);
    text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return text;
}

bool WriteText(int fd, const std::string& text) {
    return ftruncate(fd, 0) == 0 &&
           pwrite(fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size());
}

// flock, or whether the system has none here.
enum class Flock { Locked, Held, Unsupported };
Flock TryFlock(int fd, int operation) {
    if (FaultInjected(FaultPoint::Lock, {}))
        return Flock::Unsupported;
    if (flock(fd, operation | LOCK_NB) == 0)
        return Flock::Locked;
    return errno == EWOULDBLOCK ? Flock::Held : Flock::Unsupported;
}

bool ProcessRuns(long pid) {
    return pid > 0 && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

// Where flock does not work: what the file's content says of its holder.
InstanceLock::Outcome JudgeByContent(int fd, const LockHolder& holder) {
    if (holder.pid == 0) {
        struct stat info {};
        const auto age = std::chrono::system_clock::now() -
                         std::chrono::system_clock::from_time_t(
                             fstat(fd, &info) == 0 ? info.st_mtime : std::time(nullptr));
        return age > kEmptyLockAge ? InstanceLock::Outcome::Acquired
                                   : InstanceLock::Outcome::HeldElsewhere;
    }
    if (holder.host != HostName())
        return InstanceLock::Outcome::OtherHost;
    return ProcessRuns(holder.pid) ? InstanceLock::Outcome::HeldElsewhere
                                   : InstanceLock::Outcome::Acquired;
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
        close(fd); // also releases the flock
        fd = -1;
        owner = false;
    }
};

namespace {

// Opens an existing lock file without following a link or blocking on a
// pipe: for writing where allowed, else for reading (another user's file).
int OpenExisting(const std::filesystem::path& lockFile, InstanceLock::Attempt& attempt) {
    int fd = open(lockFile.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS))
        fd = open(lockFile.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat info {};
    if (fd >= 0 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
        return fd;
    if (fd >= 0)
        close(fd);
    struct stat entry {};
    if (lstat(lockFile.c_str(), &entry) == 0 && !S_ISREG(entry.st_mode)) {
        attempt.outcome = InstanceLock::Outcome::Refused;
        attempt.kind = KindOf(entry.st_mode);
    }
    return -1;
}

// The lock file, made here: flocked where that works (Held: another one took
// this file as stale between its creation and now, and has it), then named
// for this process.
InstanceLock::Attempt TakeMadeFile(InstanceLock::Handle& handle, long self) {
    InstanceLock::Attempt attempt;
    if (TryFlock(handle.fd, LOCK_EX) == Flock::Held) {
        handle.release();
        attempt.outcome = InstanceLock::Outcome::HeldElsewhere;
        return attempt;
    }
    handle.owner = true;
    if (!WriteText(handle.fd, HolderText(self, HostName()))) {
        attempt.error = std::error_code(errno, std::generic_category());
        handle.release();
        return attempt; // a full disk: the holder could not be named
    }
    attempt.outcome = InstanceLock::Outcome::Acquired;
    return attempt;
}

// Why the lock file could not be made, when it was not there already
// (`error`): a name that is no file is refused, anything else is the error.
InstanceLock::Attempt CreationFailure(const std::filesystem::path& lockFile, int error) {
    InstanceLock::Attempt attempt;
    struct stat entry {};
    if (lstat(lockFile.c_str(), &entry) == 0 && !S_ISREG(entry.st_mode)) {
        attempt.outcome = InstanceLock::Outcome::Refused; // a dangling link, say
        attempt.kind = KindOf(entry.st_mode);
    } else {
        attempt.error = std::error_code(error, std::generic_category());
    }
    return attempt;
}

InstanceLock::Attempt LockHandle(InstanceLock::Handle& handle,
                                 const std::filesystem::path& lockFile) {
    InstanceLock::Attempt attempt;
    handle.path = lockFile;
    const long self = static_cast<long>(getpid());
    for (int round = 0; round < 8; ++round) {
        attempt = {};
        handle.fd =
            open(lockFile.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (handle.fd >= 0)
            return TakeMadeFile(handle, self);
        if (errno != EEXIST)
            return CreationFailure(lockFile, errno);
        handle.fd = OpenExisting(lockFile, attempt);
        if (handle.fd < 0) {
            if (attempt.outcome == InstanceLock::Outcome::Refused)
                return attempt;
            continue; // removed meanwhile: make it anew
        }
        attempt.holder = ParseHolder(ReadText(handle.fd));
        switch (TryFlock(handle.fd, LOCK_EX)) {
        case Flock::Held:
            handle.release();
            attempt.outcome = InstanceLock::Outcome::HeldElsewhere;
            return attempt;
        case Flock::Locked:
            // Nobody holds it: stale, whoever left it. Taken over in place.
            if (!StillNamed(handle.fd, lockFile)) {
                handle.release();
                continue;
            }
            handle.owner = true;
            WriteText(handle.fd, HolderText(self, HostName())); // fails on another user's file
            attempt.holder = {};
            attempt.outcome = InstanceLock::Outcome::Acquired;
            return attempt;
        case Flock::Unsupported:
            break;
        }
        attempt.outcome = JudgeByContent(handle.fd, attempt.holder);
        if (attempt.holder.pid == self && attempt.holder.host == HostName())
            attempt.outcome = InstanceLock::Outcome::HeldElsewhere; // this process holds it
        if (attempt.outcome != InstanceLock::Outcome::Acquired) {
            handle.release();
            return attempt;
        }
        // Stale: removed, and made anew exclusively (a rival doing the same
        // at once loses the exclusive creation).
        if (StillNamed(handle.fd, lockFile))
            unlink(lockFile.c_str());
        handle.release();
    }
    attempt = {};
    attempt.outcome = InstanceLock::Outcome::HeldElsewhere;
    return attempt;
}

} // namespace

InstanceLock::Attempt ProbeLock(const std::filesystem::path& lockFile) {
    InstanceLock::Attempt attempt;
    struct stat entry {};
    if (lstat(lockFile.c_str(), &entry) != 0) {
        attempt.outcome = InstanceLock::Outcome::Acquired;
        return attempt;
    }
    const int fd = OpenExisting(lockFile, attempt);
    if (fd < 0) {
        if (attempt.outcome != InstanceLock::Outcome::Refused)
            attempt.outcome = InstanceLock::Outcome::Acquired;
        return attempt;
    }
    attempt.holder = ParseHolder(ReadText(fd));
    switch (TryFlock(fd, LOCK_SH)) {
    case Flock::Held:
        attempt.outcome = InstanceLock::Outcome::HeldElsewhere;
        break;
    case Flock::Locked:
        attempt.outcome = InstanceLock::Outcome::Acquired;
        break;
    case Flock::Unsupported:
        attempt.outcome = JudgeByContent(fd, attempt.holder);
        break;
    }
    close(fd); // also drops the shared flock
    return attempt;
}

bool RemoveLockFile(const std::filesystem::path& lockFile) {
    struct stat entry {};
    return lstat(lockFile.c_str(), &entry) == 0 && S_ISREG(entry.st_mode) &&
           unlink(lockFile.c_str()) == 0;
}

#endif

InstanceLock::InstanceLock(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}
InstanceLock::~InstanceLock() = default;

std::unique_ptr<InstanceLock> InstanceLock::Unguarded() {
    return std::unique_ptr<InstanceLock>(new InstanceLock(nullptr));
}

std::unique_ptr<InstanceLock> InstanceLock::TryAcquire(const std::filesystem::path& lockFile,
                                                       Attempt* attempt) {
    auto handle = std::make_unique<Handle>();
    const Attempt result = LockHandle(*handle, lockFile);
    if (attempt != nullptr)
        *attempt = result;
    if (result.outcome != Outcome::Acquired)
        return nullptr;
    return std::unique_ptr<InstanceLock>(new InstanceLock(std::move(handle)));
}

std::unique_ptr<InstanceLock> InstanceLock::TryAcquire(const std::filesystem::path& lockFile,
                                                       Outcome* outcome) {
    Attempt attempt;
    std::unique_ptr<InstanceLock> lock = TryAcquire(lockFile, &attempt);
    if (outcome != nullptr)
        *outcome = attempt.outcome;
    return lock;
}

std::unique_ptr<InstanceLock> ClaimProgramFolder(const std::filesystem::path& programFolder) {
    const std::filesystem::path lockFile = programFolder / kInstanceLockName;
    InstanceLock::Attempt attempt;
    std::unique_ptr<InstanceLock> lock = InstanceLock::TryAcquire(lockFile, &attempt);
    if (!lock && attempt.outcome == InstanceLock::Outcome::OtherHost &&
        CurrentPrompter().message(
            "程序文件夹已由" + DescribeHolder(attempt.holder) +
                "使用（锁定文件 TempXml.lock）。\r\n如果该程序已经结束，可以删除锁定文件后启动。"
                "\r\n是否删除锁定文件并启动？",
            "提示", MsgIcon::Question, MsgButtons::YesNo) == MsgAnswer::Yes &&
        RemoveLockFile(lockFile))
        lock = InstanceLock::TryAcquire(lockFile, &attempt);
    if (lock)
        return lock;
    switch (attempt.outcome) {
    case InstanceLock::Outcome::Unavailable:
        return InstanceLock::Unguarded();
    case InstanceLock::Outcome::Refused:
        Notify(kLockRefusedMessage, "提示", MsgIcon::Exclamation);
        return nullptr;
    case InstanceLock::Outcome::OtherHost:
        return nullptr; // the user said no
    default:
        Notify(kAlreadyRunningMessage, "提示", MsgIcon::Exclamation);
        return nullptr;
    }
}

} // namespace platform
