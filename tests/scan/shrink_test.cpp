// "压缩...": smaller copies of JPEG and PDF files; refusals.

#include "image_fixture.h"
#include "scan/jpeg.h"
#include "scan/pages.h"
#include "scan/scan_files.h"
#include "scan/shrink.h"
#include "scan_fixture.h"

#include <sys/stat.h>

#include "materials/manifest_fixture.h"

#include <gtest/gtest.h>

using namespace scan;
using namespace scan_test;
using materials_test::ReadBytes;
using materials_test::TempFolderTest;
using materials_test::U8;
using materials_test::WriteBytes;
namespace fs = std::filesystem;

namespace {
class ShrinkTest : public TempFolderTest {};
} // namespace

// The copy is upright (the orientation applied to the pixels, no tag left
// for a viewer to ignore) and its short side an A4 page's width at the
// resolution chosen, never more than it has: a long receipt stays legible.
TEST_F(ShrinkTest, JpegsAreTurnedUprightAndKeepTheirShortSide) {
    struct Case {
        const char* what;
        int w, h, orientation, maxDpi, quality; // w x h as the picture is seen
        int expectW, expectH;                   // after shrinking
    };
    const Case cases[] = {
        {"300 dpi portrait", 2480, 3508, 1, 200, 75, 1654, 2339},
        {"landscape", 3508, 2480, 1, 200, 75, 2339, 1654},
        {"a phone photo on its side", 2480, 3508, 6, 150, 60, 1240, 1754},
        {"upside down", 1200, 1600, 3, 100, 75, 827, 1103},
        {"mirrored and turned", 1200, 1600, 5, 100, 75, 827, 1103},
        {"a 1:8 receipt", 1200, 9600, 1, 100, 75, 827, 6614},
        {"small already: only encoded again", 1000, 1400, 1, 200, 75, 1000, 1400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path in = dir_ / "in.jpg", out = dir_ / "out.jpg";
        JpegOptions o{95, 1, 300};
        o.orientation = c.orientation;
        const auto bytes = MakeJpeg(MarkedCorner(c.w, c.h, c.orientation), o);
        WriteBytes(in, std::string(bytes.begin(), bytes.end()));
        ShrinkOptions options;
        options.maxDpi = c.maxDpi;
        options.jpegQuality = c.quality;
        const ShrinkResult r = ShrinkFile(U8(in), U8(out), options);
        ASSERT_TRUE(r.ok()) << r.message;
        EXPECT_EQ(r.bytesBefore, bytes.size());
        const std::string after = ReadBytes(out);
        const std::vector<std::uint8_t> shrunk(after.begin(), after.end());
        const auto info = ReadJpegInfo(shrunk);
        ASSERT_TRUE(info);
        EXPECT_NEAR(info->width, c.expectW, 1);
        EXPECT_NEAR(info->height, c.expectH, 1);
        EXPECT_EQ(info->orientation, 1);
        const std::optional<Raster> pixels = DecodeJpeg(shrunk);
        ASSERT_TRUE(pixels);
        EXPECT_GT(pixels->row(4)[4 * 3], 150);    // the red corner,
        EXPECT_LT(pixels->row(4)[4 * 3 + 1], 80); // top-left
        EXPECT_GT(pixels->row(pixels->height - 4)[(pixels->width - 4) * 3 + 1], 200);
        EXPECT_EQ(ReadBytes(in), std::string(bytes.begin(), bytes.end())); // original untouched
    }
}

TEST_F(ShrinkTest, PdfImagesAreRecompressedAndTheRestKept) {
    const fs::path in = dir_ / "in.pdf", out = dir_ / "out.pdf";
    TextAndImagePdf(U8(in), 2, 300);
    const std::string original = ReadBytes(in);
    const ShrinkResult r = ShrinkFile(U8(in), U8(out));
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(r.pages, 2);
    EXPECT_EQ(r.imagesChanged, 2);
    EXPECT_LT(r.bytesAfter * 10, r.bytesBefore * 4);
    const auto pages = ReadPdf(U8(out));
    ASSERT_EQ(pages.size(), 2u);
    for (const auto& p : pages) {
        EXPECT_EQ(p.filter, "/DCTDecode");
        EXPECT_NEAR(p.imageWidth, 8.27 * 200, 2);
        EXPECT_NEAR(p.width, 595.44, 0.01);
    }
    EXPECT_EQ(ReadBytes(in), original);
}

TEST_F(ShrinkTest, ProtectedDamagedAndOtherFilesAreRefused) {
    const fs::path good = dir_ / "good.pdf";
    TextAndImagePdf(U8(good), 1, 50);
    std::string truncated = ReadBytes(good);
    truncated.resize(truncated.size() / 2);
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> make;
        ShrinkStatus status;
    };
    const Case cases[] = {
        {"locked.pdf", [](const fs::path& p) { TextAndImagePdf(U8(p), 1, 50, "secret"); },
         ShrinkStatus::Encrypted},
        {"garbage.pdf", [](const fs::path& p) { WriteBytes(p, "this is no pdf at all"); },
         ShrinkStatus::Damaged},
        {"truncated.pdf", [&](const fs::path& p) { WriteBytes(p, truncated); },
         ShrinkStatus::Damaged},
        {"broken.jpg", [](const fs::path& p) { WriteBytes(p, "\xFF\xD8\xFF\xE0garbage"); },
         ShrinkStatus::Damaged},
        {"letter.doc", [](const fs::path& p) { WriteBytes(p, "doc"); }, ShrinkStatus::NotSupported},
        // A pipe is never handed to a library (it would wait for ever).
        {"pipe.pdf", [](const fs::path& p) { mkfifo(p.c_str(), 0600); }, ShrinkStatus::Unreadable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path in = dir_ / c.name, out = dir_ / (std::string("out-") + c.name);
        c.make(in);
        const ShrinkResult r = ShrinkFile(U8(in), U8(out));
        EXPECT_EQ(r.status, c.status);
        EXPECT_FALSE(r.message.empty());
        EXPECT_FALSE(fs::exists(out)); // nothing written
        EXPECT_FALSE(fs::exists(U8(out) + ".part"));
    }
}

// Memory running out says so; anything else thrown is damage.
TEST(ShrinkFailureTest, OutOfMemoryIsNotCalledDamage) {
    const ShrinkResult memory = ShrinkFailureOf(std::bad_alloc(), true);
    EXPECT_EQ(memory.status, ShrinkStatus::OutOfMemory);
    EXPECT_NE(memory.message.find("内存不足"), std::string::npos);
    EXPECT_EQ(ShrinkFailureOf(std::runtime_error("qpdf"), true).message,
              "该PDF文件已损坏，无法压缩。");
}

// A PDF whose images are small already keeps them byte for byte; the
// estimate for the offer is near what the shrinking makes.
TEST_F(ShrinkTest, SmallImagesStayAndTheEstimateIsNearTheResult) {
    PageList list;
    std::vector<std::vector<std::uint8_t>> jpegs;
    for (unsigned i = 0; i < 2; ++i) {
        jpegs.push_back(MakeJpeg(PhotoLike(827, 1169, i), {55, 1, 100}));
        list.add(*PrepareJpegFile(jpegs.back(), "p.jpg"));
    }
    ASSERT_EQ(WritePdf(list.pdfPages(Quality::Clear), U8(dir_ / "small.pdf")), "");
    const ShrinkResult r = ShrinkFile(U8(dir_ / "small.pdf"), U8(dir_ / "out.pdf"));
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(r.imagesChanged, 0);
    const auto pages = ReadPdf(U8(dir_ / "out.pdf"));
    ASSERT_EQ(pages.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i)
        EXPECT_EQ(pages[i].raw, jpegs[i]);

    TextAndImagePdf(U8(dir_ / "big.pdf"), 2, 300);
    const std::optional<ShrinkEstimate> guess = EstimateShrink(U8(dir_ / "big.pdf"));
    ASSERT_TRUE(guess);
    const ShrinkResult big = ShrinkFile(U8(dir_ / "big.pdf"), U8(dir_ / "big-out.pdf"));
    EXPECT_EQ(guess->bytesBefore, big.bytesBefore);
    // A large gain foreseen, and not more than there is (the estimate counts
    // 0.8 bits a pixel; these smooth test pictures take less).
    EXPECT_LT(guess->bytesAfter * 3, guess->bytesBefore);
    EXPECT_GT(guess->bytesAfter * 2, big.bytesAfter);
    EXPECT_FALSE(EstimateShrink(U8(dir_ / "letter.doc")));
}

// A preview of "压缩..." left behind is removed at the next start; copies a
// shrink made are known by their names.
TEST_F(ShrinkTest, LeftPreviewsAreRemovedAndCopiesKnown) {
    const std::string folder = ScanFolder(U8(dir_));
    const std::string copy = ScanFileName(folder, "事项", "材料", "报件", kShrinkSuffix, "jpg", 0);
    const std::string preview = ShrinkPreviewPath(copy);
    const std::string scan = ScanFileName(folder, "事项", "材料", "报件", "", "pdf", 0);
    for (const std::string& f : {copy, preview, scan})
        WriteBytes(platform::PathFromUtf8(f), "x");
    EXPECT_EQ(fs::path(preview).filename().string().rfind("~", 0), 0u);
    EXPECT_EQ(RemoveShrinkPreviews(U8(dir_)), 1);
    EXPECT_FALSE(fs::exists(platform::PathFromUtf8(preview)));
    EXPECT_TRUE(fs::exists(platform::PathFromUtf8(copy)));
    EXPECT_TRUE(IsShrinkCopy(copy));
    EXPECT_FALSE(IsShrinkCopy(scan));
    EXPECT_FALSE(IsShrinkCopy(U8(dir_ / "照片-压缩.jpg"))); // not in 扫描文件
}
