// The window-free core of "扫描与合并": PDF building, page editing, blank
// detection and the quality presets.

#include "image_fixture.h"
#include "platform/jpeg_errors.h"
#include "scan/blank.h"
#include "scan/jpeg.h"
#include "scan/pages.h"
#include "scan/scan_files.h"
#include "scan_fixture.h"

#include "materials/manifest_fixture.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <ctime>
#include <functional>

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
        out.push_back(p.origin + (p.rotation() ? "@" + std::to_string(p.rotation()) : ""));
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

// An added JPEG passes through byte for byte where it is within the preset,
// and is resampled (or encoded once and kept smaller) where it is not; its
// page keeps its size either way.
TEST_F(PagesTest, AddedJpegsFollowThePresets) {
    struct Case {
        const char* what;
        int w, h, channels;
        JpegOptions file;
        Quality preset;
        bool same;      // the file's own bytes
        double pageDpi; // the resolution the page is sized at
        int imageWidth;
    };
    const JpegOptions q80{80, 1, 200}, q97{97, 1, 200}, grey150{50, 1, 150};
    const JpegOptions undeclared{80, 0, 1}, perCm{80, 2, 79};
    const Case cases[] = {
        {"200 dpi under 标准", 1654, 2339, 3, q80, Quality::Standard, true, 200, 1654},
        {"200 dpi under 清晰", 1654, 2339, 3, q80, Quality::Clear, true, 200, 1654},
        {"200 dpi under 小巧: resampled", 1654, 2339, 3, q80, Quality::Small, false, 200, 1241},
        {"grey 150 dpi under 小巧", 1240, 1754, 1, grey150, Quality::Small, true, 150, 1240},
        {"no resolution: an A4 page", 2339, 1654, 3, undeclared, Quality::Clear, true,
         1654 / (210 / 25.4), 2339},
        {"fine tables: encoded once, much smaller", 1654, 2339, 3, q97, Quality::Standard, false,
         200, 1654},
        {"dots per centimetre", 1654, 2339, 3, perCm, Quality::Clear, true, 79 * 2.54, 1654},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Raster r = PhotoLike(c.w, c.h, 3);
        if (c.channels == 1)
            MakeGrey(r);
        const std::vector<std::uint8_t> bytes = MakeJpeg(r, c.file);
        std::optional<Page> page = PrepareJpegFile(bytes, "a.jpg");
        ASSERT_TRUE(page);
        PageList list;
        list.add(std::move(*page));
        ASSERT_TRUE(list.encodeMissing(c.preset));
        EXPECT_EQ(list.at(0).passthrough(c.preset), c.same);
        const auto pdf = ReadPdf(Write(list, c.preset));
        ASSERT_EQ(pdf.size(), 1u);
        EXPECT_EQ(pdf[0].filter, "/DCTDecode");
        EXPECT_EQ(pdf[0].raw == bytes, c.same);
        EXPECT_NEAR(pdf[0].imageWidth, c.imageWidth, 1);
        EXPECT_EQ(pdf[0].colourSpace, c.channels == 1 ? "/DeviceGray" : "/DeviceRGB");
        EXPECT_NEAR(pdf[0].width, c.w * 72.0 / c.pageDpi, 0.05);
        EXPECT_NEAR(pdf[0].height, c.h * 72.0 / c.pageDpi, 0.05);
        if (!c.same) { // the preset's own quality is what is written
            EXPECT_LT(pdf[0].raw.size() * 3, bytes.size() * 2);
            EXPECT_EQ(ReadJpegInfo(pdf[0].raw)->quality, Preset(c.preset).jpegQuality);
        }
    }
}

