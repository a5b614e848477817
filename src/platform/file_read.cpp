#include "platform/file_read.h"
#include "platform/posix_fd.h"

#include <system_error>

#ifdef _WIN32
#include <fstream>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {
namespace {

namespace fs = std::filesystem;

#ifndef _WIN32

// Opens without blocking and checks what was opened: a regular file, or the failure.
ReadFailure OpenRegular(const Fd& fd, struct stat& info) {
    if (!fd.valid())
        return errno == ENOENT || errno == ENOTDIR ? ReadFailure::Missing : ReadFailure::Unreadable;
    if (::fstat(fd.get(), &info) != 0)
        return ReadFailure::Unreadable;
    return S_ISREG(info.st_mode) ? ReadFailure::None : ReadFailure::NotAFile;
}

int OpenFlags() {
    return O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
}

#endif

#ifdef _WIN32
// The file's content through the standard streams, its size checked first.
FileContent ReadContent(const fs::path& path, std::uintmax_t maxBytes) {
    FileContent result;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (!fs::exists(status)) {
        result.failure = ReadFailure::Missing;
        return result;
    }
    if (!fs::is_regular_file(status)) {
        result.failure = ReadFailure::NotAFile;
        return result;
    }
    const std::uintmax_t size = fs::file_size(path, error);
    if (error) {
        result.failure = ReadFailure::Unreadable;
        return result;
    }
    if (size > maxBytes) {
        result.failure = ReadFailure::TooLarge;
        return result;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        result.failure = ReadFailure::Unreadable;
        return result;
    }
    result.bytes.resize(static_cast<std::size_t>(size));
    in.read(result.bytes.data(), static_cast<std::streamsize>(size));
    result.bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (in.bad())
        result.failure = ReadFailure::Unreadable;
    return result;
}
#else
// The file's content through one descriptor, opened without blocking (on a
// pipe, say) and checked to be a regular file, never read past the limit.
FileContent ReadContent(const fs::path& path, std::uintmax_t maxBytes) {
    FileContent result;
    Fd fd(::open(path.c_str(), OpenFlags()));
    struct stat info {};
    result.failure = OpenRegular(fd, info);
    if (!result.ok())
        return result;
    const auto size = static_cast<std::uintmax_t>(info.st_size);
    if (size > maxBytes) {
        result.failure = ReadFailure::TooLarge;
        return result;
    }
    // The file may grow while it is read: never past the limit.
    result.bytes.reserve(static_cast<std::size_t>(size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || result.bytes.size() + static_cast<std::size_t>(n) > maxBytes) {
            result.failure = n < 0 ? ReadFailure::Unreadable : ReadFailure::TooLarge;
            result.bytes.clear();
            return result;
        }
        if (n == 0)
            break;
        result.bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return result;
}
#endif

} // namespace

FileContent ReadRegularFile(const fs::path& path, std::uintmax_t maxBytes) {
    if (path.empty()) {
        FileContent result;
        result.failure = ReadFailure::Missing;
        return result;
    }
    return ReadContent(path, maxBytes);
}

bool IsReadableRegularFile(const fs::path& path) {
    if (path.empty())
        return false;
#ifdef _WIN32
    std::error_code error;
    if (!fs::is_regular_file(path, error))
        return false;
    std::ifstream in(path, std::ios::binary);
    return in.is_open();
#else
    Fd fd(::open(path.c_str(), OpenFlags()));
    struct stat info {};
    return OpenRegular(fd, info) == ReadFailure::None;
#endif
}

} // namespace platform
