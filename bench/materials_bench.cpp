// Builds a large package (200 materials of 20 file entries, half of them
// linked to real files) and measures, as ratios to one libxml2 load + save of
// the same manifest: opening the materials window on it, and linking one file
// including the refresh of the material's count, size and the total.
//
//   materials_bench            (runs offscreen; exit status 1 when a goal is missed)

#include "materials/ui/FrmFjgl.h"
#include "platform/prompter.h"
#include "startup/mainbas.h"
#include "util/utf8.h"

#include <QApplication>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kMaterials = 200;
constexpr int kFilesPerMaterial = 20;
constexpr int kRuns = 15;
constexpr double kGoal = 4.0;

std::string MaterialName(int m) {
    return "申报材料第" + std::to_string(m) + "项";
}

std::string ManifestText(const fs::path& sources) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
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
    return xml + " </attachments>\n</offer>\n";
}

// The manifest as the templates store it: declared GB2312, written by libxml2.
void WriteGbManifest(const fs::path& path, const std::string& utf8) {
    xmlDocPtr doc = xmlReadMemory(utf8.data(), static_cast<int>(utf8.size()), "bench", nullptr, 0);
    xmlSaveFormatFileEnc(path.string().c_str(), doc, "GB2312", 0);
    xmlFreeDoc(doc);
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exec(sqlite3* db, const std::string& sql) {
    return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

// A template database with one category and one item whose package is saved.
bool WriteTemplateDatabase(const fs::path& file, const std::string& storageFolder,
                           const std::string& manifest) {
    sqlite3* raw = nullptr;
    if (sqlite3_open(util::PathToUtf8(file).c_str(), &raw) != SQLITE_OK)
        return false;
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, sqlite3_close);
    if (!Exec(db.get(), ReadText(QUILLOR_SCHEMA_SQL)) ||
        !Exec(db.get(), "insert into 系统参数 values (3,'基准类别','基准','1','1',1)"))
        return false;
    sqlite3_stmt* stmt = nullptr;
    const std::string insert =
        "insert into 资料模板 (类别,序号,子项序号,子项名称,申请事项名称,申请事项简称,存储路径,"
        "文件标识,项目名称标识,XML模板,文件大小) values (3,1,0,'','基准事项','基准',?,'BENCH',0,?,"
        "200)";
    if (sqlite3_prepare_v2(db.get(), insert.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
        return false;
    sqlite3_bind_text(stmt, 1, storageFolder.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_blob(stmt, 2, manifest.data(), static_cast<int>(manifest.size()),
                      SQLITE_TRANSIENT);
    const bool done = sqlite3_step(stmt) == SQLITE_DONE;
    sqlite3_finalize(stmt);
    return done;
}

// Answers every file dialog with one file and every question with its first button.
class BenchPrompter final : public platform::Prompter {
  public:
    std::string file;
    platform::MsgAnswer message(const std::string&, const std::string&, platform::MsgIcon,
                                platform::MsgButtons buttons) override {
        return buttons == platform::MsgButtons::YesNo ? platform::MsgAnswer::Yes
                                                      : platform::MsgAnswer::Ok;
    }
    std::optional<std::string> openFile(const platform::FileDialogRequest&) override {
        return file;
    }
    std::optional<std::string> saveFile(const platform::FileDialogRequest&) override { return {}; }
    std::optional<std::string> pickFolder(const std::string&, const std::string&) override {
        return {};
    }
    int printerCount() override { return 1; }
};

double MedianMs(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

double Ms(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since)
        .count();
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    auto prompter = std::make_shared<BenchPrompter>();
    platform::SetPrompter(prompter);

    const fs::path root = fs::temp_directory_path() / "quillor_materials_bench";
    fs::remove_all(root);
    const fs::path program = root / "程序", package = root / "包", sources = root / "源文件";
    for (const fs::path& folder : {program, package, sources})
        fs::create_directories(folder);
    const std::string text = ManifestText(sources);
    WriteGbManifest(package / "APLPKG.XML", text);
    if (!WriteTemplateDatabase(program / "系统模板.mdb", util::PathToUtf8(package), text) ||
        !Main(program)) {
        std::fprintf(stderr, "cannot set up the template database\n");
        return 2;
    }
    const std::string work = util::PathToUtf8(program / "TempXml.XML");
    std::printf("manifest: %ju bytes (GB2312), %d materials x %d entries, %d linked files\n",
                static_cast<std::uintmax_t>(fs::file_size(package / "APLPKG.XML")), kMaterials,
                kFilesPerMaterial, kMaterials * kFilesPerMaterial / 2);

    fs::copy_file(package / "APLPKG.XML", work, fs::copy_options::overwrite_existing);
    std::vector<double> baseline, opening, linking;
    for (int i = 0; i < kRuns; ++i) {
        const auto start = std::chrono::steady_clock::now();
        xmlDocPtr doc = xmlReadFile(work.c_str(), nullptr, 0);
        xmlSaveFormatFileEnc(work.c_str(), doc, reinterpret_cast<const char*>(doc->encoding), 0);
        xmlFreeDoc(doc);
        baseline.push_back(Ms(start));
    }

    for (int i = 0; i < kRuns; ++i) {
        SelectedItem = 0;
        ReloadPending = -1;
        const auto start = std::chrono::steady_clock::now();
        materials::ui::FrmFjgl window;
        window.Form_Load();
        opening.push_back(Ms(start));
    }

    materials::ui::FrmFjgl window;
    window.Form_Load();
    prompter->file = util::PathToUtf8(sources / "1_1.pdf");
    for (int i = 0; i < kRuns; ++i) {
        window.MedFlex1().setRow(1 + (i * 13) % kMaterials);
        window.MedFlex1_Click();
        window.MedFlex2().setRow(2 + 2 * (i % (kFilesPerMaterial / 2))); // an unlinked entry
        window.MedFlex2().setCol(4);
        const auto start = std::chrono::steady_clock::now();
        window.MedFlex2_Click();
        linking.push_back(Ms(start));
    }

    const double base = MedianMs(baseline), open = MedianMs(opening), link = MedianMs(linking);
    std::printf("libxml2 load + save:  %7.1f ms\n", base);
    std::printf("opening the window:   %7.1f ms = %.2fx (goal <= %.0fx)\n", open, open / base,
                kGoal);
    std::printf("linking one file:     %7.1f ms = %.2fx (goal <= %.0fx)\n", link, link / base,
                kGoal);
    if (!std::getenv("QUILLOR_BENCH_KEEP"))
        fs::remove_all(root);
    return open / base <= kGoal && link / base <= kGoal ? 0 : 1;
}
