// Every kind of picture an applicant has, made here, through "添加图片...":
// the page's size and turn, where a marked corner lands when the PDF is
// rendered, the filter it is stored with, or the sentence it is refused with.

#include "scan/ui/image_files.h"

#include "materials/manifest_fixture.h"
#include "scan/image_fixture.h"
#include "scan/scan_fixture.h"

#include <QBuffer>
#include <QImage>
#include <gtest/gtest.h>
#include <libheif/heif.h>
#include <poppler-qt6.h>

#include <functional>
#include <sys/stat.h>

using namespace materials_test;
using namespace scan_test;

namespace {

std::string Bytes(const std::vector<std::uint8_t>& v) {
    return std::string(v.begin(), v.end());
}

// The PNG without its pHYs chunk: no resolution declared.
std::string WithoutResolution(const std::string& png) {
    const std::size_t at = png.find("pHYs");
    if (at == std::string::npos)
        return png;
    std::string out = png;
    out.erase(at - 4, 4 + 4 + 9 + 4);
    return out;
}

QImage MarkedImage(int w, int h, QImage::Format format, int dpi) {
    QImage image(w, h, format);
    image.fill(format == QImage::Format_ARGB32 ? Qt::transparent : Qt::white);
    const int mark = std::min(w, h) / 4;
    for (int y = 0; y < mark; ++y)
        for (int x = 0; x < mark; ++x)
            image.setPixelColor(x, y, QColor(220, 0, 0));
    if (dpi > 0) {
        image.setDotsPerMeterX(static_cast<int>(dpi / 0.0254 + 0.5));
        image.setDotsPerMeterY(static_cast<int>(dpi / 0.0254 + 0.5));
    }
    return image;
}

std::string Saved(const QImage& image, const char* format, int quality = -1) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return data.toStdString();
}

// A HEIC photo made with libheif's encoder; "" where it has none.
std::string Heic(const std::string& path) {
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    if (heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder).code !=
        heif_error_Ok) {
        heif_context_free(context);
        return {};
    }
    heif_image* image = nullptr;
    heif_image_create(256, 320, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image);
    heif_image_add_plane(image, heif_channel_interleaved, 256, 320, 8);
    int stride = 0;
    std::uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < 320; ++y)
        for (int x = 0; x < 256; ++x) {
            std::uint8_t* p = plane + y * stride + x * 3;
            const bool mark = x < 64 && y < 64;
            p[0] = mark ? 220 : 255, p[1] = p[2] = mark ? 0 : 255;
        }
    heif_encoder_set_lossy_quality(encoder, 90);
    heif_context_encode_image(context, image, encoder, nullptr, nullptr);
    const bool written = heif_context_write_to_file(context, path.c_str()).code == heif_error_Ok;
    heif_encoder_release(encoder);
    heif_image_release(image);
    heif_context_free(context);
    return written ? path : std::string();
}

class ImagePagesTest : public TempFolderTest {};

} // namespace

