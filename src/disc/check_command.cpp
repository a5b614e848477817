#include "disc/check_command.h"

#include "materials/manifest.h"
#include "materials/save_folder.h"
#include "platform/file_copy.h"
#include "platform/utf8.h"

#include <filesystem>
#include <system_error>

namespace materials {
namespace {

namespace fs = std::filesystem;

bool ReadOnly(const fs::path& folder) {
    return platform::IsReadOnlyFolder(folder);
}

} // namespace

int RunCheckPackage(const std::string& folder, ContentInspector* inspector, std::ostream& out) {
    const fs::path path = util::PathFromUtf8(folder);
    std::error_code error;
    if (folder.empty() || !fs::is_directory(path, error)) {
        out << "【" << folder << "】不是一个可以读取的目录，其中没有申报资料。\n";
        return kCheckNoPackage;
    }
    if (ReadOnly(path)) {
        out << "【" << folder << "】目录只读：不作任何修复，也不写入任何文件。\n";
    } else {
        const std::string sentence = RepairSentence(RepairPackage(folder), folder);
        if (!sentence.empty())
            out << sentence << "\n";
    }
    const PackageCheck check = CheckPackage(folder, inspector);
    if (!check.readable) {
        out << "【" << folder << "】中没有可以读取的申报资料（" << kStoredCopyName << "）。\n";
        return kCheckNoPackage;
    }
    for (FindingLevel level : {FindingLevel::Error, FindingLevel::Warning})
        for (const PackageFinding& f : check.findings)
            if (f.level == level)
                out << (level == FindingLevel::Error ? "错误：" : "警告：") << FindingLine(f)
                    << "\n";
    if (check.burnable()) {
        out << "可以刻录：共 " << check.discFiles.size() << " 个文件。\n";
        return kCheckBurnable;
    }
    out << "不能刻录：发现 " << check.count(FindingLevel::Error) << " 个错误。\n";
    return kCheckNotBurnable;
}

} // namespace materials
