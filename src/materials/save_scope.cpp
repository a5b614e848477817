#include "materials/save_scope.h"

#include "materials/package_journal.h"
#include "platform/folder_tree.h"
#include "platform/utf8.h"

namespace materials {

namespace fs = std::filesystem;
using platform::FolderHandle;

SaveScope::~SaveScope() {
    if (!staging_.empty() && !keepStaging_)
        RemoveStagingFolder(package_, staging_);
    if (lock_) {
        stages_.notify(SaveStage::Release, kPackageLockName);
        lock_.reset();
    }
    package_ = FolderHandle();
    for (auto p = made_.rbegin(); p != made_.rend(); ++p) {
        std::error_code error;
        fs::remove(*p, error); // only an empty folder goes
    }
}

bool SaveScope::openPackage(const fs::path& folder) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        std::vector<fs::path> missing;
        for (fs::path p = folder; !p.empty() && !fs::exists(fs::symlink_status(p, error));
             p = p.parent_path()) {
            missing.push_back(p);
            if (p == p.parent_path())
                break;
        }
        platform::MakePath(platform::PathToUtf8(folder));
        made_.insert(made_.end(), missing.rbegin(), missing.rend());
    }
    // The package folder may be a link to a folder elsewhere; nothing
    // inside it is ever followed.
    error.clear();
    package_ = FolderHandle::Open(folder, error);
    return package_.valid();
}

platform::InstanceLock::Attempt SaveScope::lock(const fs::path& folder) {
    platform::InstanceLock::Attempt attempt;
    lock_ = platform::InstanceLock::TryAcquire(folder / kPackageLockName, &attempt);
    return attempt;
}

bool SaveScope::makeStaging(std::error_code& error) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        const std::string name = NewStagingFolderName();
        error.clear();
        if (package_.makeFolder(name, error)) {
            staging_ = name;
            stagingHandle_ = package_.openFolder(name, error);
            return stagingHandle_.valid();
        }
        if (error != std::errc::file_exists)
            return false;
    }
    return false;
}

void SaveScope::dropStaging() {
    stagingHandle_ = FolderHandle();
    if (!staging_.empty())
        RemoveStagingFolder(package_, staging_);
    staging_.clear();
}

} // namespace materials