// A phone photo (declared 72 dpi, larger than A4 at it) under each preset:
// never more pixels than the preset needs on A4, each at its own quality.
TEST_F(PagesTest, APhonePhotoUnderEachPreset) {
    const std::vector<std::uint8_t> photo = MakeJpeg(PhotoLike(3000, 2250, 7), {92, 1, 72});
    std::optional<Page> page = PrepareJpegFile(photo, "IMG_0001.jpg");
    ASSERT_TRUE(page);
    PageList list;
    list.add(std::move(*page));
    std::uint64_t previous = photo.size();
    for (Quality q : {Quality::Clear, Quality::Standard, Quality::Small}) {
        SCOPED_TRACE(Preset(q).name);
        ASSERT_TRUE(list.encodeMissing(q));
        const PdfImage& image = list.at(0).image(q);
        // The page: the photo fitted to A4 landscape (its short side 210 mm).
        EXPECT_NEAR(image.pointsHigh(), 210 / 25.4 * 72, 0.1);
        EXPECT_LE(image.width, std::lround(297 / 25.4 * Preset(q).dpi) + 1);
        EXPECT_LE(image.bytes(), previous);
        // At 272 dpi on its page the photo is within 清晰, and q92 is not 1.5
        // times q85: it passes; the other presets resample it.
        EXPECT_EQ(list.at(0).passthrough(q), q == Quality::Clear);
        if (q != Quality::Clear) {
            EXPECT_EQ(ReadJpegInfo(image.data)->quality, Preset(q).jpegQuality);
        }
        previous = image.bytes();
    }
    EXPECT_LT(list.at(0).image(Quality::Small).bytes(), photo.size() * 3 / 10);
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
        // A front removed and scanned again waits for its back in its new place.
        {"a front removed and scanned again",
         {{'a', 101},
          {'a', 102},
          {'a', 103},
          {'x', 2},
          {'a', 113},
          {'b', 213},
          {'b', 202},
          {'b', 201}},
         {"101", "201", "102", "202", "113", "213"}},
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
    // A removed front waits for no back: three sheets, three backs.
    PageList again;
    for (int w : {101, 102, 103})
        again.add(Tagged(w));
    again.remove(2);
    again.add(Tagged(113));
    EXPECT_EQ(again.backsWanted(), 3u);
    for (int w : {213, 202, 201})
        EXPECT_TRUE(again.addBack(Tagged(w)));
    EXPECT_EQ(again.backsWanted(), 0u);
    EXPECT_FALSE(again.addBack(Tagged(204)));
}

// Paints a rectangle (in inches from the top-left) in one colour.
void Fill(Raster& r, int dpi, double x, double y, double w, double h, std::array<int, 3> rgb) {
    for (int py = static_cast<int>(y * dpi); py < static_cast<int>((y + h) * dpi); ++py)
        for (int px = static_cast<int>(x * dpi); px < static_cast<int>((x + w) * dpi); ++px)
            for (int k = 0; k < r.channels; ++k)
                r.row(py)[px * r.channels + k] =
                    static_cast<std::uint8_t>(r.channels == 1 ? (rgb[0] + rgb[1] + rgb[2]) / 3
                                                              : rgb[static_cast<std::size_t>(k)]);
}

// A word of `letters` letters at 12 points: strokes of about 1/60 inch.
void Word(Raster& r, int dpi, int letters, std::array<int, 3> rgb) {
    for (int l = 0; l < letters; ++l) {
        const double x = 2 + l * 0.12;
        Fill(r, dpi, x, 3, 0.017, 0.12, rgb);    // a stem
        Fill(r, dpi, x, 3, 0.08, 0.017, rgb);    // a bar on top
        Fill(r, dpi, x, 3.06, 0.08, 0.017, rgb); // one in the middle
    }
}

