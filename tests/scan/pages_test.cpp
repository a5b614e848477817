// The window-free core of "扫描与合并": PDF building, page editing, blank
// detection and the quality presets.

#include "scan/blank.h"
#include "scan/jpeg.h"
#include "scan/pages.h"
#include "scan/scan_files.h"
#include "scan_fixture.h"

#include "materials/manifest_fixture.h"

#include <gtest/gtest.h>

#include <ctime>

using namespace scan;
using namespace scan_test;
using materials_test::TempFolderTest;
using materials_test::U8;
namespace fs = std::filesystem;

namespace {

std::vector<std::uint8_t> JpegFile(int w, int h, int channels, double dpi, unsigned seed = 3) {
    Raster r = PhotoLike(w, h, seed);
    if (channels == 1)
        r = ToGrey(r);
    return EncodeJpeg(r, 80, dpi);
}

// A page whose image width tells it apart from the others.
Page Tagged(int width) {
    return PreparePixels(PhotoLike(width, 300, static_cast<unsigned>(width)), 100,
                         ColourMode::Colour, std::to_string(width));
}

std::vector<std::string> Origins(const PageList& list) {
    std::vector<std::string> out;
    for (const Page& p : list.pages())
        out.push_back(p.origin + (p.rotation ? "@" + std::to_string(p.rotation) : ""));
    return out;
}

class PagesTest : public TempFolderTest {
  protected:
    std::string Write(const PageList& list, Quality q = Quality::Standard) {
        const std::string path = U8(dir_ / "out.pdf");
        EXPECT_EQ(WritePdf(list.pdfPages(q), path), "");
        return path;
    }
};

} // namespace

TEST_F(PagesTest, JpegFilesAreEmbeddedByteForByteOnPagesOfTheirSize) {
    struct Case {
        int w, h, channels;
        double dpi;     // declared in the file (0: none)
        double pageDpi; // the resolution the page is sized at
        const char* space;
    };
    const Case cases[] = {
        {1654, 2339, 3, 200, 200, "/DeviceRGB"},
        {1240, 1754, 1, 150, 150, "/DeviceGray"},
        {2339, 1654, 3, 0, 2339 / 11.69, "/DeviceRGB"}, // no resolution: an A4 page
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.w);
        const std::vector<std::uint8_t> bytes = JpegFile(c.w, c.h, c.channels, c.dpi);
        std::optional<Page> page = PrepareJpegFile(bytes, "a.jpg");
        ASSERT_TRUE(page);
        EXPECT_TRUE(page->passthrough);
        PageList list;
        list.add(std::move(*page));
        for (int q = 0; q < kQualityCount; ++q) {
            const auto pdf = ReadPdf(Write(list, static_cast<Quality>(q)));
            ASSERT_EQ(pdf.size(), 1u);
            EXPECT_EQ(pdf[0].filter, "/DCTDecode");
            EXPECT_EQ(pdf[0].raw, bytes); // no second encoding, at any quality
            EXPECT_EQ(pdf[0].colourSpace, c.space);
            EXPECT_NEAR(pdf[0].width, c.w * 72.0 / c.pageDpi, 0.01);
            EXPECT_NEAR(pdf[0].height, c.h * 72.0 / c.pageDpi, 0.01);
        }
    }
}

