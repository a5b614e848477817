// Combining pages into one PDF against img2pdf on the same files in the same
// run (three runs each, medians), and a phone photo under the three presets.
//
// 1. 50 JPEG pages (A4 at 200 dpi, colour): "time ratio X" and "size ratio
//    Y"; goals: at most 2 and 1.1.
// 2. A mixed set of what applicants have, under 清晰, where every file passes
//    through: JPEGs turned by their EXIF orientation, one with stray bytes, a
//    1:8 receipt, PNG screenshots (RGB, grey, palette, one without a
//    resolution) and bilevel TIFF pages coded as fax (G4). The time is all the
//    window does (reading, checking, blank detection, previews, encodings at
//    the preset) and the writing; goals: time at most 1x img2pdf's, size at
//    most 1.1x on the lossless inputs (PNG, TIFF).
// 3. A 12-megapixel phone photo (declared 72 dpi, quality 92): its size under
//    each preset as a share of the file, and the time to resample it; goal:
//    小巧 at most 0.3.
// img2pdf is installed here when it is missing and the bench runs as root.

#include "scan/jpeg.h"
#include "scan/pages.h"
#include "scan/ui/image_files.h"
#include "scan_bench_images.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <tiffio.h>

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
constexpr double kTimeGoal = 2.0, kSizeGoal = 1.1, kMixedTimeGoal = 1.0, kSmallGoal = 0.3;

bool HaveImg2pdf() {
    if (std::system("command -v img2pdf >/dev/null 2>&1") == 0)
        return true;
    if (geteuid() == 0)
        std::system("apt-get install -y img2pdf >/dev/null 2>&1");
    return std::system("command -v img2pdf >/dev/null 2>&1") == 0;
}

void Write(const fs::path& p, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

std::string List(const std::vector<std::string>& files) {
    std::string list;
    for (const std::string& f : files)
        list += " '" + f + "'";
    return list;
}

// img2pdf on the files; its time, or a negative number when it failed.
double Img2pdf(const std::vector<std::string>& files, const fs::path& out) {
    const auto start = std::chrono::steady_clock::now();
    if (std::system(("img2pdf -o '" + out.string() + "'" + List(files)).c_str()) != 0)
        return -1;
    return Seconds(start);
}

// What the scan window does with the files until "完成" has written the PDF.
double Ours(const std::vector<std::string>& files, scan::Quality q, const fs::path& out) {
    const auto start = std::chrono::steady_clock::now();
    scan::PageList pages;
    for (const std::string& f : files) {
        std::string error;
        for (scan::ui::LoadedPage& p : scan::ui::LoadImageFile(f, error, q))
            pages.add(std::move(p.page));
        if (!error.empty()) {
            std::fprintf(stderr, "cannot read %s: %s\n", f.c_str(), error.c_str());
            return -1;
        }
    }
    if (!pages.encodeMissing(q) || !scan::WritePdf(pages.pdfPages(q), out.string()).empty())
        return -1;
    return Seconds(start);
}

// The EXIF block of one IFD entry: the orientation.
std::string ExifOrientation(int orientation) {
    std::string e("Exif\0\0II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0", 24);
    e += static_cast<char>(orientation);
    e += std::string(7, '\0');
    return e;
}

// A JPEG with an EXIF APP1 block put after its SOI.
std::vector<std::uint8_t> WithExif(std::vector<std::uint8_t> jpeg, int orientation) {
    const std::string exif = ExifOrientation(orientation);
    std::vector<std::uint8_t> segment = {0xFF, 0xE1,
                                         static_cast<std::uint8_t>((exif.size() + 2) >> 8),
                                         static_cast<std::uint8_t>((exif.size() + 2) & 0xFF)};
    segment.insert(segment.end(), exif.begin(), exif.end());
    jpeg.insert(jpeg.begin() + 2, segment.begin(), segment.end());
    return jpeg;
}

// A text page: lines of letter-sized strokes on white (what a screenshot of a
// document or a black-and-white scan holds).
QImage TextPage(int w, int h, QImage::Format format) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(QPen(QColor(30, 30, 60), std::max(1, w / 600)));
    const int line = std::max(12, h / 45);
    for (int y = line * 2; y < h - line * 2; y += line)
        for (int x = w / 12; x < w - w / 12; x += line / 2 + 3)
            if ((x * 7 + y * 3) % 11 != 0)
                painter.drawLine(x, y, x + line / 3, y - line / 2);
    painter.end();
    return image.convertToFormat(format);
}

std::string SavePng(const QImage& image, const fs::path& p, bool resolution = true) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    std::string bytes = data.toStdString();
    if (!resolution) // without pHYs: no resolution declared
        if (const std::size_t at = bytes.find("pHYs"); at != std::string::npos)
            bytes.erase(at - 4, 21);
    std::ofstream(p, std::ios::binary) << bytes;
    return p.string();
}

