#include "platform/durable_file.h"

#include "platform/file_copy.h"

#include <cerrno>
#include <fstream>

namespace platform {

std::filesystem::path TemporaryBeside(const std::filesystem::path& target) {
    std::filesystem::path temporary = target;
    temporary += ".saving~";
    return temporary;
}

std::error_code CommitTemporary(const std::filesystem::path& temporary,
                                const std::filesystem::path& target) {
    std::error_code error;
    if (!SyncFile(temporary)) {
        error = std::make_error_code(std::errc::io_error);
    } else if (FaultInjected(FaultPoint::Rename, target)) {
        error = std::make_error_code(std::errc::io_error);
    } else {
        std::filesystem::rename(temporary, target, error);
    }
    if (error) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return error;
    }
    // The rename itself survives a power loss only once the folder is flushed.
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    if (!SyncFolder(folder))
        return std::make_error_code(std::errc::io_error);
    return {};
}

std::error_code
WriteThroughTemporary(const std::filesystem::path& target,
                      const std::function<bool(const std::filesystem::path& temporary)>& write) {
    const std::filesystem::path temporary = TemporaryBeside(target);
    std::error_code ignored;
    bool written = false;
    errno = 0;
    try {
        written = write(temporary);
    } catch (...) {
        std::filesystem::remove(temporary, ignored);
        throw;
    }
    if (!written) {
        // The writers say no more than that they failed; the system says why.
        const int why = errno ? errno : EIO;
        std::filesystem::remove(temporary, ignored);
        return std::error_code(why, std::generic_category());
    }
    return CommitTemporary(temporary, target);
}

std::error_code WriteFileDurably(const std::filesystem::path& target, std::string_view bytes) {
    return WriteThroughTemporary(target, [bytes](const std::filesystem::path& temporary) {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        return static_cast<bool>(out);
    });
}

} // namespace platform
