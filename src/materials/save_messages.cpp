// The messages of the save and of the repair of an interrupted one.

#include "materials/save_folder.h"

#include <algorithm>

namespace materials {
namespace {

// "（计算机 h 上的进程 p（t 起））", or nothing when the lock names no holder.
std::string Holder(const platform::LockHolder& holder) {
    return holder.pid == 0 ? std::string() : "（" + platform::DescribeHolder(holder) + "）";
}

} // namespace

const char* ProblemText(SaveProblem problem) {
    switch (problem) {
    case SaveProblem::MaterialName:
        return "材料名称不能用作文件夹名";
    case SaveProblem::EntryName:
        return "报件名称不能用作文件名";
    case SaveProblem::DuplicateName:
        return "与同一材料中另一报件的文件名相同";
    case SaveProblem::SourceMissing:
        return "源文件不存在";
    case SaveProblem::SourceNotAFile:
        return "源文件不是普通文件";
    case SaveProblem::SourceUnreadable:
        return "源文件无法读取";
    case SaveProblem::SourceChanged:
        return "源文件在复制过程中被修改";
    case SaveProblem::FolderNotMade:
        return "无法建立材料文件夹";
    case SaveProblem::WriteFailed:
        return "文件无法写入存储路径";
    case SaveProblem::DiskFull:
        return "存储路径所在磁盘空间不足";
    case SaveProblem::StoredFileMissing:
        return "已保存的文件不存在";
    case SaveProblem::BadStoredLink:
        return "报件路径无效";
    case SaveProblem::FlushFailed:
        return "文件未能写入磁盘";
    case SaveProblem::ReadOnly:
        return "存储路径变为只读";
    }
    return "";
}

SaveMessage SaveResultMessage(const SaveOutcome& outcome, std::int32_t totalMb,
                              std::int32_t limitMb, const std::string& folderText) {
    const std::string m = std::to_string(totalMb);
    const std::string tooLarge =
        "所有附件文件大小为:" + m + "M，超过最大限定（" + std::to_string(limitMb) +
        "M）,请减少文件大小,建议处理方法:\r\n"
        "  1、对于JPG文件：降低图片精度或大小\r\n"
        "  2、对于DOC文件：对文中图片【设置图片格式】,选择压缩【文档中所有图片】\r\n"
        "  3、对于PDF文件：对原始文件压缩后重新生成PDF文件";
    const bool over = totalMb > limitMb;
    if (outcome.failures.empty() && !outcome.storagePathError.empty()) {
        // Every file was stored; only the database refused the folder.
        return {"申报资料已保存，但申报资料存储路径未能记入模板数据库：" +
                    outcome.storagePathError +
                    "\r\n下次打开时不会自动显示该目录，请处理后重新保存。\r\n" +
                    (over ? tooLarge : "所有附件文件大小为:" + m + "M"),
                "警告", platform::MsgIcon::Critical};
    }
    if (!outcome.failures.empty()) {
        std::string text = "保存未全部成功！以下报件的文件未能保存：";
        const std::size_t shown = std::min(outcome.failures.size(), kListedFailures);
        for (std::size_t i = 0; i < shown; ++i) {
            const SaveFailure& f = outcome.failures[i];
            text += "\r\n  【" + f.material + "】" + f.entry + "：" + ProblemText(f.problem) +
                    (f.detail.empty() ? std::string() : "：" + f.detail) +
                    (f.source.empty() ? std::string() : "（" + f.source + "）");
        }
        if (outcome.failures.size() > shown)
            text += "\r\n  ……另有 " + std::to_string(outcome.failures.size() - shown) +
                    " 个报件未能保存";
        if (!outcome.storagePathError.empty())
            text += "\r\n  申报资料存储路径未能记入模板数据库：" + outcome.storagePathError;
        text += "\r\n请处理后重新保存。\r\n" + (over ? tooLarge : "所有附件文件大小为:" + m + "M");
        return {text, "警告", platform::MsgIcon::Critical};
    }
    if (over)
        return {"保存成功!\r\n" + tooLarge, "警告", platform::MsgIcon::Critical};
    return {"保存成功!  所有附件文件大小为:" + m + "M\r\n请将【" + folderText +
                "】目录(不含)下所有目录和文件刻录成光盘做为电子申报资料上报...\r\n"
                " 【注意】请不要手动对该目录下文件名和后缀名做任何修改！",
            "提示", platform::MsgIcon::Information};
}

std::string RepairSentence(const PackageRepair& repair, const std::string& folder) {
    const std::string f = "【" + folder + "】";
    switch (repair.result) {
    case RepairResult::Nothing:
        return {};
    case RepairResult::RolledBack:
        return "上次保存到" + f + "时被中断，已恢复为该次保存前的申报资料。";
    case RepairResult::Finished:
        return "上次保存到" + f + "时被中断，新的申报资料已完整，已完成该次保存的收尾。";
    case RepairResult::Failed: {
        std::string text = "上次保存到" + f + "时被中断，未能恢复，以下文件已是新内容，请勿刻录：";
        for (const std::string& file : repair.stuck)
            text += "\r\n  " + file;
        return text + "\r\n重新保存时，程序会把未能恢复的备份移到一旁，并重新写入全部申报资料。";
    }
    case RepairResult::Refused: {
        std::string text = f + "中有一次被中断的保存，但其中有指向别处的链接或无法识别的文件，"
                               "程序没有修改任何文件：";
        const std::size_t shown = std::min<std::size_t>(repair.refused.size(), 10);
        for (std::size_t i = 0; i < shown; ++i)
            text += "\r\n  " + repair.refused[i];
        if (repair.refused.size() > shown)
            text += "\r\n  ……另有 " + std::to_string(repair.refused.size() - shown) + " 项";
        return text + "\r\n请删除这些链接（或换用不含链接的副本）后重新打开该目录，"
                      "或者重新保存（程序会把中断的保存移到一旁，并重新写入全部申报资料）。"
                      "在此之前请勿刻录。";
    }
    case RepairResult::ReadOnly:
        return f + "中有一次被中断的保存，但该目录只读，未作任何修复，请勿刻录。";
    case RepairResult::Busy:
        return "另一个程序正在保存到" + f + Holder(repair.holder) + "，未作修复。";
    case RepairResult::OtherHost:
        return f + "已被另一台计算机上的程序锁定" + Holder(repair.holder) +
               "，其中被中断的保存未作修复，请勿刻录。确认该程序已经结束后，可删除锁定文件 " +
               kPackageLockName + "。";
    case RepairResult::NoLock:
        return "无法锁定" + f + "（" + repair.lockProblem +
               "），其中被中断的保存未作修复，请勿刻录。";
    }
    return {};
}

std::string ForeignLockQuestion(const platform::LockHolder& holder, const std::string& folder) {
    return "【" + folder + "】中的锁定文件 " + kPackageLockName + " 属于" +
           platform::DescribeHolder(holder) +
           "。\r\n那台计算机上的程序可能正在保存；如果它已经结束，可以删除该锁定文件。"
           "\r\n是否删除锁定文件并继续？";
}

namespace {

std::string Megabytes(std::uint64_t bytes, bool up) {
    constexpr std::uint64_t kMb = 1024 * 1024;
    return std::to_string(up ? (bytes + kMb - 1) / kMb : bytes / kMb);
}

} // namespace

std::string SaveFailureText(const SaveOutcome& outcome, const std::string& folder) {
    const std::string f = "【" + folder + "】";
    switch (outcome.status) {
    case SaveStatus::Saved:
    case SaveStatus::Unreadable:
    case SaveStatus::FolderNotWritable:
    case SaveStatus::Declined:
        return {};
    case SaveStatus::Cancelled:
        return "保存已取消，" + f + "中的申报资料没有任何改动。";
    case SaveStatus::Busy:
        return "另一个程序正在保存到" + f + Holder(outcome.lockHolder) + "，请等它结束后再保存。";
    case SaveStatus::ForeignLock:
        return f + "已被另一台计算机上的程序锁定" + Holder(outcome.lockHolder) +
               "，未保存。确认该程序已经结束后，可删除锁定文件 " + kPackageLockName + " 再保存。";
    case SaveStatus::LockRefused:
        return "无法锁定" + f + "（" + outcome.lockProblem +
               "），为免与其他程序同时写入，未保存。请检查该目录及其中的 " + kPackageLockName +
               "。";
    case SaveStatus::Interrupted:
        return RepairSentence(outcome.repair, folder) + "\r\n本次保存未写入任何文件。";
    case SaveStatus::WriteFailed:
        break;
    }
    std::string why;
    switch (outcome.writeProblem) {
    case SaveProblem::DiskFull:
        why = "存储路径所在磁盘空间不足：申报资料需要 " + Megabytes(outcome.neededBytes, true) +
              " MB，磁盘上只有 " + Megabytes(outcome.freeBytes, false) + " MB 可用";
        break;
    case SaveProblem::FlushFailed:
        why = "文件未能写入磁盘";
        break;
    case SaveProblem::ReadOnly:
        why = "存储路径变为只读";
        break;
    default:
        why = "文件无法写入存储路径";
        break;
    }
    std::string text = "保存失败：" + why + "。";
    if (outcome.stuck.empty()) {
        text += "\r\n" + f + "中保存前的申报资料已恢复，没有任何改动。";
    } else {
        text += "\r\n未能恢复" + f + "中保存前的申报资料，以下文件已是新内容：";
        for (const std::string& file : outcome.stuck)
            text += "\r\n  " + file;
        text += "\r\n下次打开或保存该目录时将再次恢复，恢复前请勿刻录。";
    }
    return text;
}

std::string SetAsideSentence(const SaveOutcome& outcome, const std::string& folder) {
    if (outcome.setAside.empty())
        return {};
    return "上次保存到【" + folder + "】时被中断且未能恢复，其备份已移到该目录中的【" +
           outcome.setAside +
           "】文件夹；本次保存重新写入了全部申报资料。确认不再需要这些备份后，可删除该文件夹。";
}

} // namespace materials