TEST(BlankTest, PagesThatMustAndMustNotBeBlank) {
    struct Case {
        const char* name;
        int paper;
        double noise;
        int channels;
        std::function<void(Raster&, int dpi)> draw;
        bool blank;
    };
    const auto none = [](Raster&, int) {};
    const Case cases[] = {
        {"white", 255, 0, 1, none, true},
        {"white colour scan with noise", 250, 8, 3, none, true},
        {"grey scanned paper", 200, 12, 1, none, true},
        {"recycled paper, colour", 185, 15, 3, none, true},
        {"a speck of dust and the scanner's shadow", 245, 5, 1,
         [](Raster& r, int dpi) {
             Fill(r, dpi, 3.5, 2.5, 0.03, 0.03, {30, 30, 30});
             Fill(r, dpi, 0, 0, 0.15, 11.69, {60, 60, 60});
         },
         true},
        {"black", 0, 0, 1, none, false},
        {"one line of text", 255, 0, 1, [](Raster& r, int dpi) { TextLine(r, dpi, 30); }, false},
        {"one short line on grey paper", 200, 12, 3,
         [](Raster& r, int dpi) { TextLine(r, dpi, 12); }, false},
        {"one word: 同意", 250, 4, 3,
         [](Raster& r, int dpi) {
             Word(r, dpi, 2, {20, 20, 20});
         },
         false},
        {"No. 12", 250, 4, 1,
         [](Raster& r, int dpi) {
             Word(r, dpi, 5, {20, 20, 20});
         },
         false},
        {"OK in light blue", 255, 4, 3,
         [](Raster& r, int dpi) {
             Word(r, dpi, 2, {120, 170, 240});
         },
         false},
        {"a light grey stamp", 252, 3, 3,
         [](Raster& r, int dpi) {
             for (double a = 0; a < 6.283; a += 0.01)
                 Fill(r, dpi, 4 + 0.5 * std::cos(a), 5 + 0.5 * std::sin(a), 0.02, 0.02,
                      {195, 195, 195});
         },
         false},
        {"a fine grey pattern", 255, 0, 1,
         [](Raster& r, int dpi) {
             for (int y = 2 * dpi; y < 4 * dpi; y += 2)
                 for (int x = 2 * dpi + y % 4; x < 4 * dpi; x += 4)
                     r.row(y)[x] = 170;
         },
         false},
    };
    for (int dpi : {150, 300, 450}) // pixels measured one, two and three to a cell
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(dpi));
            Raster page = Paper(dpi, c.channels, c.paper, c.noise);
            c.draw(page, dpi);
            EXPECT_EQ(IsBlank(page, dpi), c.blank) << MeasureInk(page, dpi).inkCells;
        }
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
        ASSERT_TRUE(list.encodeMissing(q));
        const std::uint64_t estimate = list.estimatedBytes(q);
        EXPECT_LT(estimate, previous);
        previous = estimate;
        const auto written = fs::file_size(Write(list, q));
        EXPECT_NEAR(static_cast<double>(estimate), static_cast<double>(written), written * 0.02);
    }
    EXPECT_STREQ(Preset(Quality::Standard).name, "标准");
}

// Sets the size a JPEG's frame header claims.
std::vector<std::uint8_t> Claiming(std::vector<std::uint8_t> bytes, int w, int h) {
    for (std::size_t i = 2; i + 9 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && (bytes[i + 1] == 0xC0 || bytes[i + 1] == 0xC2)) {
            bytes[i + 5] = static_cast<std::uint8_t>(h >> 8), bytes[i + 6] = h & 0xFF;
            bytes[i + 7] = static_cast<std::uint8_t>(w >> 8), bytes[i + 8] = w & 0xFF;
            break;
        }
    return bytes;
}

