#include "platform/temp_copy.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <random>
#include <system_error>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace platform {
namespace {

constexpr int kNameAttempts = 64;

// A file opened for writing that did not exist before; closed when it goes.
class NewFile {
  public:
    // False when the name is taken or the file cannot be created.
    bool create(const std::filesystem::path& path) {
#ifdef _WIN32
        handle_ = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY, nullptr);
        return handle_ != INVALID_HANDLE_VALUE;
#else
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        return fd_ >= 0;
#endif
    }
    // True when the name exists already (try another); false for other failures.
    static bool nameTaken() {
#ifdef _WIN32
        const DWORD error = GetLastError();
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
#else
        return errno == EEXIST;
#endif
    }
    bool write(const char* data, std::size_t size) {
        while (size > 0) {
#ifdef _WIN32
            DWORD written = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
            if (!WriteFile(handle_, data, chunk, &written, nullptr) || written == 0)
                return false;
#else
            const ssize_t written = ::write(fd_, data, size);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return false;
#endif
            data += written;
            size -= static_cast<std::size_t>(written);
        }
        return true;
    }
    bool close() {
#ifdef _WIN32
        const bool ok = handle_ == INVALID_HANDLE_VALUE || CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
#else
        const bool ok = fd_ < 0 || ::close(fd_) == 0;
        fd_ = -1;
#endif
        return ok;
    }
    ~NewFile() {
        close();
    }

  private:
#ifdef _WIN32
    HANDLE handle_ = INVALID_HANDLE_VALUE;
#else
    int fd_ = -1;
#endif
};

std::string RandomPart() {
    static thread_local std::mt19937_64 engine = [] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device()};
        return std::mt19937_64(seed);
    }();
    std::array<char, 17> text{};
    std::snprintf(text.data(), text.size(), "%016llx", static_cast<unsigned long long>(engine()));
    return text.data();
}

bool CopyInto(std::ifstream& in, NewFile& out) {
    std::array<char, 64 * 1024> buffer{};
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (got > 0 && !out.write(buffer.data(), got))
            return false;
    }
    return in.eof() && !in.bad();
}

} // namespace

std::optional<TempCopy> TempCopy::Of(const std::filesystem::path& source, const std::string& stem) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(source, error))
        return std::nullopt;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    if (error)
        return std::nullopt;
    std::ifstream in(source, std::ios::binary);
    if (!in)
        return std::nullopt;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string base = stem + "-" + RandomPart();
        std::filesystem::path name(std::u8string(base.begin(), base.end()));
        name += source.extension();
        TempCopy copy(folder / name);
        NewFile out;
        if (!out.create(copy.path_)) {
            const bool taken = NewFile::nameTaken();
            copy.path_.clear(); // not ours: never remove it
            if (taken)
                continue;
            return std::nullopt;
        }
        if (!CopyInto(in, out) || !out.close())
            return std::nullopt; // the copy removes its partial file
        return copy;
    }
    return std::nullopt;
}

TempCopy::~TempCopy() {
    remove();
}

TempCopy::TempCopy(TempCopy&& other) noexcept : path_(std::exchange(other.path_, {})) {}

TempCopy& TempCopy::operator=(TempCopy&& other) noexcept {
    if (this != &other) {
        remove();
        path_ = std::exchange(other.path_, {});
    }
    return *this;
}

void TempCopy::remove() noexcept {
    if (path_.empty())
        return;
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
    path_.clear();
}

} // namespace platform
