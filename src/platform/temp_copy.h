#pragma once
// A private copy of a file in the system's temporary folder. The copy gets a
// name of its own, created exclusively, so two programs (or two windows) that
// copy at the same moment never read or delete each other's copy; it is
// removed when the object goes.

#include <filesystem>
#include <optional>
#include <string>

namespace platform {

class TempCopy {
  public:
    // Copies `source` to a new file "<stem>-<random>.<source extension>" in the
    // system's temporary folder. Nothing when the source cannot be read or the
    // copy cannot be written; no partial copy is left behind then.
    static std::optional<TempCopy> Of(const std::filesystem::path& source, const std::string& stem);

    ~TempCopy();
    TempCopy(TempCopy&& other) noexcept;
    TempCopy& operator=(TempCopy&& other) noexcept;
    TempCopy(const TempCopy&) = delete;
    TempCopy& operator=(const TempCopy&) = delete;

    const std::filesystem::path& path() const { return path_; }

  private:
    explicit TempCopy(std::filesystem::path path) : path_(std::move(path)) {}
    void remove() noexcept;
    std::filesystem::path path_;
};

} // namespace platform
