// Saves a package of 100 linked files, 200 MB in all, into a fresh folder and
// copies the same source folder with `cp -r`, alternately, five times each;
// prints the medians and their ratio. The save flushes its files to the disk
// before it commits the package, which cp -r does not: the ratio to
// `cp -r` followed by `sync` is shown beside it. Each run also saves the
// package once more over itself (every file replaced: backups, journal and
// the lock of the package folder at work), whose median is printed too.
//
//   save_bench            (exit status 1 when the save takes over 1.2 × cp -r)

#include "materials/save_folder.h"
#include "platform/utf8.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kMaterials = 10;
constexpr int kFilesPerMaterial = 10;
constexpr std::size_t kFileBytes = std::size_t{2} << 20;
constexpr int kRuns = 5;
constexpr double kGoal = 1.2;

std::string Quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

void Shell(const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(2);
    }
}

// 100 files of incompressible bytes and a manifest linking each of them.
void MakeSources(const fs::path& sources, const fs::path& manifest) {
    fs::create_directories(sources);
    std::mt19937_64 random(42);
    std::vector<std::uint64_t> block(kFileBytes / sizeof(std::uint64_t));
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<offer bbh=\"1\" "
                      "bpbs=\"BENCH\"><attachments>\n";
    for (int m = 1; m <= kMaterials; ++m) {
        xml += "<attachment fjid=\"" + std::to_string(m) + "\"><fjxh>" + std::to_string(m) +
               "</fjxh><fjmc>申报材料" + std::to_string(m) + "</fjmc><dzjs>" +
               std::to_string(kFilesPerMaterial) + "</dzjs><fileList>\n";
        for (int f = 1; f <= kFilesPerMaterial; ++f) {
            for (auto& word : block)
                word = random();
            const fs::path file =
                sources / ("扫描件" + std::to_string(m) + "-" + std::to_string(f) + ".pdf");
            std::ofstream(file, std::ios::binary)
                .write(reinterpret_cast<const char*>(block.data()),
                       static_cast<std::streamsize>(kFileBytes));
            xml += "<file><fileXh>" + std::to_string(f) + "</fileXh><fileName>报件" +
                   std::to_string(f) + "</fileName><fileTitle>报件" + std::to_string(f) +
                   "</fileTitle><fileUrl>" + platform::PathToUtf8(file) +
                   "</fileUrl><filems/></file>\n";
        }
        xml += "</fileList></attachment>\n";
    }
    std::ofstream(manifest, std::ios::binary) << xml << "</attachments></offer>\n";
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main() {
    const fs::path root = fs::temp_directory_path() /
                          ("quillor_save_bench_" + std::to_string(std::random_device{}()));
    const fs::path sources = root / "源文件";
    const fs::path manifest = root / "TempXml.XML";
    MakeSources(sources, manifest);

    std::vector<double> save, resave, copy, copySync;
    for (int run = 0; run < kRuns; ++run) {
        const fs::path saved = root / ("包" + std::to_string(run));
        const fs::path copied = root / ("复制" + std::to_string(run));
        Shell("sync");
        auto start = std::chrono::steady_clock::now();
        materials::SaveRequest request;
        request.workPath = platform::PathToUtf8(manifest);
        request.shownFolder = platform::PathToUtf8(saved);
        request.summary = [](int, fieldforms::LineWriter& writer) { writer.WriteLine("键=值"); };
        const materials::SaveOutcome outcome = materials::SavePackage(request);
        save.push_back(Seconds(start));
        if (!outcome.saved() || !outcome.failures.empty()) {
            std::fprintf(stderr, "the save failed\n");
            return 2;
        }
        Shell("sync");
        start = std::chrono::steady_clock::now();
        request.storageFolder = request.shownFolder;
        if (!materials::SavePackage(request).saved()) {
            std::fprintf(stderr, "the second save failed\n");
            return 2;
        }
        resave.push_back(Seconds(start));

        Shell("sync");
        start = std::chrono::steady_clock::now();
        Shell("cp -r " + Quoted(sources) + " " + Quoted(copied));
        copy.push_back(Seconds(start));
        Shell("sync");
        copySync.push_back(Seconds(start));
        fs::remove_all(saved);
        fs::remove_all(copied);
    }
    fs::remove_all(root);

    const double ratio = Median(save) / Median(copy);
    std::printf("save of 100 files, 200 MB: median %.3f s\n", Median(save));
    std::printf("the same save over itself: median %.3f s\n", Median(resave));
    std::printf("cp -r of the same files:   median %.3f s (with sync %.3f s)\n", Median(copy),
                Median(copySync));
    std::printf("ratio %.2f (goal at most %.1f); to cp -r + sync %.2f\n", ratio, kGoal,
                Median(save) / Median(copySync));
    return ratio <= kGoal ? 0 : 1;
}
