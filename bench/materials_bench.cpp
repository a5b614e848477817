// Builds a large package (200 materials of 20 file entries, half of them
// linked to real files) and measures, as ratios to one libxml2 load + save of
// the same manifest: opening the materials window on it, and linking one file
// including the refresh of the material's count, size and the total. Each
// measured action is timed right after a baseline run, so that a busy machine
// weighs on both alike; the medians are compared.
//
// A second case, 500 materials of 20 entries (10,000 entries), shows that the
// window stays responsive on a very large package: scrolling the material list
// by a page (with its repaint), choosing a material and linking one file each
// take under 100 ms (median).
//
//   materials_bench [--quick]   (runs offscreen; exit status 1 when a goal is missed;
//                                --quick: the first case only, three runs)

#include "materials/ui/FrmFjgl.h"
#include "materials/ui/flexgrid.h"
#include "platform/prompter.h"
#include "platform/utf8.h"
#include "startup/mainbas.h"

#include <QApplication>
#include <QScrollBar>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kRuns = 15;
constexpr double kOpenGoal = 2.0;    // × one libxml2 load + save
constexpr double kLinkGoal = 2.5;    // × one libxml2 load + save
constexpr double kLargeGoalMs = 100; // each action in the 10,000-entry case

struct Case {
    int materials;
    int filesPerMaterial;
};

std::string MaterialName(int m) {
    return "申报材料第" + std::to_string(m) + "项";
}