// Files that are not what they claim: refused with a sentence of ours, or
// taken where every viewer opens them.
TEST(JpegTest, DamagedAndOddJpegFiles) {
    const Raster pixels = PhotoLike(400, 500, 4);
    const std::vector<std::uint8_t> good = MakeJpeg(pixels);
    std::vector<std::uint8_t> corrupt = good;
    for (std::size_t i = good.size() / 3; i < good.size() / 3 + 64; ++i)
        corrupt[i] = 0xFF;
    JpegOptions progressive;
    progressive.progressive = true;
    JpegOptions stray, arithmetic;
    stray.strayBytes = true;
    arithmetic.arithmetic = true;
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        const char* error; // part of the message; "" when the file is taken
    };
    const Case cases[] = {
        {"truncated", {good.begin(), good.begin() + static_cast<long>(good.size() / 2)}, "损坏"},
        {"header only", {good.begin(), good.begin() + 200}, "损坏"},
        {"not a jpeg", {'G', 'I', 'F', '8', '9', 'a', 0, 0}, "JPEG"},
        {"empty", {}, "JPEG"},
        {"corrupt data", corrupt, "损坏"},
        {"65000 x 65000 in the header", Claiming(good, 65000, 65000), "图片过大"},
        {"a progressive 14000 x 14000", Claiming(MakeJpeg(pixels, progressive), 14000, 14000),
         "图片过大"},
        {"a baseline 14000 x 14000 of 40 KB", Claiming(good, 14000, 14000), "损坏"},
        {"stray bytes before a marker", MakeJpeg(pixels, stray), ""},
        {"arithmetic coding", MakeJpeg(pixels, arithmetic), ""},
        {"good", good, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        std::optional<Page> page = PrepareJpegFile(c.bytes, "x.jpg", &error);
        EXPECT_EQ(page.has_value(), !*c.error);
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
        // The package check's verdict is the same.
        EXPECT_EQ(platform::CheckJpegData(c.bytes.data(), c.bytes.size()) ==
                      platform::JpegVerdict::Good,
                  !*c.error);
        if (!page)
            continue;
        // Arithmetic coding, which many PDF readers cannot show, is encoded again.
        PageList list;
        list.add(std::move(*page));
        ASSERT_TRUE(list.encodeMissing(Quality::Clear));
        EXPECT_EQ(list.at(0).passthrough(Quality::Clear),
                  std::string(c.name) != "arithmetic coding");
        EXPECT_FALSE(ReadJpegInfo(list.at(0).image(Quality::Clear).data)->arithmetic);
    }
}

// libjpeg's own header reading: size, components, resolution, orientation,
// quality, and what the page makes of the orientation.
TEST(JpegTest, TheHeaderAndTheOrientation) {
    const auto info = ReadJpegInfo(JpegFile(321, 123, 1, 150));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->width, 321);
    EXPECT_EQ(info->height, 123);
    EXPECT_EQ(info->components, 1);
    EXPECT_EQ(info->dpiX, 150);
    EXPECT_EQ(info->quality, 80);
    EXPECT_EQ(PlausibleDpi(1654, 2339, 200), 200);
    EXPECT_NEAR(PlausibleDpi(1654, 2339, 72), 200, 0.5); // 32 inches: raised to fit A4
    EXPECT_NEAR(PlausibleDpi(1654, 2339, 0), 200, 0.5);
    EXPECT_NEAR(PlausibleDpi(800, 600, 96), 96, 0.01);             // fits A4 at 96: kept
    EXPECT_NEAR(PlausibleDpi(1920, 1080, 96), 1920 / 11.693, 0.1); // a screenshot
    EXPECT_NEAR(PlausibleDpi(800, 6400, 100), 6400 / 11.693, 0.1); // a 1:8 receipt
    struct Case {
        int orientation;
        int turn; // added to the page's rotation
        bool passthrough;
        int width; // of the stored image the page is made of
    };
    const Case cases[] = {{1, 0, true, 300},   {3, 180, true, 300}, {6, 90, true, 300},
                          {8, 270, true, 300}, {2, 0, false, 300},  {5, 0, false, 200}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.orientation);
        JpegOptions o;
        o.orientation = c.orientation;
        const std::vector<std::uint8_t> bytes = MakeJpeg(PhotoLike(300, 200, 1), o);
        EXPECT_EQ(ReadJpegInfo(bytes)->orientation, c.orientation);
        std::optional<Page> page = PrepareJpegFile(bytes, "p.jpg");
        ASSERT_TRUE(page);
        EXPECT_EQ(page->rotation(), c.turn);
        EXPECT_EQ(page->source->info().width, c.width);
        EXPECT_EQ(page->source->ownCoding() != nullptr, c.passthrough);
    }
    // Decoded at the smallest of 1/2, 1/4, 1/8 that still has the pixels asked for.
    const std::vector<std::uint8_t> big = JpegFile(1600, 1200, 3, 300);
    JpegDecoding how;
    how.minWidth = 500;
    how.minHeight = 300;
    EXPECT_EQ(DecodeJpeg(big.data(), big.size(), how)->width, 800);
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
