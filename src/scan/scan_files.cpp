#include "scan/scan_files.h"

#include "materials/modfjgl.h"
#include "platform/file_read.h"
#include "platform/utf8.h"

#include <filesystem>
#include <system_error>

namespace scan {

std::string ScanFolder(const std::string& dataFolder) {
    const std::filesystem::path folder =
        platform::PathFromUtf8(dataFolder) / platform::PathFromUtf8(kScanFolderName);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!std::filesystem::is_directory(folder, ec))
        return {};
    return platform::PathToUtf8(folder);
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
    const std::filesystem::path dir = platform::PathFromUtf8(folder);
    std::string name = base + "." + extension;
    std::error_code ec;
    for (int n = 2; std::filesystem::exists(dir / platform::PathFromUtf8(name), ec); ++n)
        name = base + "(" + std::to_string(n) + ")." + extension;
    return platform::PathToUtf8(dir / platform::PathFromUtf8(name));
}

std::string ShrinkPreviewPath(const std::string& finalPath) {
    const std::filesystem::path p = platform::PathFromUtf8(finalPath);
    return platform::PathToUtf8(p.parent_path() /
                                platform::PathFromUtf8("~" + platform::PathToUtf8(p.filename())));
}

namespace {

// "...-压缩.jpg" or "...-压缩(2).pdf".
bool HasShrinkSuffix(const std::string& stem) {
    std::string s = stem;
    if (!s.empty() && s.back() == ')') {
        const std::size_t open = s.rfind('(');
        if (open != std::string::npos)
            s.resize(open);
    }
    const std::string suffix = kShrinkSuffix;
    return s.size() >= suffix.size() &&
           s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

} // namespace

int RemoveShrinkPreviews(const std::string& dataFolder) {
    const std::filesystem::path folder =
        platform::PathFromUtf8(dataFolder) / platform::PathFromUtf8(kScanFolderName);
    std::error_code ec;
    int removed = 0;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = platform::PathToUtf8(it->path().filename());
        const std::string stem = platform::PathToUtf8(it->path().stem());
        std::error_code ignored;
        if (name.rfind('~', 0) == 0 && HasShrinkSuffix(stem) &&
            it->symlink_status(ignored).type() == std::filesystem::file_type::regular &&
            std::filesystem::remove(it->path(), ignored))
            ++removed;
    }
    return removed;
}

bool IsShrinkCopy(const std::string& path) {
    const std::filesystem::path p = platform::PathFromUtf8(path);
    return platform::PathToUtf8(p.parent_path().filename()) == kScanFolderName &&
           HasShrinkSuffix(platform::PathToUtf8(p.stem()));
}

bool ReadInputFile(const std::string& path, std::vector<std::uint8_t>& out) {
    const platform::FileContent content =
        platform::ReadRegularFile(platform::PathFromUtf8(path), std::uintmax_t{1} << 30);
    if (!content.ok())
        return false;
    out.assign(content.bytes.begin(), content.bytes.end());
    return true;
}

} // namespace scan