std::string ManifestText(const fs::path& sources, const Case& size) {
    const int kFilesPerMaterial = size.filesPerMaterial;
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<offer ver=\"1\" mark=\"BENCH\">\n <attachments>\n";
    for (int m = 1; m <= size.materials; ++m) {
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
                link = platform::PathToUtf8(file);
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
    if (sqlite3_open(platform::PathToUtf8(file).c_str(), &raw) != SQLITE_OK)
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

// Processor time of this thread in ms: what an action costs, without the
// waiting that other programs on a busy machine add to the clock.
double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

double Ms(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since)
        .count();
}

struct Result {
    double base = 0, open = 0, link = 0, choose = 0, scroll = 0;
    double linkCpu = 0, chooseCpu = 0, scrollCpu = 0; // processor time
};

// One package of the given size, measured `runs` times each.
bool RunCase(const Case& size, int runs, BenchPrompter& prompter, Result& result) {
    const fs::path root = fs::temp_directory_path() / "quillor_materials_bench";
    fs::remove_all(root);
    const fs::path program = root / "程序", package = root / "包", sources = root / "源文件";
    for (const fs::path& folder : {program, package, sources})
        fs::create_directories(folder);
    const std::string text = ManifestText(sources, size);
    WriteGbManifest(package / "APLPKG.XML", text);
    if (!WriteTemplateDatabase(program / "系统模板.mdb", platform::PathToUtf8(package), text) ||
        !Main(program)) {
        std::fprintf(stderr, "cannot set up the template database\n");
        return false;
    }
    const std::string work = platform::PathToUtf8(program / "TempXml.XML");
    const std::string yardstick = platform::PathToUtf8(root / "yardstick.XML");
    std::printf("manifest: %ju bytes (GB2312), %d materials x %d entries, %d linked files\n",
                static_cast<std::uintmax_t>(fs::file_size(package / "APLPKG.XML")), size.materials,
                size.filesPerMaterial, size.materials * size.filesPerMaterial / 2);

    fs::copy_file(package / "APLPKG.XML", yardstick, fs::copy_options::overwrite_existing);
    const auto baselineRun = [&] {
        const auto start = std::chrono::steady_clock::now();
        xmlDocPtr doc = xmlReadFile(yardstick.c_str(), nullptr, 0);
        xmlSaveFormatFileEnc(yardstick.c_str(), doc, reinterpret_cast<const char*>(doc->encoding),
                             0);
        xmlFreeDoc(doc);
        return Ms(start);
    };
    std::vector<double> baseline, opening, linking, choosing, scrolling, linkCpu, chooseCpu,
        scrollCpu;
    for (int i = 0; i < runs; ++i) {
        baseline.push_back(baselineRun());
        SelectedItem = 0;
        ReloadPending = -1;
        const auto start = std::chrono::steady_clock::now();
        materials::ui::FrmFjgl window;
        window.Form_Load();
        opening.push_back(Ms(start));
    }

    materials::ui::FrmFjgl window;
    window.Form_Load();
    window.show();
    QApplication::processEvents();
    prompter.file = platform::PathToUtf8(sources / "1_1.pdf");
    materials::ui::FlexGrid& list = window.MedFlex1();
    for (int i = 0; i < runs; ++i) {
        baseline.push_back(baselineRun());
        list.setRow(1 + (i * 13) % size.materials);
        auto start = std::chrono::steady_clock::now();
        double cpu = CpuMs();
        window.MedFlex1_Click();
        choosing.push_back(Ms(start));
        chooseCpu.push_back(CpuMs() - cpu);
        window.MedFlex2().setRow(2 + 2 * (i % (size.filesPerMaterial / 2))); // an unlinked entry
        window.MedFlex2().setCol(4);
        start = std::chrono::steady_clock::now();
        cpu = CpuMs();
        window.MedFlex2_Click();
        linking.push_back(Ms(start));
        linkCpu.push_back(CpuMs() - cpu);
        // A page further down the material list, painted.
        QScrollBar* bar = list.verticalScrollBar();
        start = std::chrono::steady_clock::now();
        cpu = CpuMs();
        bar->setValue((bar->value() + bar->pageStep()) % (bar->maximum() + 1));
        list.viewport()->repaint();
        scrolling.push_back(Ms(start));
        scrollCpu.push_back(CpuMs() - cpu);
    }
    result.base = MedianMs(baseline);
    result.open = MedianMs(opening);
    result.link = MedianMs(linking);
    result.choose = MedianMs(choosing);
    result.scroll = MedianMs(scrolling);
    result.linkCpu = MedianMs(linkCpu);
    result.chooseCpu = MedianMs(chooseCpu);
    result.scrollCpu = MedianMs(scrollCpu);
    window.close();
    if (!std::getenv("QUILLOR_BENCH_KEEP"))
        fs::remove_all(root);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bool quick = argc > 1 && std::string(argv[1]) == "--quick";
    auto prompter = std::make_shared<BenchPrompter>();
    platform::SetPrompter(prompter);

    Result r;
    if (!RunCase({200, 20}, quick ? 3 : kRuns, *prompter, r))
        return 2;
    bool met = r.open / r.base <= kOpenGoal && r.link / r.base <= kLinkGoal;
    std::printf("libxml2 load + save:  %7.1f ms\n", r.base);
    std::printf("opening the window:   %7.1f ms = %.2fx (goal <= %.1fx)\n", r.open, r.open / r.base,
                kOpenGoal);
    std::printf("linking one file:     %7.1f ms = %.2fx (goal <= %.1fx)\n", r.link, r.link / r.base,
                kLinkGoal);
    std::printf("choosing a material:  %7.1f ms; scrolling a page: %.1f ms\n", r.choose, r.scroll);
    if (quick)
        return met ? 0 : 1;

    Result large;
    if (!RunCase({500, 20}, 7, *prompter, large))
        return 2;
    std::printf("10,000 entries: libxml2 load + save %.1f ms, opening %.1f ms (%.2fx)\n",
                large.base, large.open, large.open / large.base);
    std::printf("10,000 entries: scrolling a page %.1f ms, choosing a material %.1f ms, "
                "linking one file %.1f ms (goal < %.0f ms each)\n",
                large.scroll, large.choose, large.link, kLargeGoalMs);
    std::printf("10,000 entries, processor time: scrolling %.1f ms, choosing %.1f ms, linking "
                "%.1f ms\n",
                large.scrollCpu, large.chooseCpu, large.linkCpu);
    met = met && large.scroll < kLargeGoalMs && large.choose < kLargeGoalMs &&
          large.link < kLargeGoalMs;
    return met ? 0 : 1;
}
