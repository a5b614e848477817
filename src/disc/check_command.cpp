#include "disc/check_command.h"

#include "materials/manifest.h"
#include "materials/save_folder.h"
#include "platform/file_copy.h"
#include "platform/utf8.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace disc {
namespace {

namespace fs = std::filesystem;

bool ReadOnly(const fs::path& folder) {
    return platform::IsReadOnlyFolder(folder);
}

} // namespace

int RunCheckPackage(const std::string& folder, ContentInspector* inspector, std::ostream& out,
                    bool repair) {
    const fs::path path = platform::PathFromUtf8(folder);
    std::error_code error;
    if (folder.empty() || !fs::is_directory(path, error)) {
        out << "【" << folder << "】不是一个可以读取的目录，其中没有申报资料。\n";
        return kCheckNoPackage;
    }
    bool unrepaired = false;
    if (materials::SaveRunning(folder)) {
        out << "另一个程序正在保存到【" << folder
            << "】，以下结果可能已经过时，请在保存结束后再检查。\n";
    } else if (repair && ReadOnly(path)) {
        out << "【" << folder << "】目录只读：不作任何修复，也不写入任何文件。\n";
        unrepaired = materials::HasInterruptedSave(folder);
    } else if (repair) {
        const std::string sentence =
            materials::RepairSentence(materials::RepairPackage(folder), folder);
        if (!sentence.empty())
            out << sentence << "\n";
        unrepaired = materials::HasInterruptedSave(folder);
    } else if (materials::HasInterruptedSave(folder)) {
        out << "【" << folder << "】中有一次被中断的保存，检查时未作修复（不写入任何文件）。\n"
            << "申请人可运行 quillor --check-package --repair \"" << folder
            << "\" 修复后再检查。\n";
        unrepaired = true;
    }
    const PackageCheck check = CheckPackage(folder, inspector);
    if (!check.readable) {
        out << "【" << folder << "】中没有可以读取的申报资料（" << materials::kStoredCopyName
            << "）。\n";
        return kCheckNoPackage;
    }
    for (FindingLevel level : {FindingLevel::Error, FindingLevel::Warning})
        for (const std::string& line : FindingLines(check, level, kFindingsPerKind))
            out << (level == FindingLevel::Error ? "错误：" : "警告：") << line << "\n";
    if (check.burnable() && !unrepaired) {
        out << "可以刻录：共 " << check.discFiles.size() << " 个文件。\n";
        return kCheckBurnable;
    }
    out << "不能刻录：发现 " << std::max(check.count(FindingLevel::Error), 1) << " 个错误。\n";
    return kCheckNotBurnable;
}

} // namespace disc
