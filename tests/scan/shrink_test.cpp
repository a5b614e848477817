// "压缩...": smaller copies of JPEG and PDF files; refusals.

#include "scan/jpeg.h"
#include "scan/shrink.h"
#include "scan_fixture.h"

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

TEST_F(ShrinkTest, JpegsAreReducedToTheChosenResolutionAtA4) {
    struct Case {
        int w, h, maxDpi, quality;
        int expectW, expectH; // after shrinking
    };
    const Case cases[] = {
        {2480, 3508, 200, 75, 1654, 2339}, // 300 dpi portrait
        {3508, 2480, 200, 75, 2339, 1654}, // landscape
        {2480, 3508, 150, 60, 1240, 1754},
        {1000, 1400, 200, 75, 1000, 1400}, // small already: only encoded again
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.w * 10 + c.maxDpi);
        const fs::path in = dir_ / "in.jpg", out = dir_ / "out.jpg";
        const auto bytes = EncodeJpeg(PhotoLike(c.w, c.h, 5), 95, 300);
        WriteBytes(in, std::string(bytes.begin(), bytes.end()));
        ShrinkOptions options;
        options.maxDpi = c.maxDpi;
        options.jpegQuality = c.quality;
        const ShrinkResult r = ShrinkFile(U8(in), U8(out), options);
        ASSERT_TRUE(r.ok()) << r.message;
        EXPECT_EQ(r.bytesBefore, bytes.size());
        EXPECT_LT(r.bytesAfter, r.bytesBefore);
        const std::string after = ReadBytes(out);
        const auto info = ReadJpegInfo(std::vector<std::uint8_t>(after.begin(), after.end()));
        ASSERT_TRUE(info);
        EXPECT_NEAR(info->width, c.expectW, 1);
        EXPECT_NEAR(info->height, c.expectH, 1);
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