TEST_F(ImagePagesTest, EveryPictureBecomesARightPage) {
    const auto jpeg = [](int o, JpegOptions opt = {}) {
        opt.orientation = o;
        return Bytes(MakeJpeg(MarkedCorner(300, 400, o), opt));
    };
    JpegOptions stray, arithmetic, undeclared{80, 0, 1};
    stray.strayBytes = true;
    arithmetic.arithmetic = true;
    const std::string good = jpeg(1);
    QImage palette(300, 400, QImage::Format_Indexed8);
    palette.setColorTable({qRgba(0, 0, 0, 0), qRgb(220, 0, 0)});
    palette.fill(0);
    for (int y = 0; y < 75; ++y)
        for (int x = 0; x < 75; ++x)
            palette.setPixel(x, y, 1);
    palette.setDotsPerMeterX(3937), palette.setDotsPerMeterY(3937);
    const double fitted = std::max(800 / (297 / 25.4), 600 / (210 / 25.4));
    const double cmykFit = std::max(400 / (297 / 25.4), 300 / (210 / 25.4));

    struct Case {
        const char* name;
        std::function<std::string(const fs::path&)> make; // the file's bytes ("": made at the path)
        double width, height;                             // MediaBox, points
        int rotate;
        const char* filter;  // "": any
        const char* refused; // part of the message; nullptr: taken
    };
    const Case cases[] = {
        {"JPEG", [&](auto&) { return good; }, 216, 288, 0, "/DCTDecode", nullptr},
        {"JPEG upside down (EXIF 3)", [&](auto&) { return jpeg(3); }, 216, 288, 180, "/DCTDecode",
         nullptr},
        {"JPEG on its side (EXIF 6)", [&](auto&) { return jpeg(6); }, 288, 216, 90, "/DCTDecode",
         nullptr},
        {"JPEG on its other side (EXIF 8)", [&](auto&) { return jpeg(8); }, 288, 216, 270,
         "/DCTDecode", nullptr},
        {"JPEG mirrored (EXIF 5)", [&](auto&) { return jpeg(5); }, 216, 288, 0, "/DCTDecode",
         nullptr},
        {"JPEG with stray bytes", [&](auto&) { return jpeg(1, stray); }, 216, 288, 0, "/DCTDecode",
         nullptr},
        {"JPEG cut short", [&](auto&) { return good.substr(0, good.size() / 2); }, 0, 0, 0, "",
         "损坏"},
        // (no JFIF block, so no resolution: fitted to A4)
        {"CMYK JPEG of an Adobe program",
         [&](auto&) { return Bytes(MakeJpeg(AdobeCmyk(MarkedCorner(300, 400)))); },
         300 * 72 / cmykFit, 400 * 72 / cmykFit, 0, "/DCTDecode", nullptr},
        {"JPEG with arithmetic coding", [&](auto&) { return jpeg(1, arithmetic); }, 216, 288, 0,
         "/DCTDecode", nullptr},
        {"a 1:8 JPEG without resolution",
         [&](auto&) { return Bytes(MakeJpeg(MarkedCorner(200, 1600), undeclared)); },
         200 * 72 / (1600 / (297 / 25.4)), 297 / 25.4 * 72, 0, "/DCTDecode", nullptr},
        {"PNG, transparent around a stamp",
         [&](auto&) { return Saved(MarkedImage(300, 400, QImage::Format_ARGB32, 100), "PNG"); },
         216, 288, 0, "/FlateDecode", nullptr},
        {"PNG, transparent palette entry", [&](auto&) { return Saved(palette, "PNG"); }, 216, 288,
         0, "/FlateDecode", nullptr},
        {"PNG without resolution",
         [&](auto&) {
             return WithoutResolution(Saved(MarkedImage(600, 800, QImage::Format_RGB32, 0), "PNG"));
         },
         600 * 72 / fitted, 800 * 72 / fitted, 0, "", nullptr},
        {"PNG of 16 bits",
         [&](auto&) {
             return Saved(MarkedImage(300, 400, QImage::Format_ARGB32, 100)
                              .convertToFormat(QImage::Format_RGBA64),
                          "PNG");
         },
         216, 288, 0, "", nullptr},
        {"WebP screenshot",
         [&](auto&) { return Saved(MarkedImage(600, 800, QImage::Format_RGB32, 0), "WEBP", 100); },
         600 * 72 / fitted, 800 * 72 / fitted, 0, "", nullptr},
        {"PNG of an A4 page at 600 dpi",
         [&](auto&) { return Saved(MarkedImage(4960, 7016, QImage::Format_RGB32, 600), "PNG"); },
         595.2, 841.9, 0, "/DCTDecode", nullptr},
        {"bilevel TIFF as a scanner writes it (G4)",
         [&](const fs::path& p) { return FaxTiff(U8(p), 826, 1169, 100), std::string(); }, 594.7,
         841.7, 0, "/CCITTFaxDecode", nullptr},
        {"bilevel TIFF, MinIsBlack, least significant bit first",
         [&](const fs::path& p) {
             return FaxTiff(U8(p), 826, 1169, 100, true, true), std::string();
         },
         594.7, 841.7, 0, "/CCITTFaxDecode", nullptr},
        {"HEIC photo", [&](const fs::path& p) { return Heic(U8(p)), std::string(); }, 0, 0, 0,
         "/DCTDecode", nullptr},
        {"a pipe named like a picture",
         [&](const fs::path& p) { return mkfifo(p.c_str(), 0600), std::string(); }, 0, 0, 0, "",
         "不是普通文件"},
        {"text named like a picture", [&](auto&) { return std::string("hello"); }, 0, 0, 0, "",
         "不是可以读取的图片文件"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = dir_ / ("image" + std::to_string(++n) + ".png");
        const std::string bytes = c.make(file);
        if (!bytes.empty())
            WriteBytes(file, bytes);
        if (!fs::exists(file)) {
            std::printf("skipped: %s (no encoder here)\n", c.name);
            continue;
        }
        std::string error;
        std::vector<scan::ui::LoadedPage> loaded = scan::ui::LoadImageFile(U8(file), error);
        if (c.refused) {
            EXPECT_TRUE(loaded.empty());
            EXPECT_NE(error.find(c.refused), std::string::npos) << error;
            EXPECT_EQ(error.find("Unable"), std::string::npos);
            continue;
        }
        ASSERT_EQ(loaded.size(), 1u) << error;
        scan::PageList list;
        list.add(std::move(loaded[0].page));
        ASSERT_TRUE(list.encodeMissing(scan::Quality::Standard));
        const std::string pdf = U8(dir_ / "out.pdf");
        ASSERT_EQ(scan::WritePdf(list.pdfPages(scan::Quality::Standard), pdf), "");
        const auto pages = ReadPdf(pdf);
        ASSERT_EQ(pages.size(), 1u);
        if (c.width > 0) {
            EXPECT_NEAR(pages[0].width, c.width, 0.5);
            EXPECT_NEAR(pages[0].height, c.height, 0.5);
        }
        EXPECT_LE(std::max(pages[0].width, pages[0].height), 297 / 25.4 * 72 + 0.5); // A4 at most
        EXPECT_EQ(pages[0].rotate, c.rotate);
        if (*c.filter) {
            EXPECT_EQ(pages[0].filter, c.filter);
        }
        // Rendered: the mark top-left, the paper white (never black) elsewhere.
        auto doc = Poppler::Document::load(QString::fromStdString(pdf));
        ASSERT_TRUE(doc);
        const QImage shown = doc->page(0)->renderToImage(40, 40);
        const int side = std::min(shown.width(), shown.height());
        const QColor mark = shown.pixelColor(side / 10, side / 10);
        const QColor paper =
            shown.pixelColor(shown.width() - 1 - side / 10, shown.height() - 1 - side / 10);
        EXPECT_LT(mark.green(), 100) << mark.name().toStdString();
        EXPECT_GT(paper.red() + paper.green() + paper.blue(), 3 * 200)
            << paper.name().toStdString();
    }
}

// A page scanned in 黑白 reads black on white at every quality (a negative
// would pass every other check), and a light grey stamp stays ink.
TEST_F(ImagePagesTest, BlackAndWhitePagesAreBlackOnWhite) {
    constexpr int dpi = 150;
    scan::Raster page = Paper(dpi, 1, 235, 4);
    TextLine(page, dpi, 20);
    for (int y = 5 * dpi; y < 5 * dpi + dpi / 2; ++y) // a light grey stamp
        for (int x = 3 * dpi; x < 3 * dpi + dpi / 2; ++x)
            page.row(y)[x] = 190;
    scan::PageList list;
    list.add(scan::PreparePixels(page, dpi, scan::ColourMode::BlackWhite, "扫描"));
    for (int q = 0; q < scan::kQualityCount; ++q) {
        SCOPED_TRACE(q);
        const std::string pdf = U8(dir_ / "bw.pdf");
        ASSERT_EQ(scan::WritePdf(list.pdfPages(static_cast<scan::Quality>(q)), pdf), "");
        EXPECT_EQ(ReadPdf(pdf)[0].bits, 1);
        auto doc = Poppler::Document::load(QString::fromStdString(pdf));
        ASSERT_TRUE(doc);
        const QImage shown = doc->page(0)->renderToImage(dpi, dpi);
        EXPECT_LT(qGray(shown.pixel(dpi + 5, dpi + 1)), 80);                     // a stroke
        EXPECT_GT(qGray(shown.pixel(dpi / 2, dpi / 2)), 200);                    // the paper
        EXPECT_LT(qGray(shown.pixel(3 * dpi + dpi / 4, 5 * dpi + dpi / 4)), 80); // the stamp
    }
}