TEST_F(PagesTest, ScannedPagesAreEncodedOnceAtTheChosenQuality) {
    struct Case {
        ColourMode mode;
        double dpi;
        Quality quality;
        const char* filter;
        int bits;
        double pageDpi; // never more than the scan's
    };
    const Case cases[] = {
        {ColourMode::Colour, 300, Quality::Clear, "/DCTDecode", 8, 300},
        {ColourMode::Colour, 300, Quality::Standard, "/DCTDecode", 8, 200},
        {ColourMode::Grey, 300, Quality::Small, "/DCTDecode", 8, 150},
        {ColourMode::Colour, 150, Quality::Clear, "/DCTDecode", 8, 150},
        {ColourMode::BlackWhite, 200, Quality::Standard, "/FlateDecode", 1, 200},
        {ColourMode::BlackWhite, 300, Quality::Small, "/FlateDecode", 1, 150},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.mode) * 1000 + c.dpi);
        Raster pixels = Paper(static_cast<int>(c.dpi), 3);
        TextLine(pixels, static_cast<int>(c.dpi), 30);
        PageList list;
        list.add(PreparePixels(pixels, c.dpi, c.mode, "扫描"));
        const auto pdf = ReadPdf(Write(list, c.quality));
        ASSERT_EQ(pdf.size(), 1u);
        EXPECT_EQ(pdf[0].filter, c.filter);
        EXPECT_EQ(pdf[0].bits, c.bits);
        EXPECT_NEAR(pdf[0].width, 8.27 * 72, 1.0); // an A4 page stays A4
        EXPECT_NEAR(pdf[0].imageWidth, 8.27 * c.pageDpi, 2);
        if (c.mode == ColourMode::Colour)
            EXPECT_EQ(pdf[0].colourSpace, "/DeviceRGB");
        else
            EXPECT_EQ(pdf[0].colourSpace, "/DeviceGray");
    }
}

TEST_F(PagesTest, EditingIsReflectedInThePagesOfThePdf) {
    struct Step {
        char op; // a add, b back, u up, d down, r rotate, x remove
        int arg; // width of the page added, or index
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::vector<std::string> order;
    };
    const std::vector<Case> cases = {
        {"reorder",
         {{'a', 101}, {'a', 102}, {'a', 103}, {'u', 2}, {'d', 0}},
         {"103", "101", "102"}},
        {"rotate", {{'a', 101}, {'a', 102}, {'r', 1}, {'r', 1}, {'r', 0}}, {"101@90", "102@180"}},
        {"delete", {{'a', 101}, {'a', 102}, {'a', 103}, {'x', 1}}, {"101", "103"}},
        // Fronts 1-3, then the stack turned over: the back of 3 comes first.
        {"backs",
         {{'a', 101}, {'a', 102}, {'a', 103}, {'b', 203}, {'b', 202}, {'b', 201}},
         {"101", "201", "102", "202", "103", "203"}},
        // A second stack after the first: its backs go to its own fronts.
        {"two stacks",
         {{'a', 101}, {'b', 201}, {'a', 102}, {'a', 103}, {'b', 203}, {'b', 202}},
         {"101", "201", "102", "202", "103", "203"}},
        {"backs after a reorder",
         {{'a', 101}, {'a', 102}, {'u', 1}, {'b', 201}, {'b', 202}},
         {"102", "201", "101", "202"}}, // 201 is the back of the last sheet scanned
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PageList list;
        for (const Step& s : c.steps) {
            const auto i = static_cast<std::size_t>(s.arg);
            switch (s.op) {
            case 'a':
                list.add(Tagged(s.arg));
                break;
            case 'b':
                EXPECT_TRUE(list.addBack(Tagged(s.arg)));
                break;
            case 'u':
                list.moveUp(i);
                break;
            case 'd':
                list.moveDown(i);
                break;
            case 'r':
                list.rotate(i);
                break;
            case 'x':
                list.remove(i);
                break;
            }
        }
        EXPECT_EQ(Origins(list), c.order);
        const auto pdf = ReadPdf(Write(list));
        ASSERT_EQ(pdf.size(), c.order.size());
        for (std::size_t i = 0; i < pdf.size(); ++i) {
            const std::string& o = c.order[i];
            EXPECT_EQ(std::to_string(pdf[i].imageWidth), o.substr(0, 3)) << i;
            EXPECT_EQ(pdf[i].rotate, o.size() > 3 ? std::stoi(o.substr(4)) : 0) << i;
        }
    }
}

