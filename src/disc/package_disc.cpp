#include "disc/package_disc.h"

#include "materials/name_rule.h"
#include "platform/utf8.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <optional>
#include <set>

namespace disc {
namespace {

namespace fs = std::filesystem;
using disc::DiscStatus;
using Status = DiscOutcome::Status;

constexpr std::size_t kVolumeUnits = 16; // UTF-16 units in the Joliet descriptor
constexpr std::size_t kVolumeBytes = 32; // bytes in the primary descriptor
constexpr std::size_t kMaxDifferences = 20;

std::string Mb(std::uint64_t bytes) {
    return std::to_string((bytes + (1 << 20) - 1) >> 20) + "M";
}

std::string TooLarge(std::uint64_t bytes) {
    return "光盘内容共" + Mb(bytes) + "，超过单层DVD光盘的容量（" + Mb(kDvdBytes) + "）";
}

std::uint64_t LayoutBytes(const disc::DiscLayout& layout) {
    std::uint64_t total = 0;
    for (const disc::DiscFile& f : layout.files)
        total += f.size;
    return total;
}

// The folders of the layout's paths, each once.
std::set<std::string> Folders(const disc::DiscLayout& layout) {
    std::set<std::string> folders;
    for (const disc::DiscFile& f : layout.files)
        for (std::size_t slash = f.discPath.find('/'); slash != std::string::npos;
             slash = f.discPath.find('/', slash + 1))
            folders.insert(f.discPath.substr(0, slash));
    return folders;
}

void CompareTree(const std::vector<disc::VolumeEntry>& entries, const disc::DiscLayout& layout,
                 const std::string& tree, std::vector<std::string>& differences) {
    std::map<std::string, const disc::VolumeEntry*> found;
    for (const disc::VolumeEntry& e : entries)
        found.emplace(e.path, &e);
    const std::set<std::string> folders = Folders(layout);
    std::set<std::string> expected(folders.begin(), folders.end());
    for (const disc::DiscFile& f : layout.files) {
        expected.insert(f.discPath);
        const auto at = found.find(f.discPath);
        if (at == found.end() || at->second->folder)
            differences.push_back(tree + "中缺少文件：" + f.discPath);
        else if (at->second->size != f.size)
            differences.push_back(tree + "中文件大小不符：" + f.discPath);
    }
    for (const std::string& folder : folders) {
        const auto at = found.find(folder);
        if (at == found.end() || !at->second->folder)
            differences.push_back(tree + "中缺少文件夹：" + folder);
    }
    for (const disc::VolumeEntry& e : entries)
        if (!expected.count(e.path))
            differences.push_back(tree + "中多出：" + e.path);
}

// One file of the volume against its file in the folder, byte for byte.
bool SameContent(disc::DiscVolume& volume, const disc::DiscFile& file, disc::DiscProgress& progress,
                 std::uint64_t& done, std::uint64_t total, bool& cancelled) {
    std::ifstream in(file.source, std::ios::binary);
    if (!in)
        return false;
    std::vector<char> expected;
    bool same = true;
    const bool read = volume.read(file.discPath, [&](const char* data, std::size_t size) {
        expected.resize(size);
        in.read(expected.data(), std::streamsize(size));
        if (std::size_t(in.gcount()) != size || std::memcmp(expected.data(), data, size) != 0) {
            same = false;
            return false;
        }
        done += size;
        progress.progress(done, total);
        if (progress.cancelRequested()) {
            cancelled = true;
            return false;
        }
        return true;
    });
    if (cancelled)
        return true;
    char extra;
    return read && same && !in.read(&extra, 1);
}

// The one name rule on every name and path of the layout, and no two paths
// that are one to Windows; "" when the layout may be written.
std::string LayoutNameProblem(const disc::DiscLayout& layout) {
    std::map<std::string, std::string> keys;
    for (const disc::DiscFile& f : layout.files) {
        std::vector<std::string> parts;
        std::size_t start = 0;
        for (std::size_t slash; (slash = f.discPath.find('/', start)) != std::string::npos;
             start = slash + 1)
            parts.push_back(f.discPath.substr(start, slash - start));
        parts.push_back(f.discPath.substr(start));
        for (const std::string& part : parts)
            if (const std::string problem = materials::NameProblem(part); !problem.empty())
                return "光盘上的名称“" + part + "”" + problem;
        if (parts.size() == 2)
            if (const std::string problem = materials::PathProblem(parts[0], parts[1]);
                !problem.empty())
                return f.discPath + "：" + problem;
        if (parts.size() > 2)
            return f.discPath + "：路径层次过多";
        std::string key;
        for (const std::string& part : parts)
            key += materials::NameKey(part) + "/";
        const auto [first, fresh] = keys.emplace(key, f.discPath);
        if (!fresh)
            return f.discPath + "：与" + first->second + "在Windows上是同一个文件";
    }
    return {};
}

void Remove(const fs::path& path) {
    std::error_code ignored;
    fs::remove(path, ignored);
}

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += "\r\n  " + line;
    return text;
}

} // namespace

