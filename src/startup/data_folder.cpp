#include "startup/data_folder.h"

#include "platform/executable.h"
#include "platform/file_copy.h"
#include "platform/prompter.h"
#include "platform/utf8.h"
#include "startup/mainbas.h"

#include <fstream>
#include <random>
#include <system_error>

namespace startup {
namespace {

namespace fs = std::filesystem;

fs::path DatabaseIn(const fs::path& folder) {
    return folder / platform::PathFromUtf8(kTemplateDatabaseName);
}

bool Exists(const fs::path& path) {
    std::error_code ec;
    return fs::symlink_status(path, ec).type() != fs::file_type::not_found;
}

std::string Named(const fs::path& folder) {
    return folder.empty() ? std::string("（系统没有给出用户数据文件夹）")
                          : platform::PathToUtf8(folder);
}

std::string UniqueSuffix() {
    std::random_device random;
    return std::to_string(random()) + std::to_string(random());
}

} // namespace

bool FolderIsWritable(const fs::path& folder) {
    std::error_code ec;
    if (folder.empty() || !fs::is_directory(folder, ec))
        return false;
    const fs::path probe = folder / (".quillor-probe-" + UniqueSuffix());
    bool written = false;
    {
        std::ofstream out(probe, std::ios::binary);
        written = out.is_open() && static_cast<bool>(out << 'q') && static_cast<bool>(out.flush());
    }
    fs::remove(probe, ec);
    return written;
}

DataFolderChoice ChooseDataFolder(const fs::path& executableFolder, const fs::path& userDataFolder,
                                  const WritableProbe& isWritable) {
    const fs::path share = platform::InstalledShareFolder(executableFolder);
    std::error_code ec;
    if (executableFolder.filename() == "bin" && fs::is_directory(share, ec))
        return {userDataFolder, DatabaseIn(share), true};
    if (isWritable && isWritable(executableFolder))
        return {executableFolder, {}, false};
    return {userDataFolder, DatabaseIn(executableFolder), true};
}

bool CreateDataFolder(const DataFolderChoice& choice, std::string& message) {
    std::error_code ec;
    if (!choice.perUser || (!choice.folder.empty() && fs::is_directory(choice.folder, ec)))
        return true;
    if (!choice.folder.empty() && choice.folder.is_absolute()) {
        fs::create_directories(choice.folder, ec);
        if (!ec && fs::is_directory(choice.folder, ec))
            return true;
    }
    message = "无法建立数据文件夹，无法运行。\n" + Named(choice.folder);
    return false;
}

bool ProvideTemplateDatabase(const DataFolderChoice& choice, std::string& message) {
    if (choice.bundledDatabase.empty())
        return true;
    const fs::path target = DatabaseIn(choice.folder);
    std::error_code ec;
    if (Exists(target) || !fs::is_regular_file(choice.bundledDatabase, ec))
        return true;
    fs::path partial = target;
    partial += ".copy.tmp";
    fs::remove(partial, ec);
    fs::copy_file(choice.bundledDatabase, partial, ec);
    if (!ec)
        fs::permissions(partial, fs::perms::owner_read | fs::perms::owner_write,
                        fs::perm_options::add, ec);
    // On the disk before it takes the name: a power loss never leaves a
    // partial database under it.
    if (!ec && !platform::SyncFile(partial))
        ec = std::make_error_code(std::errc::io_error);
    if (!ec)
        fs::rename(partial, target, ec);
    if (!ec) {
        platform::SyncFolder(choice.folder);
        return true;
    }
    std::error_code ignored;
    fs::remove(partial, ignored);
    message = "无法把系统模板数据库复制到数据文件夹，无法运行。\n" + Named(choice.folder) + "\n" +
              ec.message();
    return false;
}

std::unique_ptr<platform::InstanceLock> ClaimDataFolder(const DataFolderChoice& choice,
                                                        ClaimResult* result) {
    ClaimResult ignored = ClaimResult::Failed;
    ClaimResult& outcome = result ? *result : ignored;
    outcome = ClaimResult::Failed;
    std::string message;
    if (!CreateDataFolder(choice, message)) {
        platform::Notify(message, kDataFolderFailureTitle, platform::MsgIcon::Critical);
        return nullptr;
    }
    auto lock = platform::ClaimProgramFolder(choice.folder);
    if (!lock) {
        outcome = ClaimResult::TakenByAnotherInstance;
        return nullptr;
    }
    // Copied under the lock: two instances started at once never copy together.
    if (!ProvideTemplateDatabase(choice, message)) {
        platform::Notify(message, kDataFolderFailureTitle, platform::MsgIcon::Critical);
        return nullptr;
    }
    outcome = ClaimResult::Claimed;
    return lock;
}

} // namespace startup
