// Combining 50 JPEG pages (A4 at 200 dpi, colour) into one PDF, against
// img2pdf on the same files in the same run (three runs each, medians).
// Prints "time ratio X" and "size ratio Y"; goals: at most 2 and 1.1.
// img2pdf is installed here when it is missing and the bench runs as root.

#include "scan/jpeg.h"
#include "scan/pages.h"
#include "scan_bench_images.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;
using namespace scan_bench;

namespace {

constexpr int kPages = 50;
constexpr double kTimeGoal = 2.0, kSizeGoal = 1.1;

bool HaveImg2pdf() {
    if (std::system("command -v img2pdf >/dev/null 2>&1") == 0)
        return true;
    if (geteuid() == 0)
        std::system("apt-get install -y img2pdf >/dev/null 2>&1");
    return std::system("command -v img2pdf >/dev/null 2>&1") == 0;
}

std::vector<std::uint8_t> Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::vector<std::uint8_t> bytes(fs::file_size(p));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

} // namespace

int main() {
    if (!HaveImg2pdf()) {
        std::fprintf(stderr, "img2pdf is needed (apt-get install img2pdf)\n");
        return 2;
    }
    const fs::path dir =
        fs::temp_directory_path() / ("pages_pdf_bench_" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::vector<std::string> files;
    std::string list;
    for (int i = 0; i < kPages; ++i) {
        const auto jpeg =
            scan::EncodeJpeg(PhotoPage(1654, 2339, static_cast<unsigned>(i)), 85, 200);
        const fs::path f = dir / ("page" + std::to_string(100 + i) + ".jpg");
        std::ofstream(f, std::ios::binary)
            .write(reinterpret_cast<const char*>(jpeg.data()),
                   static_cast<std::streamsize>(jpeg.size()));
        files.push_back(f.string());
        list += " '" + f.string() + "'";
    }
    const fs::path ours = dir / "ours.pdf", theirs = dir / "img2pdf.pdf";
    std::vector<double> oursT, theirsT;
    for (int run = 0; run < 3; ++run) {
        auto start = std::chrono::steady_clock::now();
        scan::PageList pages;
        for (const std::string& f : files) {
            std::optional<scan::Page> page = scan::PrepareJpegFile(Read(f), f);
            if (!page) {
                std::fprintf(stderr, "cannot read %s\n", f.c_str());
                return 2;
            }
            pages.add(std::move(*page));
        }
        const std::string error =
            scan::WritePdf(pages.pdfPages(scan::Quality::Standard), ours.string());
        oursT.push_back(Seconds(start));
        if (!error.empty()) {
            std::fprintf(stderr, "failed: %s\n", error.c_str());
            return 2;
        }
        start = std::chrono::steady_clock::now();
        if (std::system(("img2pdf -o '" + theirs.string() + "'" + list).c_str()) != 0) {
            std::fprintf(stderr, "img2pdf failed\n");
            return 2;
        }
        theirsT.push_back(Seconds(start));
    }
    const double timeRatio = Median(oursT) / Median(theirsT);
    const double sizeRatio = static_cast<double>(fs::file_size(ours)) / fs::file_size(theirs);
    std::printf("%d JPEG pages, A4 200 dpi colour: ours median %.3f s, img2pdf median %.3f s\n",
                kPages, Median(oursT), Median(theirsT));
    std::printf("sizes: ours %ju bytes, img2pdf %ju bytes\n",
                static_cast<std::uintmax_t>(fs::file_size(ours)),
                static_cast<std::uintmax_t>(fs::file_size(theirs)));
    std::printf("time ratio %.2f (goal at most %.1f)\n", timeRatio, kTimeGoal);
    std::printf("size ratio %.3f (goal at most %.1f)\n", sizeRatio, kSizeGoal);
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return timeRatio <= kTimeGoal && sizeRatio <= kSizeGoal ? 0 : 1;
}
