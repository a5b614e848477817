#pragma once
// Points the system's temporary folder (std::filesystem::temp_directory_path)
// at another folder for the lifetime of the object, so a test can see exactly
// what the code under test leaves there.

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace testsupport {

class ScopedTempFolder {
  public:
    explicit ScopedTempFolder(const std::filesystem::path& folder) {
        if (const char* old = std::getenv(kVariable))
            old_ = old;
        Set(folder.string().c_str());
    }
    ~ScopedTempFolder() { Set(old_ ? old_->c_str() : nullptr); }
    ScopedTempFolder(const ScopedTempFolder&) = delete;
    ScopedTempFolder& operator=(const ScopedTempFolder&) = delete;

  private:
#ifdef _WIN32
    static constexpr const char* kVariable = "TMP";
    static void Set(const char* value) {
        _putenv_s(kVariable, value ? value : "");
    }
#else
    static constexpr const char* kVariable = "TMPDIR";
    static void Set(const char* value) {
        if (value)
            setenv(kVariable, value, 1);
        else
            unsetenv(kVariable);
    }
#endif
    std::optional<std::string> old_;
};

} // namespace testsupport