std::string DiscVolumeName(const std::string& text) {
    std::string name;
    std::size_t units = 0;
    for (char32_t c : platform::ToU32(text)) {
        if (c < 0x20 || c == 0x7F || c == 0xFFFD || c > 0xFFFF ||
            std::u32string_view(U"\\/:*?\"<>|;").find(c) != std::u32string_view::npos)
            continue;
        const std::string bytes = platform::ToUtf8(c);
        if (units + 1 > kVolumeUnits || name.size() + bytes.size() > kVolumeBytes)
            break;
        name += bytes;
        ++units;
    }
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    return name.empty() ? "APLPKG" : name;
}

std::string PrimaryVolumeId(std::time_t when) {
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &when);
#else
    localtime_r(&when, &local);
#endif
    char date[16];
    std::strftime(date, sizeof date, "%Y%m%d", &local);
    return std::string("APLPKG_") + date;
}

disc::DiscLayout PackageLayout(const PackageCheck& check, const std::string& volumeName) {
    return {volumeName, check.discFiles, PrimaryVolumeId(std::time(nullptr))};
}

std::vector<std::string> CompareVolume(disc::DiscVolume& volume, const disc::DiscLayout& layout,
                                       disc::DiscProgress& progress, bool& cancelled) {
    cancelled = false;
    std::vector<std::string> differences;
    if (volume.jolietVolumeName() != layout.volumeName)
        differences.push_back("卷标不符：“" + volume.jolietVolumeName() + "”");
    if (volume.primaryVolumeName() != disc::DCharacters(layout.primaryVolumeId))
        differences.push_back("主卷标不符：“" + volume.primaryVolumeName() + "”");
    CompareTree(volume.entries(disc::NameTree::Joliet), layout, "Joliet目录", differences);
    CompareTree(volume.entries(disc::NameTree::RockRidge), layout, "Rock Ridge目录", differences);
    const std::uint64_t total = LayoutBytes(layout);
    std::uint64_t done = 0;
    for (const disc::DiscFile& f : layout.files) {
        if (progress.cancelRequested()) {
            cancelled = true;
            break;
        }
        const std::uint64_t before = done;
        if (!SameContent(volume, f, progress, done, total, cancelled))
            differences.push_back("文件内容与申报资料目录中的不同：" + f.discPath);
        if (cancelled)
            break;
        done = before + f.size;
    }
    if (differences.size() > kMaxDifferences) {
        const std::size_t more = differences.size() - kMaxDifferences;
        differences.resize(kMaxDifferences);
        differences.push_back("……另有" + std::to_string(more) + "处不符");
    }
    return differences;
}

namespace {

// What a failed write of the image tells.
DiscOutcome ImageWriteFailure(const disc::DiscResult& written) {
    switch (written.status) {
    case DiscStatus::Cancelled:
        return {Status::Cancelled, "已取消，映像文件未生成。"};
    case DiscStatus::NoSpace:
        return {Status::Failed, "目标磁盘空间已满，映像文件未生成。"};
    case DiscStatus::SourceFailed:
        return {Status::Failed, "读取申报资料文件出错，映像文件未生成：\r\n" + written.detail};
    default:
        return {Status::Failed, "写入映像文件出错，映像文件未生成：" + written.detail};
    }
}

// The image written to `target` read back and compared with `layout`: what
// to tell when that fails, is cancelled or finds a difference (the image is
// deleted then); nothing when it holds what it should.
std::optional<DiscOutcome> ReadBackProblem(disc::DiscSystem& system, const disc::DiscLayout& layout,
                                           const fs::path& target, DiscObserver& observer) {
    std::string error;
    std::unique_ptr<disc::DiscVolume> volume = system.openImage(target, error);
    if (!volume) {
        Remove(target);
        return DiscOutcome{Status::Failed, "映像文件无法读回，已删除：" + error};
    }
    bool cancelled = false;
    const std::vector<std::string> differences =
        CompareVolume(*volume, layout, observer, cancelled);
    volume.reset();
    if (cancelled) {
        Remove(target);
        return DiscOutcome{Status::Cancelled, "已取消校验，未经校验的映像文件已删除。"};
    }
    if (!differences.empty()) {
        Remove(target);
        return DiscOutcome{Status::Mismatch,
                           "映像文件与申报资料目录不符，已删除：" + Lines(differences)};
    }
    return std::nullopt;
}

} // namespace

