#pragma once
// What a running save holds and must give back whatever way it leaves: the
// observer's end notice, and in the package folder its staging folder, the
// lock and the folders it made.

#include "materials/save_folder.h"
#include "platform/folder_handle.h"
#include "platform/instance_lock.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace materials {

// Sends the end of the save to the observer whatever way the save leaves.
class StageScope {
  public:
    explicit StageScope(SaveObserver* observer) : observer_(observer) {}
    ~StageScope() {
        if (begun_ && observer_)
            observer_->stage(SaveStage::End, {});
    }
    StageScope(const StageScope&) = delete;
    StageScope& operator=(const StageScope&) = delete;
    void begin() {
        begun_ = true;
        notify(SaveStage::Begin, {});
    }
    void notify(SaveStage stage, const std::string& name) const {
        if (observer_)
            observer_->stage(stage, name);
    }
    void copied(std::uint64_t done, std::uint64_t total) const {
        if (observer_)
            observer_->copied(done, total);
    }
    bool cancelled() const { return observer_ && observer_->cancelRequested(); }

  private:
    SaveObserver* observer_;
    bool begun_ = false;
};

// Everything a save holds in the package folder. Released when the save
// leaves, in this order: its staging folder (kept when a rollback could not
// finish: the next repair needs it), the lock, and the folders the save made
// (when empty; the package folder holds the lock file until then).
class SaveScope {
  public:
    explicit SaveScope(const StageScope& stages) : stages_(stages) {}
    ~SaveScope();
    SaveScope(const SaveScope&) = delete;
    SaveScope& operator=(const SaveScope&) = delete;

    // Opens the package folder, making it and every missing folder above it.
    bool openPackage(const std::filesystem::path& folder);
    const platform::FolderHandle& package() const { return package_; }
    platform::InstanceLock::Attempt lock(const std::filesystem::path& folder);

    // A staging folder of this save's own.
    bool makeStaging(std::error_code& error);
    const platform::FolderHandle& staging() const { return stagingHandle_; }
    const std::string& stagingName() const { return staging_; }
    void keepStaging() { keepStaging_ = true; }
    // The copies are not needed any more: removed now, before the lock goes.
    void dropStaging();

  private:
    const StageScope& stages_;
    std::vector<std::filesystem::path> made_; // in the order they were made
    platform::FolderHandle package_;
    std::unique_ptr<platform::InstanceLock> lock_;
    std::string staging_;
    platform::FolderHandle stagingHandle_;
    bool keepStaging_ = false;
};

} // namespace materials
