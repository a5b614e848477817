// A package of linked files (their number is the first argument, 1,000 by
// default; at least 20), 1 GB in all, in 20 materials:
//  - the save, against `cp -r` of the same source files followed by `sync`
//    (the same durable work): "save ratio X";
//  - the package check of the saved folder, content checks (PDF) and the
//    detection of files with the same content included (every file has the
//    same size, so every one is read and hashed), against `sha256sum` of the
//    same files: "check ratio Y";
//  - the peak resident memory of the save and of the check, each run in a
//    process of its own: "peak rss Z MB".
// Each measure is taken alternately with its peer; the medians are compared.
// Every run keeps its two outputs (2 GB) until the end; start the bench a
// minute or more after many files were removed on the same file system (a
// bench run just before, say), for the reason given in main().
//
//   package_scale_bench [files [runs]]   (defaults 1000 and 3; exit status 1
//                                         when a goal is missed)

#include "disc/package_check.h"
#include "disc/ui/content_checks.h"
#include "materials/save_folder.h"
#include "platform/utf8.h"

#include <QGuiApplication>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

constexpr int kMaterials = 20;
constexpr std::size_t kPackageBytes = std::size_t{1} << 30;
constexpr double kSaveGoal = 0.8, kCheckGoal = 1.2, kMemoryGoalMb = 150;

std::string Quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

bool Shell(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A PDF of one empty page whose file is padded to `bytes` by a stream of
// incompressible bytes that no page uses.
void WritePdf(const fs::path& file, std::size_t bytes, std::mt19937_64& random) {
    std::string pdf = "%PDF-1.4\n";
    std::vector<std::size_t> offsets;
    const auto object = [&](const std::string& body) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(offsets.size()) + " 0 obj\n" + body + "\nendobj\n";
    };
    object("<< /Type /Catalog /Pages 2 0 R >>");
    object("<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    object("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] >>");
    const std::size_t padding = bytes > pdf.size() + 400 ? bytes - pdf.size() - 400 : 16;
    std::string data(padding, '\0');
    for (std::size_t i = 0; i + 8 <= data.size(); i += 8) {
        const std::uint64_t word = random();
        std::copy_n(reinterpret_cast<const char*>(&word), 8, data.begin() + std::ptrdiff_t(i));
    }
    object("<< /Length " + std::to_string(padding) + " >>\nstream\n" + data + "\nendstream");
    const std::size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(offsets.size() + 1) + "\n0000000000 65535 f \n";
    for (std::size_t offset : offsets) {
        char line[24];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
        pdf += line;
    }
    pdf += "trailer\n<< /Size " + std::to_string(offsets.size() + 1) +
           " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    std::ofstream(file, std::ios::binary).write(pdf.data(), std::streamsize(pdf.size()));
}

// The source files and a working copy of the manifest linking each of them.
void MakeSources(const fs::path& sources, const fs::path& manifest, int files) {
    fs::create_directories(sources);
    std::mt19937_64 random(42);
    const std::size_t fileBytes = kPackageBytes / std::size_t(files);
    const int perMaterial = (files + kMaterials - 1) / kMaterials;
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<offer bbh=\"1\" "
                      "bpbs=\"BENCH\"><attachments>\n";
    for (int m = 1, made = 0; m <= kMaterials && made < files; ++m) {
        const int here = std::min(perMaterial, files - made);
        xml += "<attachment fjid=\"" + std::to_string(m) + "\"><fjxh>" + std::to_string(m) +
               "</fjxh><fjmc>申报材料" + std::to_string(m) + "</fjmc><dzjs>" +
               std::to_string(here) + "</dzjs><fileList>\n";
        for (int f = 1; f <= here; ++f, ++made) {
            const fs::path file =
                sources / ("扫描件" + std::to_string(m) + "-" + std::to_string(f) + ".pdf");
            WritePdf(file, fileBytes, random);
            xml += "<file><fileXh>" + std::to_string(f) + "</fileXh><fileName>报件" +
                   std::to_string(f) + "</fileName><fileTitle>报件" + std::to_string(f) +
                   "</fileTitle><fileUrl>" + platform::PathToUtf8(file) +
                   "</fileUrl><filems/></file>\n";
        }
        xml += "</fileList></attachment>\n";
    }
    std::ofstream(manifest, std::ios::binary) << xml << "</attachments></offer>\n";
}

// ---- the measured work, each in a process of its own ----

int RunSave(const std::string& work, const std::string& folder) {
    const auto start = std::chrono::steady_clock::now();
    materials::SaveRequest request;
    request.workPath = work;
    request.shownFolder = folder;
    request.summary = [](int, fieldforms::LineWriter& writer) { writer.WriteLine("键=值"); };
    const materials::SaveOutcome outcome = materials::SavePackage(request);
    if (!outcome.saved() || !outcome.failures.empty()) {
        std::fprintf(stderr, "the save failed\n");
        return 2;
    }
    std::printf("%.6f\n", Seconds(start));
    return 0;
}