TEST_F(PagesTest, MoreBacksThanFrontsAreRefused) {
    PageList list;
    list.add(Tagged(101));
    EXPECT_EQ(list.backsWanted(), 1u);
    EXPECT_TRUE(list.addBack(Tagged(201)));
    EXPECT_EQ(list.backsWanted(), 0u);
    EXPECT_FALSE(list.addBack(Tagged(202)));
    EXPECT_EQ(list.size(), 2u);
}

TEST(BlankTest, NearlyBlankPagesAreMarked) {
    struct Case {
        const char* name;
        int paper;
        double noise;
        int textChars; // one line of text of this many characters (0: none)
        int channels;
        bool blank;
    };
    const Case cases[] = {
        {"white", 255, 0, 0, 1, true},
        {"white colour scan with noise", 250, 8, 0, 3, true},
        {"grey scanned paper", 200, 12, 0, 1, true},
        {"recycled paper, colour", 185, 15, 0, 3, true},
        {"one line of text", 255, 0, 30, 1, false},
        {"one short line on grey paper", 200, 12, 12, 3, false},
        {"black", 0, 0, 0, 1, false},
    };
    for (int dpi : {100, 200})
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(dpi));
            Raster page = Paper(dpi, c.channels, c.paper, c.noise);
            if (c.textChars)
                TextLine(page, dpi, c.textChars);
            EXPECT_EQ(IsBlank(page, dpi), c.blank) << MeasureInk(page, dpi).inkFraction;
        }
}

TEST(BlankTest, ADustSpeckAndAScannerShadowLeaveAPageBlank) {
    Raster page = Paper(200, 1, 245, 5);
    for (int y = 500; y < 506; ++y) // a speck
        for (int x = 700; x < 706; ++x)
            page.row(y)[x] = 30;
    for (int y = 0; y < page.height; ++y) // the shadow along an edge
        for (int x = 0; x < 30; ++x)
            page.row(y)[x] = 60;
    EXPECT_TRUE(IsBlank(page, 200));
}

TEST_F(PagesTest, BlankPagesAreRemovedOnlyOnRequest) {
    PageList list;
    Raster text = Paper(100, 1);
    TextLine(text, 100, 30);
    list.add(PreparePixels(text, 100, ColourMode::Grey, "text"));
    list.add(PreparePixels(Paper(100, 1, 240, 6), 100, ColourMode::Grey, "empty"));
    list.add(PreparePixels(text, 100, ColourMode::Grey, "text2"));
    EXPECT_EQ(list.blankCount(), 1u);
    EXPECT_EQ(list.size(), 3u); // marked, still there
    EXPECT_TRUE(list.at(1).blank);
    list.setBlank(1, false); // the applicant keeps it after all
    EXPECT_EQ(list.removeBlank(), 0u);
    list.setBlank(1, true);
    EXPECT_EQ(list.removeBlank(), 1u);
    EXPECT_EQ(Origins(list), (std::vector<std::string>{"text", "text2"}));
}

TEST_F(PagesTest, TheQualityPresetsOrderTheSizeAndTheEstimateIsTheSize) {
    PageList list;
    for (unsigned s = 1; s <= 2; ++s)
        list.add(PreparePixels(PhotoLike(2480, 3508, s), 300, ColourMode::Colour, "photo"));
    Raster text = Paper(300, 1);
    TextLine(text, 300, 40);
    list.add(PreparePixels(text, 300, ColourMode::BlackWhite, "bw"));
    list.add(*PrepareJpegFile(JpegFile(1654, 2339, 3, 200), "file.jpg"));
    std::uint64_t previous = UINT64_MAX;
    for (Quality q : {Quality::Clear, Quality::Standard, Quality::Small}) {
        SCOPED_TRACE(Preset(q).name);
        const std::uint64_t estimate = list.estimatedBytes(q);
        EXPECT_LT(estimate, previous);
        previous = estimate;
        const auto written = fs::file_size(Write(list, q));
        EXPECT_NEAR(static_cast<double>(estimate), static_cast<double>(written), written * 0.02);
    }
    EXPECT_STREQ(Preset(Quality::Standard).name, "标准");
}

