#include "scan/scan_files.h"

#include "materials/modfjgl.h"
#include "platform/file_read.h"
#include "platform/utf8.h"

#include <filesystem>
#include <system_error>

namespace scan {

std::string ScanFolder(const std::string& dataFolder) {
    const std::filesystem::path folder =
        util::PathFromUtf8(dataFolder) / util::PathFromUtf8(kScanFolderName);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!std::filesystem::is_directory(folder, ec))
        return {};
    return util::PathToUtf8(folder);
}

std::string ScanFileName(const std::string& folder, const std::string& item,
                         const std::string& material, const std::string& entry,
                         const std::string& suffix, const std::string& extension,
                         std::time_t when) {
    std::tm local{};
    if (const std::tm* t = std::localtime(&when))
        local = *t;
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string base;
    for (const std::string& part : {item, material, entry}) {
        std::string clean = materials::ToStandardName(part);
        if (clean.size() > 60) { // whole UTF-8 characters only
            std::size_t cut = 60;
            while (cut > 0 && (static_cast<unsigned char>(clean[cut]) & 0xC0) == 0x80)
                --cut;
            clean.resize(cut);
        }
        if (!clean.empty())
            base += clean + "-";
    }
    base += stamp + materials::ToStandardName(suffix);
    const std::filesystem::path dir = util::PathFromUtf8(folder);
    std::string name = base + "." + extension;
    std::error_code ec;
    for (int n = 2; std::filesystem::exists(dir / util::PathFromUtf8(name), ec); ++n)
        name = base + "(" + std::to_string(n) + ")." + extension;
    return util::PathToUtf8(dir / util::PathFromUtf8(name));
}

bool ReadInputFile(const std::string& path, std::vector<std::uint8_t>& out) {
    const platform::FileContent content =
        platform::ReadRegularFile(util::PathFromUtf8(path), std::uintmax_t{1} << 30);
    if (!content.ok())
        return false;
    out.assign(content.bytes.begin(), content.bytes.end());
    return true;
}

} // namespace scan