int RunCheck(int argc, char** argv, const std::string& folder) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const auto start = std::chrono::steady_clock::now();
    disc::ui::QtContentInspector inspector;
    const disc::PackageCheck check = disc::CheckPackage(folder, &inspector);
    const double seconds = Seconds(start);
    if (!check.burnable() && check.count(disc::FindingLevel::Error) > 0) {
        std::fprintf(stderr, "the check found errors:\n%s\n", FindingsText(check).c_str());
        return 2;
    }
    std::printf("%.6f\n", seconds);
    return 0;
}

struct Measured {
    double seconds = 0;
    double peakMb = 0;
};

// Runs this program with the given arguments; its time and peak memory.
bool RunChild(const std::string& self, const std::vector<std::string>& arguments,
              Measured& measured) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return false;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        std::vector<char*> argv{const_cast<char*>(self.c_str())};
        for (const std::string& a : arguments)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(self.c_str(), argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    std::string output;
    char buffer[256];
    for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, std::size_t(n));
    close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return false;
    measured.seconds = std::atof(output.c_str());
    measured.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0; // KB on Linux
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--save")
        return RunSave(argv[2], argv[3]);
    if (argc == 3 && std::string(argv[1]) == "--check")
        return RunCheck(argc, argv, argv[2]);
    const int files = argc > 1 ? std::max(kMaterials, std::atoi(argv[1])) : 1000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const std::string self = fs::canonical("/proc/self/exe").string();

    const fs::path root = fs::temp_directory_path() /
                          ("quillor_package_scale_" + std::to_string(std::random_device{}()));
    const fs::path sources = root / "源文件", manifest = root / "TempXml.XML";
    MakeSources(sources, manifest, files);
    std::printf("package: %d files, %.0f MB in %d materials\n", files,
                static_cast<double>(kPackageBytes) / (1 << 20), kMaterials);

    std::vector<double> save, copy, check, hash, saveMb, checkMb;
    bool ok = true;
    for (int run = 0; run < runs && ok; ++run) {
        // Every output is kept until the end. A file system without a journal
        // (ext4 here) skips inodes freed in the last minute when it makes a
        // file, looking at each of them again for every new file: made right
        // after thousands of files were removed, either output took two to
        // three times as long, the save or the copy by turns as the freed
        // inodes fell, and that measured the file system, not the two.
        const std::string n = std::to_string(run + 1);
        const fs::path saved = root / ("包" + n), copied = root / ("复制" + n);
        Shell("sync");
        Measured m;
        ok = RunChild(self, {"--save", platform::PathToUtf8(manifest), platform::PathToUtf8(saved)},
                      m);
        save.push_back(m.seconds);
        saveMb.push_back(m.peakMb);

        Shell("sync");
        const auto start = std::chrono::steady_clock::now();
        ok = ok && Shell("cp -r " + Quoted(sources) + " " + Quoted(copied) + " && sync");
        copy.push_back(Seconds(start));

        ok = ok && RunChild(self, {"--check", platform::PathToUtf8(saved)}, m);
        check.push_back(m.seconds);
        checkMb.push_back(m.peakMb);

        const auto hashStart = std::chrono::steady_clock::now();
        ok = ok && Shell("cd " + Quoted(saved) + " && sha256sum */* > /dev/null");
        hash.push_back(Seconds(hashStart));
    }
    fs::remove_all(root);
    if (!ok) {
        std::fprintf(stderr, "a run failed\n");
        return 2;
    }
    const double saveRatio = Median(save) / Median(copy);
    const double checkRatio = Median(check) / Median(hash);
    const double saveRss = *std::max_element(saveMb.begin(), saveMb.end());
    const double checkRss = *std::max_element(checkMb.begin(), checkMb.end());
    std::printf("save %.2f s, cp -r + sync %.2f s: save ratio %.2f (goal <= %.1f)\n", Median(save),
                Median(copy), saveRatio, kSaveGoal);
    std::printf("check %.2f s, sha256sum %.2f s: check ratio %.2f (goal <= %.1f)\n", Median(check),
                Median(hash), checkRatio, kCheckGoal);
    std::printf("save: peak rss %.0f MB\ncheck: peak rss %.0f MB (goal <= %.0f MB each)\n", saveRss,
                checkRss, kMemoryGoalMb);
    return saveRatio <= kSaveGoal && checkRatio <= kCheckGoal && saveRss <= kMemoryGoalMb &&
                   checkRss <= kMemoryGoalMb
               ? 0
               : 1;
}
