// An image file as the target of a disc image: written under a temporary
// name beside the chosen one and renamed onto it only once all of it is on
// the disk, so the chosen name never holds half an image.

#include "disc/disc.h"

#include "platform/file_copy.h"
#include "platform/utf8.h"

#include <cerrno>
#include <cstdio>

namespace disc {
namespace {

namespace fs = std::filesystem;

struct FileClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileClose>;

std::FILE* OpenForWriting(const fs::path& path) {
#ifdef _WIN32
    return ::_wfopen(path.c_str(), L"wb");
#else
    return std::fopen(path.c_str(), "wb");
#endif
}

std::error_code LastError(std::errc fallback) {
    return errno != 0 ? std::error_code(errno, std::generic_category())
                      : std::make_error_code(fallback);
}

class ImageFile final : public ImageSink {
  public:
    ImageFile(fs::path target, fs::path temp, FilePtr file)
        : target_(std::move(target)), temp_(std::move(temp)), file_(std::move(file)) {
        std::setvbuf(file_.get(), nullptr, _IOFBF, std::size_t{1} << 20);
    }
    ~ImageFile() override { discard(); }

    std::uint64_t available() const override {
        std::error_code error;
        const fs::space_info space = fs::space(temp_.parent_path(), error);
        return error ? 0 : space.available;
    }

    std::error_code write(const void* data, std::size_t size) override {
        if (!file_)
            return std::make_error_code(std::errc::bad_file_descriptor);
        errno = 0;
        if (std::fwrite(data, 1, size, file_.get()) != size)
            return LastError(std::errc::io_error);
        return {};
    }

    std::error_code finish() override {
        if (!file_)
            return std::make_error_code(std::errc::bad_file_descriptor);
        errno = 0;
        const bool flushed = std::fflush(file_.get()) == 0;
        std::error_code error = flushed ? std::error_code() : LastError(std::errc::io_error);
        if (std::fclose(file_.release()) != 0 && !error)
            error = LastError(std::errc::io_error);
        if (!error && !platform::SyncFile(temp_))
            error = std::make_error_code(std::errc::io_error);
        if (!error)
            fs::rename(temp_, target_, error);
        if (error) {
            discard();
            return error;
        }
        platform::SyncFolder(target_.parent_path());
        done_ = true;
        return {};
    }

    void discard() override {
        if (done_)
            return;
        file_.reset();
        std::error_code ignored;
        fs::remove(temp_, ignored);
        done_ = true;
    }

  private:
    fs::path target_;
    fs::path temp_;
    FilePtr file_;
    bool done_ = false;
};

} // namespace

std::unique_ptr<ImageSink> CreateImageFile(const fs::path& path, std::error_code& error) {
    fs::path temp = path;
    temp += ".part~";
    errno = 0;
    FilePtr file(OpenForWriting(temp));
    if (!file) {
        error = LastError(std::errc::permission_denied);
        return nullptr;
    }
    error.clear();
    return std::make_unique<ImageFile>(path, temp, std::move(file));
}

} // namespace disc
