#pragma once
// Manifests, folder snapshots and a fixed summary for the package-save tests
// (also used by the save child program that the crash tests kill).

#include "fieldforms/completeness.h"
#include "materials/save_folder.h"
#include "platform/utf8.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace package_test {

namespace fs = std::filesystem;

struct Entry {
    std::string name; // fileName (and title)
    std::string link; // fileUrl
};

struct Material {
    std::string name;
    std::vector<Entry> entries;
    std::string count = "auto"; // dzjs; "auto": the number of non-empty links
};

inline std::string PackageManifest(const std::vector<Material>& materials) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<offer bbh=\"1\" bpbs=\"TEST\">"
                      "<attachments>";
    int key = 0;
    for (const Material& m : materials) {
        int linked = 0;
        for (const Entry& e : m.entries)
            linked += e.link.empty() ? 0 : 1;
        const std::string n = std::to_string(++key);
        xml += "<attachment fjid=\"" + n + "\"><fjxh>" + n + "</fjxh><fjmc>" + m.name +
               "</fjmc><dzjs>" + (m.count == "auto" ? std::to_string(linked) : m.count) +
               "</dzjs><fileList>";
        int xh = 0;
        for (const Entry& e : m.entries)
            xml += "<file><fileXh>" + std::to_string(++xh) + "</fileXh><fileName>" + e.name +
                   "</fileName><fileTitle>" + e.name + "</fileTitle><fileUrl>" + e.link +
                   "</fileUrl><filems/></file>";
        xml += "</fileList></attachment>";
    }
    return xml + "</attachments></offer>\n";
}

inline std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteAll(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// Every entry below the folder: relative path → content ("<folder>" for folders).
using Snapshot = std::map<std::string, std::string>;
inline Snapshot Take(const fs::path& folder) {
    Snapshot snapshot;
    if (!fs::exists(folder))
        return snapshot;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string relative = platform::PathToUtf8(entry.path().lexically_relative(folder));
        snapshot[relative] = entry.is_directory() ? "<folder>" : ReadAll(entry.path());
    }
    return snapshot;
}

// Whether a staging folder (or the lock) of a save is left in the folder.
inline bool SaveLeftovers(const fs::path& folder) {
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (platform::PathToUtf8(it->path().filename()).starts_with(materials::kProgramEntryPrefix))
            return true;
    return false;
}

// Stands in for the form summaries, which come from the database.
inline void FixedSummary(int mode, fieldforms::LineWriter& writer) {
    if (mode == 1)
        writer.WriteLine("行政审批项目名称=测试申请");
    else
        writer.WriteLine("项目名称=甲项目");
}

inline materials::SaveRequest Request(const fs::path& work, const fs::path& shown,
                                      const std::string& storage, std::size_t chunk = 4096) {
    materials::SaveRequest request;
    request.workPath = platform::PathToUtf8(work);
    request.shownFolder = platform::PathToUtf8(shown);
    request.storageFolder = storage;
    request.summary = FixedSummary;
    request.chunkBytes = chunk;
    return request;
}

} // namespace package_test