DiscOutcome WriteDiscImage(disc::DiscSystem& system, const disc::DiscLayout& layout,
                           const fs::path& target, DiscObserver& observer, const SinkOpener& open) {
    const std::string where = platform::PathToUtf8(target);
    const std::uint64_t bytes = LayoutBytes(layout);
    if (bytes > kDvdBytes)
        return {Status::Refused, TooLarge(bytes) + "，未制作映像文件。"};
    if (const std::string problem = LayoutNameProblem(layout); !problem.empty())
        return {Status::Refused, problem + "，未制作映像文件。"};
    std::string error;
    const std::optional<std::uint64_t> size = system.imageSize(layout, error);
    if (!size)
        return {Status::Failed, "无法制作光盘映像：" + error};
    if (*size > kDvdBytes)
        return {Status::Refused, TooLarge(*size) + "，未制作映像文件。"};
    std::error_code openError;
    std::unique_ptr<disc::ImageSink> sink = open(target, openError);
    if (!sink)
        return {Status::Failed, "无法建立映像文件" + where + "：" + openError.message()};
    if (sink->available() < *size) {
        const std::uint64_t room = sink->available();
        sink->discard();
        return {Status::Refused, "目标磁盘空间不足：映像文件需要" + Mb(*size) + "，只有" +
                                     Mb(room) + "可用，未制作映像文件。"};
    }

    observer.phase(DiscPhase::Writing);
    const disc::DiscResult written = system.writeImage(layout, *sink, observer);
    if (!written.ok()) {
        sink->discard();
        return ImageWriteFailure(written);
    }
    if (const std::error_code e = sink->finish()) {
        const bool full = e == std::errc::no_space_on_device;
        return {Status::Failed, full ? "目标磁盘空间已满，映像文件未生成。"
                                     : "写入映像文件出错，映像文件未生成：" + e.message()};
    }

    observer.phase(DiscPhase::Verifying);
    if (std::optional<DiscOutcome> problem = ReadBackProblem(system, layout, target, observer))
        return std::move(*problem);
    return {Status::Good, "光盘映像文件已生成，读回校验无误：\r\n  " + where + "\r\n  卷标：" +
                              layout.volumeName + "，共" + std::to_string(layout.files.size()) +
                              "个文件，" + Mb(*size)};
}

DiscOutcome BurnDisc(disc::DiscSystem& system, disc::DiscDrive& drive,
                     const disc::DiscLayout& layout, DiscObserver& observer) {
    const disc::MediumInfo medium = drive.medium();
    switch (medium.state) {
    case disc::MediumState::NoMedium:
        return {Status::Refused, "刻录机中没有光盘，请放入一张空白光盘。"};
    case disc::MediumState::Written:
        return {Status::Refused, "光盘不是空白盘（已有数据），请换一张空白光盘。"};
    case disc::MediumState::Unsuitable:
        return {Status::Refused, "这张光盘不能由该刻录机写入，请换一张空白光盘。"};
    case disc::MediumState::Blank:
        break;
    }
    const std::uint64_t bytes = LayoutBytes(layout);
    if (bytes > kDvdBytes)
        return {Status::Refused, TooLarge(bytes) + "，未刻录。"};
    if (const std::string problem = LayoutNameProblem(layout); !problem.empty())
        return {Status::Refused, problem + "，未刻录。"};
    std::string error;
    const std::optional<std::uint64_t> size = system.imageSize(layout, error);
    if (!size)
        return {Status::Failed, "无法制作光盘映像：" + error};
    if (*size > medium.freeBytes)
        return {Status::Refused, "光盘空间不足：需要" + Mb(*size) + "，光盘可用" +
                                     Mb(medium.freeBytes) + "，未刻录。"};

    observer.phase(DiscPhase::Writing);
    // A cancel that came before the drive started leaves the medium blank.
    if (observer.cancelRequested())
        return {Status::Cancelled, "刻录已取消，光盘未写入。"};
    const disc::DiscResult burnt = drive.burn(layout, observer);
    if (!burnt.ok()) {
        if (burnt.status == DiscStatus::Cancelled)
            return {Status::Cancelled, "刻录已取消。光盘可能已部分写入，不能作为申报光盘使用。"};
        return {Status::Failed, "刻录失败，光盘不能作为申报光盘使用：" + burnt.detail};
    }

    observer.phase(DiscPhase::Verifying);
    std::unique_ptr<disc::DiscVolume> volume = drive.readBack(error);
    if (!volume)
        return {Status::Failed, "刻录后无法读回光盘，光盘不能作为申报光盘使用：" + error};
    bool cancelled = false;
    const std::vector<std::string> differences =
        CompareVolume(*volume, layout, observer, cancelled);
    if (cancelled)
        return {Status::Cancelled, "已取消校验，光盘未经校验。"};
    if (!differences.empty())
        return {Status::Mismatch,
                "光盘与申报资料目录不符，不能作为申报光盘使用：" + Lines(differences)};
    return {Status::Good, "刻录完成，读回校验无误：卷标" + layout.volumeName + "，共" +
                              std::to_string(layout.files.size()) + "个文件，" + Mb(*size)};
}

} // namespace disc
