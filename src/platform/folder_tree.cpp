#include "platform/folder_tree.h"

#include "platform/utf8.h"

#include <filesystem>
#include <system_error>
#include <vector>

namespace platform {
namespace {

namespace fs = std::filesystem;

// Both separators, so that a path written with either is made folder by folder.
constexpr const char* kSeparators = "\\/";

bool RemoveTree(const fs::path& folder, const std::function<void()>& idle) {
    std::error_code error;
    // Read, write and search rights on the folder, so its entries can be
    // listed and removed (on Windows this clears the read-only attribute).
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, error);
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        entries.push_back(*it);
    for (const fs::directory_entry& entry : entries) {
        if (idle)
            idle();
        const fs::file_status status = entry.symlink_status(error);
        if (fs::is_directory(status)) {
            RemoveTree(entry.path(), idle);
            continue;
        }
        if (!fs::is_symlink(status))
            fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, error);
        fs::remove(entry.path(), error);
    }
    fs::remove(folder, error);
    return !fs::exists(fs::symlink_status(folder, error));
}

} // namespace

bool MakePath(const std::string& path) {
    std::error_code error;
    // Each prefix ending before a separator is a folder of the path; the first
    // (a drive such as C:, or nothing before a leading separator) is taken as
    // it stands by create_directory, which passes over what exists.
    for (std::size_t sep = path.find_first_of(kSeparators); sep != std::string::npos;
         sep = path.find_first_of(kSeparators, sep + 1))
        if (sep > 0)
            fs::create_directory(PathFromUtf8(path.substr(0, sep)), error);
    if (path.empty())
        return false;
    const fs::path whole = PathFromUtf8(path);
    fs::create_directory(whole, error);
    return fs::is_directory(whole, error);
}

bool DeleteFolderTree(const std::string& folder, const std::function<void()>& idle) {
    if (folder.empty())
        return false;
    const fs::path path = PathFromUtf8(folder);
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    if (fs::is_symlink(status)) {
        fs::remove(path, error);
        return !error;
    }
    if (!fs::exists(status))
        return true;
    if (!fs::is_directory(status))
        return false;
    return RemoveTree(path, idle);
}

} // namespace platform
