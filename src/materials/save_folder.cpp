#include "materials/save_folder.h"

#include "fieldforms/field_queries.h"
#include "materials/manifest.h"
#include "materials/modfjgl.h"
#include "materials/package_writer.h"
#include "platform/db.h"
#include "platform/durable_file.h"
#include "platform/folder_handle.h"
#include "platform/gbk.h"
#include "platform/prompter.h"
#include "platform/utf8.h"
#include "platform/xmldoc.h"
#include "startup/mainbas.h"

#include <filesystem>
#include <system_error>

namespace materials {
namespace {

namespace fs = std::filesystem;
using platform::XmlDocument;

// Asks before a lock of another computer is removed; true when it was.
bool AskToRemoveForeignLock(const platform::LockHolder& holder, const std::string& folder) {
    return platform::CurrentPrompter().message(
               ForeignLockQuestion(holder, folder), "提示", platform::MsgIcon::Question,
               platform::MsgButtons::YesNo) == platform::MsgAnswer::Yes &&
           platform::RemoveLockFile(platform::PathFromUtf8(folder) / kPackageLockName);
}

} // namespace

void RepairAndTell(const std::string& folder) {
    PackageRepair repair = RepairPackage(folder);
    if (repair.result == RepairResult::OtherHost && AskToRemoveForeignLock(repair.holder, folder))
        repair = RepairPackage(folder);
    const std::string sentence = RepairSentence(repair, folder);
    if (!sentence.empty())
        platform::Notify(sentence, "提示", platform::MsgIcon::Exclamation);
}

std::string ForeignFolderQuestion(const std::string& folder) {
    const fs::path path = platform::PathFromUtf8(folder);
    std::error_code error;
    if (folder.empty() || !fs::is_directory(path, error) ||
        platform::IsRealFile(path / kStoredCopyName))
        return {};
    bool foreign = false;
    for (fs::directory_iterator it(path, error), end; !error && it != end; it.increment(error)) {
        const std::string name = platform::PathToUtf8(it->path().filename());
        if (!IsProgramEntryName(name))
            foreign = true;
    }
    if (!foreign)
        return {};
    return "【" + folder +
           "】目录不是空的，其中没有申报资料（APLPKG.XML）。\r\n"
           "申报资料将保存到该目录中，其中原有的文件和文件夹保留不动，但不会刻入光盘。\r\n"
           "是否保存到该目录？";
}

SaveOutcome SaveFolder(SaveObserver* observer) {
    const std::string folder = ShownFolder; // read once
    const std::string question = ForeignFolderQuestion(folder);
    if (!question.empty() && platform::CurrentPrompter().message(
                                 question, "提示", platform::MsgIcon::Question,
                                 platform::MsgButtons::YesNo) != platform::MsgAnswer::Yes) {
        SaveOutcome declined;
        declined.status = SaveStatus::Declined;
        return declined;
    }
    SaveRequest request;
    request.workPath = WorkManifestPath;
    request.shownFolder = folder;
    request.storageFolder = StorageFolder;
    SaveOutcome outcome = SavePackage(request, observer);
    if (outcome.status == SaveStatus::ForeignLock &&
        AskToRemoveForeignLock(outcome.lockHolder, folder))
        outcome = SavePackage(request, observer);
    const std::string repaired = outcome.setAside.empty() ? RepairSentence(outcome.repair, folder)
                                                          : SetAsideSentence(outcome, folder);
    if (!repaired.empty() && outcome.status != SaveStatus::Interrupted)
        platform::Notify(repaired, "提示", platform::MsgIcon::Exclamation);
    switch (outcome.status) {
    case SaveStatus::Unreadable:
        platform::Notify("XML文件不存在-" + platform::PathToUtf8(StoredCopyPath(folder)), "提示",
                         platform::MsgIcon::Exclamation);
        break;
    case SaveStatus::FolderNotWritable:
        platform::Notify("申报资料存储路径无法写入-" + folder, "提示",
                         platform::MsgIcon::Exclamation);
        break;
    case SaveStatus::Saved:
        try {
            saveStoragePath(folder);
        } catch (const platform::db::DbError& error) {
            outcome.storagePathError = error.what();
        }
        break;
    case SaveStatus::Declined:
        break;
    case SaveStatus::Cancelled:
    case SaveStatus::Busy:
    case SaveStatus::ForeignLock:
    case SaveStatus::LockRefused:
    case SaveStatus::Interrupted:
    case SaveStatus::WriteFailed:
        platform::Notify(SaveFailureText(outcome, folder), "提示",
                         outcome.status == SaveStatus::Cancelled ? platform::MsgIcon::Information
                                                                 : platform::MsgIcon::Critical);
        break;
    }
    return outcome;
}

bool makeFjqd(const std::string& listPath, const std::string& manifestPath) {
    XmlDocument doc;
    if (!doc.load(manifestPath)) {
        platform::CurrentPrompter().message("XML文件不存在", "", platform::MsgIcon::None,
                                            platform::MsgButtons::Ok);
        return false;
    }
    const fs::path folder = platform::PathFromUtf8(GetParentFolder(manifestPath));
    const std::string text =
        ListHead(DefaultSummary()) +
        ListedFiles(doc, [&folder](const std::string& material, const std::string& name) {
            return platform::IsRealFile(folder / platform::PathFromUtf8(material) /
                                        platform::PathFromUtf8(name));
        });
    return !platform::WriteFileDurably(platform::PathFromUtf8(listPath),
                                       platform::GbkTextBytes(text));
}

void saveStoragePath() {
    saveStoragePath(ShownFolder);
}

void saveStoragePath(const std::string& folder) {
    if (!TemplateConnection)
        throw platform::db::DbError("template database not open");
    platform::db::Recordset row;
    row.Open(fieldforms::ItemRowQuery(), *TemplateConnection, platform::db::CursorType::Keyset,
             platform::db::LockType::Optimistic);
    if (!row.Eof()) {
        row.Fields("存储路径").SetValue(folder);
        row.Update();
        ItemTable.at(static_cast<std::size_t>(SelectedItem)).存储路径 = folder;
    }
    row.Close();
}

} // namespace materials