std::string FaxTiff(const QImage& page, const fs::path& p, int dpi) {
    TIFF* t = TIFFOpen(p.string().c_str(), "w");
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, page.width());
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, page.height());
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, page.height());
    TIFFSetField(t, TIFFTAG_XRESOLUTION, static_cast<float>(dpi));
    TIFFSetField(t, TIFFTAG_YRESOLUTION, static_cast<float>(dpi));
    TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    const QImage grey = page.convertToFormat(QImage::Format_Grayscale8);
    std::vector<std::uint8_t> row(static_cast<std::size_t>((page.width() + 7) / 8));
    for (int y = 0; y < page.height(); ++y) {
        std::fill(row.begin(), row.end(), 0);
        const uchar* in = grey.constScanLine(y);
        for (int x = 0; x < page.width(); ++x)
            if (in[x] < 128)
                row[static_cast<std::size_t>(x >> 3)] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
        TIFFWriteScanline(t, row.data(), static_cast<std::uint32_t>(y), 0);
    }
    TIFFClose(t);
    return p.string();
}

struct Runs {
    std::vector<double> ours, theirs;
};

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    if (!HaveImg2pdf()) {
        std::fprintf(stderr, "img2pdf is needed (apt-get install img2pdf)\n");
        return 2;
    }
    const fs::path dir =
        fs::temp_directory_path() / ("pages_pdf_bench_" + std::to_string(getpid()));
    fs::create_directories(dir);
    bool ok = true;

    // ---- 1. 50 JPEG pages ----
    std::vector<std::string> jpegs;
    for (int i = 0; i < kPages; ++i) {
        const fs::path f = dir / ("page" + std::to_string(100 + i) + ".jpg");
        Write(f, scan::EncodeJpeg(PhotoPage(1654, 2339, static_cast<unsigned>(i)), 75, 200));
        jpegs.push_back(f.string());
    }
    Runs runs;
    for (int run = 0; run < 3; ++run) {
        runs.ours.push_back(Ours(jpegs, scan::Quality::Standard, dir / "ours.pdf"));
        runs.theirs.push_back(Img2pdf(jpegs, dir / "img2pdf.pdf"));
    }
    const double timeRatio = Median(runs.ours) / Median(runs.theirs);
    const double sizeRatio =
        static_cast<double>(fs::file_size(dir / "ours.pdf")) / fs::file_size(dir / "img2pdf.pdf");
    std::printf("%d JPEG pages, A4 200 dpi colour: ours median %.3f s, img2pdf median %.3f s\n",
                kPages, Median(runs.ours), Median(runs.theirs));
    std::printf("time ratio %.2f (goal at most %.1f)\n", timeRatio, kTimeGoal);
    std::printf("size ratio %.3f (goal at most %.1f)\n", sizeRatio, kSizeGoal);
    ok = ok && timeRatio <= kTimeGoal && sizeRatio <= kSizeGoal;

    // ---- 2. the mixed set ----
    std::vector<std::string> mixed, lossless;
    const auto scanJpeg = [&](int orientation, unsigned seed) {
        const fs::path f = dir / ("photo-exif" + std::to_string(orientation) + ".jpg");
        const bool side = orientation == 6 || orientation == 8;
        Write(f, WithExif(scan::EncodeJpeg(PhotoPage(side ? 2339 : 1654, side ? 1654 : 2339, seed),
                                           80, 200),
                          orientation));
        mixed.push_back(f.string());
    };
    for (int o : {1, 3, 6, 8})
        scanJpeg(o, static_cast<unsigned>(o));
    {
        std::vector<std::uint8_t> stray = scan::EncodeJpeg(PhotoPage(1654, 2339, 9), 80, 200);
        for (std::size_t i = 2; i + 1 < stray.size(); ++i)
            if (stray[i] == 0xFF && stray[i + 1] == 0xDB) {
                stray.insert(stray.begin() + static_cast<long>(i), {0x00, 0x12, 0x34});
                break;
            }
        Write(dir / "stray.jpg", stray);
        mixed.push_back((dir / "stray.jpg").string());
        Write(dir / "receipt.jpg", scan::EncodeJpeg(PhotoPage(400, 3300, 11), 80, 0));
        mixed.push_back((dir / "receipt.jpg").string());
    }
    QImage screenshot = TextPage(1920, 1080, QImage::Format_RGB888);
    screenshot.setDotsPerMeterX(3780), screenshot.setDotsPerMeterY(3780);
    lossless.push_back(SavePng(screenshot, dir / "screenshot.png"));
    lossless.push_back(
        SavePng(TextPage(1240, 1754, QImage::Format_RGB888), dir / "noresolution.png", false));
    QImage grey = TextPage(1654, 2339, QImage::Format_Grayscale8);
    grey.setDotsPerMeterX(7874), grey.setDotsPerMeterY(7874);
    lossless.push_back(SavePng(grey, dir / "grey.png"));
    QImage palette = TextPage(1654, 2339, QImage::Format_Indexed8);
    palette.setDotsPerMeterX(7874), palette.setDotsPerMeterY(7874);
    lossless.push_back(SavePng(palette, dir / "palette.png"));
    for (int i = 0; i < 4; ++i)
        lossless.push_back(FaxTiff(TextPage(2480, 3508, QImage::Format_RGB32),
                                   dir / ("fax" + std::to_string(i) + ".tif"), 300));
    mixed.insert(mixed.end(), lossless.begin(), lossless.end());
    Runs mixedRuns;
    for (int run = 0; run < 3; ++run) {
        mixedRuns.ours.push_back(Ours(mixed, scan::Quality::Clear, dir / "ours-mixed.pdf"));
        mixedRuns.theirs.push_back(Img2pdf(mixed, dir / "img2pdf-mixed.pdf"));
    }
    const bool lossOk = Ours(lossless, scan::Quality::Clear, dir / "ours-lossless.pdf") >= 0 &&
                        Img2pdf(lossless, dir / "img2pdf-lossless.pdf") >= 0;
    const double mixedTime = Median(mixedRuns.ours) / Median(mixedRuns.theirs);
    const double losslessSize =
        lossOk ? static_cast<double>(fs::file_size(dir / "ours-lossless.pdf")) /
                     fs::file_size(dir / "img2pdf-lossless.pdf")
               : 99;
    std::printf("mixed set of %zu files under 清晰: ours median %.3f s, img2pdf median %.3f s\n",
                mixed.size(), Median(mixedRuns.ours), Median(mixedRuns.theirs));
    std::printf(
        "sizes: ours %ju bytes, img2pdf %ju bytes (all); lossless ones: ours %ju, img2pdf %ju\n",
        static_cast<std::uintmax_t>(fs::file_size(dir / "ours-mixed.pdf")),
        static_cast<std::uintmax_t>(fs::file_size(dir / "img2pdf-mixed.pdf")),
        static_cast<std::uintmax_t>(fs::file_size(dir / "ours-lossless.pdf")),
        static_cast<std::uintmax_t>(fs::file_size(dir / "img2pdf-lossless.pdf")));
    // Where the time goes: each kind alone (img2pdf's start is in each of
    // its figures).
    const std::vector<std::string> photos(mixed.begin(), mixed.end() - lossless.size());
    const std::vector<std::string> pngs(lossless.begin(), lossless.begin() + 4);
    const std::vector<std::string> faxes(lossless.begin() + 4, lossless.end());
    for (const auto& [kind, files] :
         {std::pair{"JPEG", &photos}, std::pair{"PNG", &pngs}, std::pair{"G4 TIFF", &faxes}}) {
        Runs part;
        for (int run = 0; run < 3; ++run) {
            part.ours.push_back(Ours(*files, scan::Quality::Clear, dir / "ours-part.pdf"));
            part.theirs.push_back(Img2pdf(*files, dir / "img2pdf-part.pdf"));
        }
        std::printf("  %s (%zu files): ours %.3f s, img2pdf %.3f s\n", kind, files->size(),
                    Median(part.ours), Median(part.theirs));
    }
    std::printf("mixed time ratio %.2f (goal at most %.1f)\n", mixedTime, kMixedTimeGoal);
    std::printf("lossless size ratio %.3f (goal at most %.1f)\n", losslessSize, kSizeGoal);
    ok = ok && mixedTime <= kMixedTimeGoal && losslessSize <= kSizeGoal;

    // ---- 3. a 12-megapixel phone photo under each preset ----
    const std::vector<std::uint8_t> photo = scan::EncodeJpeg(PhotoPage(4000, 3000, 21), 92, 72);
    std::printf("12-megapixel photo: %zu bytes\n", photo.size());
    for (scan::Quality q : {scan::Quality::Clear, scan::Quality::Standard, scan::Quality::Small}) {
        std::vector<double> times;
        std::shared_ptr<const scan::PdfImage> image;
        for (int run = 0; run < 3; ++run) {
            const scan::SourcePtr source = scan::MakeJpegSource(photo, *scan::ReadJpegInfo(photo));
            const auto start = std::chrono::steady_clock::now();
            image = scan::EncodePage(*source, scan::ColourMode::Colour, false, q);
            times.push_back(Seconds(start));
        }
        const double share = static_cast<double>(image->bytes()) / photo.size();
        std::printf("%s: %d x %d, %zu bytes, %.3f of the photo, resampled in %.3f s\n",
                    scan::Preset(q).name, image->width, image->height, image->bytes(), share,
                    Median(times));
        if (q == scan::Quality::Small) {
            std::printf("小巧 share %.3f (goal at most %.1f)\n", share, kSmallGoal);
            ok = ok && share <= kSmallGoal;
        }
    }
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return ok ? 0 : 1;
}