TEST(JpegTest, DamagedJpegFilesAreRefused) {
    const std::vector<std::uint8_t> good = JpegFile(400, 500, 3, 100);
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Case> cases = {
        {"truncated", {good.begin(), good.begin() + static_cast<long>(good.size() / 2)}},
        {"header only", {good.begin(), good.begin() + 200}},
        {"not a jpeg", {'G', 'I', 'F', '8', '9', 'a', 0, 0}},
        {"empty", {}},
    };
    Case corrupt{"corrupt data", good};
    for (std::size_t i = good.size() / 3; i < good.size() / 3 + 64; ++i)
        corrupt.bytes[i] = 0xFF;
    cases.push_back(corrupt);
    Case huge{"65000 x 65000 in the header", good};
    for (std::size_t i = 2; i + 8 < huge.bytes.size(); ++i)
        if (huge.bytes[i] == 0xFF && huge.bytes[i + 1] == 0xC0) {
            for (std::size_t k : {i + 5, i + 7})
                huge.bytes[k] = 0xFD, huge.bytes[k + 1] = 0xE8;
            break;
        }
    cases.push_back(huge);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        EXPECT_FALSE(PrepareJpegFile(c.bytes, "x.jpg", &error));
        EXPECT_FALSE(error.empty());
    }
    EXPECT_TRUE(PrepareJpegFile(good, "x.jpg"));
}

TEST(JpegTest, TheHeaderGivesSizeComponentsAndResolution) {
    const auto info = ReadJpegInfo(JpegFile(321, 123, 1, 150));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->width, 321);
    EXPECT_EQ(info->height, 123);
    EXPECT_EQ(info->components, 1);
    EXPECT_EQ(info->dpiX, 150);
    EXPECT_EQ(PlausibleDpi(1654, 2339, 200), 200);
    EXPECT_NEAR(PlausibleDpi(1654, 2339, 72), 200, 0.5); // 32 inches: not a page
    EXPECT_NEAR(PlausibleDpi(1654, 2339, 0), 200, 0.5);
}

TEST_F(PagesTest, ScanFileNamesSayItemEntryAndTime) {
    const std::string folder = ScanFolder(U8(dir_));
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(fs::path(folder).filename(), fs::path("扫描文件"));
    std::tm t{};
    t.tm_year = 126, t.tm_mon = 11, t.tm_mday = 7, t.tm_hour = 9, t.tm_min = 5, t.tm_sec = 3;
    t.tm_isdst = -1;
    const std::time_t when = std::mktime(&t);
    struct Case {
        std::string item, material, entry, suffix, ext, name;
    };
    const Case cases[] = {
        {"地灾评估", "营业执照", "营业执照(副本)", "", "pdf",
         "地灾评估-营业执照-营业执照(副本)-20261207-090503.pdf"},
        {"地灾评估", "其他材料", "a/b:c", "-压缩", "jpg",
         "地灾评估-其他材料-a╱b：c-20261207-090503-压缩.jpg"},
        {"", "材料", "", "", "pdf", "材料-20261207-090503.pdf"},
    };
    for (const Case& c : cases) {
        const std::string path =
            ScanFileName(folder, c.item, c.material, c.entry, c.suffix, c.ext, when);
        EXPECT_EQ(fs::path(path).filename(), fs::path(c.name));
    }
    // A name never replaces a file of the same second.
    materials_test::WriteBytes(fs::path(folder) / cases[0].name, "x");
    EXPECT_EQ(fs::path(ScanFileName(folder, cases[0].item, cases[0].material, cases[0].entry, "",
                                    "pdf", when))
                  .filename(),
              fs::path("地灾评估-营业执照-营业执照(副本)-20261207-090503(2).pdf"));
}
