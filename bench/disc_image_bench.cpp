// Writes the disc image of a 200 MB package (10 material folders of 10 files
// of 2 MB, Chinese names) and makes the image of the same folder with
// `xorriso -as mkisofs -J -R`, alternately, five times each; prints the
// medians and their ratio. The program's image file is flushed to the disk
// before it is renamed into place, so xorriso's image is flushed as well
// before its clock stops. The read-back comparison that follows every image
// in the program is timed apart.
//
//   disc_image_bench      (exit status 1 when writing takes over 1.2 × xorriso)

#include "disc/disc.h"
#include "disc/package_disc.h"
#include "platform/file_copy.h"
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

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The package folder and its layout: incompressible files under Chinese names.
disc::DiscLayout MakePackage(const fs::path& folder) {
    disc::DiscLayout layout{disc::DiscVolumeName("甲级资质申请"), {}};
    std::mt19937_64 random(7);
    std::vector<std::uint64_t> block(kFileBytes / sizeof(std::uint64_t));
    for (int m = 1; m <= kMaterials; ++m) {
        const std::string material = "申报材料" + std::to_string(m);
        fs::create_directories(folder / platform::PathFromUtf8(material));
        for (int f = 1; f <= kFilesPerMaterial; ++f) {
            for (auto& word : block)
                word = random();
            const std::string name = "扫描件（第" + std::to_string(f) + "页）.pdf";
            const fs::path file =
                folder / platform::PathFromUtf8(material) / platform::PathFromUtf8(name);
            std::ofstream(file, std::ios::binary)
                .write(reinterpret_cast<const char*>(block.data()), std::streamsize(kFileBytes));
            layout.files.push_back({material + "/" + name, file, kFileBytes});
        }
    }
    return layout;
}

} // namespace

int main() {
    const fs::path root = fs::temp_directory_path() / "quillor_disc_bench";
    fs::remove_all(root);
    const fs::path folder = root / "包";
    const disc::DiscLayout layout = MakePackage(folder);
    std::unique_ptr<disc::DiscSystem> system = disc::OpenDiscSystem();
    disc::DiscProgress quiet;

    std::vector<double> ours, xorriso, verify;
    for (int run = 0; run < kRuns; ++run) {
        const fs::path mine = root / "mine.iso";
        const fs::path theirs = root / "xorriso.iso";
        fs::remove(mine);
        fs::remove(theirs);

        Clock::time_point start = Clock::now();
        std::error_code error;
        std::unique_ptr<disc::ImageSink> sink = disc::CreateImageFile(mine, error);
        const disc::DiscResult written = system->writeImage(layout, *sink, quiet);
        if (!written.ok() || sink->finish()) {
            std::fprintf(stderr, "writing the image failed: %s\n", written.detail.c_str());
            return 2;
        }
        ours.push_back(Seconds(start));

        start = Clock::now();
        std::string openError;
        std::unique_ptr<disc::DiscVolume> volume = system->openImage(mine, openError);
        bool cancelled = false;
        if (!volume || !disc::CompareVolume(*volume, layout, quiet, cancelled).empty()) {
            std::fprintf(stderr, "the image does not read back equal\n");
            return 2;
        }
        verify.push_back(Seconds(start));

        start = Clock::now();
        const std::string command = "xorriso -as mkisofs -J -R -quiet -o '" + theirs.string() +
                                    "' '" + folder.string() + "' >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0 || !platform::SyncFile(theirs)) {
            std::fprintf(stderr, "xorriso failed (installed?)\n");
            return 2;
        }
        xorriso.push_back(Seconds(start));
    }
    const double mineMedian = Median(ours), theirMedian = Median(xorriso);
    const double ratio = mineMedian / theirMedian;
    std::printf("image of %d files, %zu MB, median of %d runs\n", kMaterials * kFilesPerMaterial,
                std::size_t(kMaterials * kFilesPerMaterial) * (kFileBytes >> 20), kRuns);
    std::printf("  program's image (flushed):   %.3f s\n", mineMedian);
    std::printf("  xorriso -as mkisofs -J -R:   %.3f s (flushed)\n", theirMedian);
    std::printf("  ratio:                       %.2f (goal at most %.1f)\n", ratio, kGoal);
    std::printf("  read back and compared:      %.3f s\n", Median(verify));
    fs::remove_all(root);
    return ratio <= kGoal ? 0 : 1;
}
