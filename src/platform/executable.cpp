#include "platform/executable.h"

#include <system_error>

#ifdef _WIN32
#include <windows.h>

#include <vector>
#endif

namespace platform {

std::filesystem::path ExecutablePath() {
#ifdef _WIN32
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size())
            return std::filesystem::path(std::wstring(buffer.data(), length));
        if (buffer.size() >= 32768)
            return {};
        buffer.resize(buffer.size() * 2);
    }
#else
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    return self;
#endif
}

std::filesystem::path ExecutableFolder(const char* argv0) {
    const std::filesystem::path self = ExecutablePath();
    if (!self.empty())
        return self.parent_path();
    std::error_code error;
    if (!argv0 || !*argv0)
        return std::filesystem::current_path(error);
    return std::filesystem::absolute(argv0, error).parent_path();
}

std::filesystem::path InstalledShareFolder(const std::filesystem::path& executableFolder) {
    return executableFolder.parent_path() / "share" / "quillor";
}

} // namespace platform
