#include "platform/folder_handle.h"

#include "platform/file_copy.h"

#ifdef _WIN32
#include <windows.h>

#include <fstream>
#include <iterator>
#else
#include "platform/posix_fd.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

std::error_code Errno(int value) {
    return std::error_code(value, std::generic_category());
}

// A name that stays inside its folder: not empty, no separator, not "." or "..".
bool PlainEntry(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos
#ifdef _WIN32
           && name.find('\\') == std::string_view::npos && name.find(':') == std::string_view::npos
#endif
        ;
}

} // namespace

#ifdef _WIN32

struct FolderHandle::Native {};

namespace {

std::filesystem::path Child(const std::filesystem::path& folder, std::string_view name) {
    return folder / std::filesystem::u8path(name);
}

std::error_code LastError() {
    return std::error_code(static_cast<int>(GetLastError()), std::system_category());
}

// Reparse points (links, junctions) are never acted through.
bool IsReparsePoint(const std::filesystem::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

} // namespace

FolderHandle FolderHandle::Open(const std::filesystem::path& path, std::error_code& error) {
    FolderHandle folder;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        error = LastError();
        return folder;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = std::make_error_code(std::errc::not_a_directory);
        return folder;
    }
    folder.native_ = std::make_unique<Native>();
    folder.path_ = path;
    return folder;
}

EntryInfo FolderHandle::entry(std::string_view name) const {
    EntryInfo info;
    if (!valid() || !PlainEntry(name))
        return info;
    const std::filesystem::path path = Child(path_, name);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return info;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        info.kind = EntryKind::Other;
    else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        info.kind = EntryKind::Folder;
    else
        info.kind = EntryKind::File;
    info.size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    if (info.kind == EntryKind::File) {
        HANDLE h =
            CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            BY_HANDLE_FILE_INFORMATION file{};
            if (GetFileInformationByHandle(h, &file)) {
                info.identity.device = file.dwVolumeSerialNumber;
                info.identity.inode =
                    (std::uint64_t{file.nFileIndexHigh} << 32) | file.nFileIndexLow;
            }
            CloseHandle(h);
        }
    }
    return info;
}

FolderHandle FolderHandle::openFolder(std::string_view name, std::error_code& error) const {
    FolderHandle folder;
    if (!valid() || !PlainEntry(name)) {
        error = std::make_error_code(std::errc::invalid_argument);
        return folder;
    }
    const EntryInfo info = entry(name);
    if (info.kind != EntryKind::Folder) {
        error = std::make_error_code(info.kind == EntryKind::Missing
                                         ? std::errc::no_such_file_or_directory
                                         : std::errc::too_many_symbolic_link_levels);
        return folder;
    }
    folder.native_ = std::make_unique<Native>();
    folder.path_ = Child(path_, name);
    return folder;
}

bool FolderHandle::makeFolder(std::string_view name, std::error_code& error) const {
    if (!valid() || !PlainEntry(name))
        return error = std::make_error_code(std::errc::invalid_argument), false;
    if (!CreateDirectoryW(Child(path_, name).c_str(), nullptr))
        return error = LastError(), false;
    return true;
}

bool FolderHandle::removeFile(std::string_view name, std::error_code& error) const {
    if (!valid() || !PlainEntry(name) || entry(name).kind == EntryKind::Folder)
        return error = std::make_error_code(std::errc::is_a_directory), false;
    if (!DeleteFileW(Child(path_, name).c_str()))
        return error = LastError(), false;
    return true;
}

bool FolderHandle::removeFolder(std::string_view name, std::error_code& error) const {
    if (!valid() || !PlainEntry(name) || entry(name).kind != EntryKind::Folder)
        return error = std::make_error_code(std::errc::not_a_directory), false;
    if (!RemoveDirectoryW(Child(path_, name).c_str()))
        return error = LastError(), false;
    return true;
}

bool FolderHandle::rename(std::string_view name, const FolderHandle& to, std::string_view toName,
                          std::error_code& error) const {
    if (FaultInjected(FaultPoint::Rename, Child(to.path_, toName)))
        return error = std::make_error_code(std::errc::io_error), false;
    if (!valid() || !to.valid() || !PlainEntry(name) || !PlainEntry(toName) ||
        IsReparsePoint(Child(to.path_, toName)))
        return error = std::make_error_code(std::errc::invalid_argument), false;
    if (!MoveFileExW(Child(path_, name).c_str(), Child(to.path_, toName).c_str(),
                     MOVEFILE_REPLACE_EXISTING))
        return error = LastError(), false;
    return true;
}

