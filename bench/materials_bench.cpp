// Builds a large manifest (200 materials of 20 file entries, half of them
// linked to real files) and measures, as ratios to one libxml2 load + save of
// the same file: opening the materials window (the reading it does) and
// linking one file including the refresh.

#include "materials/manifest.h"
#include "util/utf8.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kMaterials = 200;
constexpr int kFilesPerMaterial = 20;

std::string MaterialName(int m) {
    return "申报材料第" + std::to_string(m) + "项";
}

void WriteManifest(const fs::path& path, const fs::path& sources) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\n"
                      "<offer ver=\"1\" mark=\"BENCH\">\n <attachments>\n";
    for (int m = 1; m <= kMaterials; ++m) {
        xml += "  <attachment fjid=\"" + std::to_string(m) + "\"><fjxh>" + std::to_string(m) +
               "</fjxh><fjmc>" + MaterialName(m) + "</fjmc><dzjs>" +
               std::to_string(kFilesPerMaterial / 2) + "</dzjs><fjms>" + MaterialName(m) +
               "的要求：原件扫描，加盖公章。\n复印件无效。</fjms>\n   <fileList>\n";
        for (int f = 1; f <= kFilesPerMaterial; ++f) {
            std::string link;
            if (f % 2 == 1) {
                const fs::path file =
                    sources / (std::to_string(m) + "_" + std::to_string(f) + ".pdf");
                std::ofstream(file, std::ios::binary) << std::string(1000 + 37 * f, 'x');
                link = util::PathToUtf8(file);
            }
            const std::string title = "报件" + std::to_string(f) + "（扫描件）";
            xml += "    <file><fileXh title=\"文件序号\">" + std::to_string(f) +
                   "</fileXh><fileName title=\"文件标准文件名\">" + title +
                   "</fileName><fileTitle title=\"文件标题\">" + title +
                   "</fileTitle><fileUrl title=\"文件路径\">" + link +
                   "</fileUrl><filems title=\"文件描述\">" + title + "的说明</filems></file>\n";
        }
        xml += "   </fileList>\n  </attachment>\n";
    }
    xml += " </attachments>\n</offer>\n";
    // The test text is plain ASCII and Chinese of GB2312: convert through libxml2.
    const fs::path utf8 = path.string() + ".utf8";
    std::ofstream(utf8, std::ios::binary)
        << std::string(xml).replace(xml.find("GB2312"), 6, "UTF-8");
    xmlDocPtr doc = xmlReadFile(utf8.string().c_str(), nullptr, 0);
    xmlSaveFormatFileEnc(path.string().c_str(), doc, "GB2312", 0);
    xmlFreeDoc(doc);
    fs::remove(utf8);
}

double MedianMs(int runs, const std::function<void()>& action) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        action();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main() {
    const fs::path root = fs::temp_directory_path() / "quillor_materials_bench";
    fs::remove_all(root);
    fs::create_directories(root / "sources");
    const fs::path manifestPath = root / "TempXml.XML";
    WriteManifest(manifestPath, root / "sources");
    const std::string manifest = util::PathToUtf8(manifestPath);
    const std::string storage = util::PathToUtf8(root / "pkg");
    std::printf("manifest: %ju bytes, %d materials x %d entries\n",
                static_cast<std::uintmax_t>(fs::file_size(manifestPath)), kMaterials,
                kFilesPerMaterial);

    const int runs = 15;
    const double baseline = MedianMs(runs, [&] {
        xmlDocPtr doc = xmlReadFile(manifest.c_str(), nullptr, 0);
        xmlSaveFormatFileEnc(manifest.c_str(), doc, reinterpret_cast<const char*>(doc->encoding),
                             0);
        xmlFreeDoc(doc);
    });

    // Opening: the material list with sizes, then row 1 selected (its entries and tips).
    const double opening = MedianMs(runs, [&] {
        const auto rows = materials::ReadMaterialsWithSizes(manifest, storage);
        std::vector<std::string> kb;
        for (const auto& row : *rows)
            kb.push_back(row.kb);
        materials::getTotalMb(kb);
        materials::ReadWjlb(rows->front().key, manifest, storage);
        materials::ReadTips(rows->front().key, manifest);
    });

    // Linking: the link, the count, the material's size and the total.
    const std::string source = util::PathToUtf8(root / "sources" / "1_1.pdf");
    int toggle = 0;
    const double linking = MedianMs(runs, [&] {
        const std::string key = std::to_string(100 + (toggle++ % 50));
        materials::saveWjlbUrl(key, "2", source, manifest);
        materials::readAndsaveFilecount(key, manifest);
        materials::getFjKb(key, manifest, storage);
        materials::getTotalMb(std::vector<std::string>(kMaterials, "12"));
    });

    std::printf("libxml2 load + save: %.1f ms\n", baseline);
    std::printf("opening the window: %.1f ms = %.2fx (goal <= 4x)\n", opening, opening / baseline);
    std::printf("linking one file:   %.1f ms = %.2fx (goal <= 4x)\n", linking, linking / baseline);
    if (!std::getenv("QUILLOR_BENCH_KEEP"))
        fs::remove_all(root);
    return opening / baseline <= 4 && linking / baseline <= 4 ? 0 : 1;
}