bool FolderHandle::hardLink(std::string_view name, const FolderHandle& to, std::string_view toName,
                            std::error_code& error) const {
    if (FaultInjected(FaultPoint::HardLink, Child(to.path_, toName)))
        return error = std::make_error_code(std::errc::operation_not_supported), false;
    if (!valid() || !to.valid() || !PlainEntry(name) || !PlainEntry(toName) ||
        entry(name).kind != EntryKind::File)
        return error = std::make_error_code(std::errc::invalid_argument), false;
    if (!CreateHardLinkW(Child(to.path_, toName).c_str(), Child(path_, name).c_str(), nullptr))
        return error = LastError(), false;
    return true;
}

std::vector<std::string> FolderHandle::list(std::error_code& error) const {
    std::vector<std::string> names;
    if (!valid())
        return error = std::make_error_code(std::errc::bad_file_descriptor), names;
    for (std::filesystem::directory_iterator it(path_, error), end; !error && it != end;
         it.increment(error)) {
        const std::u8string name = it->path().filename().u8string();
        names.emplace_back(name.begin(), name.end());
    }
    return names;
}

bool FolderHandle::writeNewFile(std::string_view name, std::string_view bytes,
                                std::error_code& error) const {
    if (!valid() || !PlainEntry(name) || entry(name).kind != EntryKind::Missing)
        return error = std::make_error_code(std::errc::file_exists), false;
    std::ofstream out(Child(path_, name), std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        return error = std::make_error_code(std::errc::io_error), false;
    return true;
}

bool FolderHandle::readFile(std::string_view name, std::uint64_t maxBytes, std::string& bytes,
                            std::error_code& error) const {
    const EntryInfo info = entry(name);
    if (info.kind != EntryKind::File)
        return error = std::make_error_code(std::errc::invalid_argument), false;
    if (info.size > maxBytes)
        return error = std::make_error_code(std::errc::file_too_large), false;
    std::ifstream in(Child(path_, name), std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (bytes.size() > maxBytes)
        return error = std::make_error_code(std::errc::file_too_large), false;
    return static_cast<bool>(in) || in.eof();
}

bool FolderHandle::syncFile(std::string_view name) const {
    return valid() && PlainEntry(name) && SyncFile(Child(path_, name));
}

bool FolderHandle::sync() const {
    return valid() && SyncFolder(path_);
}

#else

struct FolderHandle::Native {
    Fd fd;
    explicit Native(int descriptor) : fd(descriptor) {}
};

namespace {

std::string Name(std::string_view name) {
    return std::string(name);
}

} // namespace

FolderHandle FolderHandle::Open(const std::filesystem::path& path, std::error_code& error) {
    FolderHandle folder;
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error = Errno(errno);
        return folder;
    }
    folder.native_ = std::make_unique<Native>(fd);
    folder.path_ = path;
    return folder;
}

EntryInfo FolderHandle::entry(std::string_view name) const {
    EntryInfo info;
    struct stat st {};
    if (!valid() || !PlainEntry(name) ||
        ::fstatat(native_->fd.get(), Name(name).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return info;
    info.kind = S_ISREG(st.st_mode)   ? EntryKind::File
                : S_ISDIR(st.st_mode) ? EntryKind::Folder
                                      : EntryKind::Other;
    info.identity = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    info.size = static_cast<std::uint64_t>(st.st_size);
    return info;
}

FolderHandle FolderHandle::openFolder(std::string_view name, std::error_code& error) const {
    FolderHandle folder;
    if (!valid() || !PlainEntry(name)) {
        error = Errno(EINVAL);
        return folder;
    }
    const int fd = ::openat(native_->fd.get(), Name(name).c_str(),
                            O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        error = Errno(errno);
        return folder;
    }
    folder.native_ = std::make_unique<Native>(fd);
    folder.path_ = path_ / Name(name);
    return folder;
}

bool FolderHandle::makeFolder(std::string_view name, std::error_code& error) const {
    if (!valid() || !PlainEntry(name))
        return error = Errno(EINVAL), false;
    if (::mkdirat(native_->fd.get(), Name(name).c_str(), 0777) != 0)
        return error = Errno(errno), false;
    return true;
}

bool FolderHandle::removeFile(std::string_view name, std::error_code& error) const {
    if (!valid() || !PlainEntry(name))
        return error = Errno(EINVAL), false;
    if (::unlinkat(native_->fd.get(), Name(name).c_str(), 0) != 0)
        return error = Errno(errno), false;
    return true;
}

bool FolderHandle::removeFolder(std::string_view name, std::error_code& error) const {
    if (!valid() || !PlainEntry(name))
        return error = Errno(EINVAL), false;
    // AT_REMOVEDIR refuses a link (ENOTDIR): what it names stays.
    if (::unlinkat(native_->fd.get(), Name(name).c_str(), AT_REMOVEDIR) != 0)
        return error = Errno(errno), false;
    return true;
}

bool FolderHandle::rename(std::string_view name, const FolderHandle& to, std::string_view toName,
                          std::error_code& error) const {
    if (FaultInjected(FaultPoint::Rename, to.path_ / Name(toName)))
        return error = Errno(EIO), false;
    if (!valid() || !to.valid() || !PlainEntry(name) || !PlainEntry(toName))
        return error = Errno(EINVAL), false;
    if (::renameat(native_->fd.get(), Name(name).c_str(), to.native_->fd.get(),
                   Name(toName).c_str()) != 0)
        return error = Errno(errno), false;
    return true;
}

bool FolderHandle::hardLink(std::string_view name, const FolderHandle& to, std::string_view toName,
                            std::error_code& error) const {
    if (FaultInjected(FaultPoint::HardLink, to.path_ / Name(toName)))
        return error = Errno(ENOTSUP), false;
    if (!valid() || !to.valid() || !PlainEntry(name) || !PlainEntry(toName))
        return error = Errno(EINVAL), false;
    // Flags 0: a link is linked itself, never followed.
    if (::linkat(native_->fd.get(), Name(name).c_str(), to.native_->fd.get(), Name(toName).c_str(),
                 0) != 0)
        return error = Errno(errno), false;
    return true;
}

std::vector<std::string> FolderHandle::list(std::error_code& error) const {
    std::vector<std::string> names;
    if (!valid())
        return error = Errno(EBADF), names;
    // fdopendir takes the descriptor over: hand it a duplicate.
    const int fd = ::openat(native_->fd.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return error = Errno(errno), names;
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        error = Errno(errno);
        ::close(fd);
        return names;
    }
    const std::unique_ptr<DIR, int (*)(DIR*)> closer(dir, ::closedir);
    errno = 0;
    while (const dirent* e = ::readdir(dir)) {
        const std::string_view name = e->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    if (errno != 0)
        error = Errno(errno);
    return names;
}

bool FolderHandle::writeNewFile(std::string_view name, std::string_view bytes,
                                std::error_code& error) const {
    if (!valid() || !PlainEntry(name))
        return error = Errno(EINVAL), false;
    Fd fd(::openat(native_->fd.get(), Name(name).c_str(),
                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!fd.valid())
        return error = Errno(errno), false;
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd.get(), bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return error = Errno(errno), false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    if (!fd.close())
        return error = Errno(errno), false;
    return true;
}

bool FolderHandle::readFile(std::string_view name, std::uint64_t maxBytes, std::string& bytes,
                            std::error_code& error) const {
    bytes.clear();
    if (!valid() || !PlainEntry(name))
        return error = Errno(EINVAL), false;
    Fd fd(::openat(native_->fd.get(), Name(name).c_str(),
                   O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid())
        return error = Errno(errno), false;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return error = Errno(errno), false;
    if (!S_ISREG(st.st_mode))
        return error = Errno(S_ISDIR(st.st_mode) ? EISDIR : EINVAL), false;
    if (static_cast<std::uint64_t>(st.st_size) > maxBytes)
        return error = Errno(EFBIG), false;
    bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return error = Errno(errno), false;
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return true;
}

bool FolderHandle::syncFile(std::string_view name) const {
    if (FaultInjected(FaultPoint::Flush, path_ / Name(name)))
        return false;
    if (!valid() || !PlainEntry(name))
        return false;
    Fd fd(::openat(native_->fd.get(), Name(name).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    return fd.valid() && ::fdatasync(fd.get()) == 0;
}

bool FolderHandle::sync() const {
    if (FaultInjected(FaultPoint::Flush, path_))
        return false;
    return valid() && ::fsync(native_->fd.get()) == 0;
}

#endif

bool IsRealFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(std::filesystem::symlink_status(path, error));
}

bool IsRealFolder(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_directory(std::filesystem::symlink_status(path, error));
}

FolderHandle::FolderHandle() = default;
FolderHandle::~FolderHandle() = default;
FolderHandle::FolderHandle(FolderHandle&&) noexcept = default;
FolderHandle& FolderHandle::operator=(FolderHandle&&) noexcept = default;

bool FolderHandle::valid() const {
    return native_ != nullptr;
}

} // namespace platform
