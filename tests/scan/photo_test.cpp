// Photos of pages: the page found in made-up photos, the flat page's size,
// cleaning (black and white stored as one bit a pixel) and the skew of
// flatbed scans.

#include "scan/page_encoding.h"
#include "scan/photo.h"

#include "scan/scan_fixture.h"
#include "support/photo_scene.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace photo_scene;
using scan::Corners;
using scan::Point2;

namespace {

double Diagonal(const Corners& c) {
    return std::hypot(c[2].x - c[0].x, c[2].y - c[0].y);
}

double Worst(const Corners& found, const Corners& truth) {
    double worst = 0;
    for (int i = 0; i < 4; ++i)
        worst = std::max(worst, std::hypot(found[i].x - truth[i].x, found[i].y - truth[i].y));
    return worst / Diagonal(truth);
}

struct Made {
    Photo photo;
    scan::Raster page;
};

Made Make(std::uint32_t seed, Background bg, double tilt, double turn, double fill, double falloff,
          int w = 900, int h = 1200) {
    Random rnd(seed);
    Made m;
    m.page = TextPage(rnd, 60);
    Scene s = RandomScene(rnd, bg);
    s.tiltDeg = tilt, s.turnDeg = turn, s.fill = fill, s.falloff = falloff;
    m.photo = MakePhoto(rnd, s, m.page, w, h);
    return m;
}

// The paper's median of one channel in the rectangle (fractions of the page).
int Median(const scan::Raster& r, int channel, double x0, double y0, double x1, double y1) {
    std::vector<int> v;
    for (int y = static_cast<int>(y0 * r.height); y < y1 * r.height; ++y)
        for (int x = static_cast<int>(x0 * r.width); x < x1 * r.width; ++x)
            v.push_back(r.row(y)[x * r.channels + (r.channels == 1 ? 0 : channel)]);
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}

} // namespace

TEST(Photo, ThePageIsFoundOnEachBackgroundAndNothingOnAnEmptyDesk) {
    const struct {
        const char* name;
        Background bg;
        double tilt, turn, fill, falloff;
        bool page;
    } rows[] = {
        {"dark wood, steep", Background::DarkWood, 28, 12, 0.55, 0.4, true},
        {"light wood", Background::LightWood, 15, -10, 0.6, 0.3, true},
        {"cloth", Background::Cloth, 22, 5, 0.45, 0.2, true},
        {"desk with a second sheet", Background::DeskWithSheet, 10, -6, 0.4, 0.25, true},
        {"empty desk", Background::EmptyDesk, 0, 0, 0.5, 0.3, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Made m = Make(7, row.bg, row.tilt, row.turn, row.fill, row.falloff);
        const scan::PageFinding f = scan::FindPage(m.photo.pixels);
        ASSERT_EQ(f.found, row.page) << f.confidence;
        EXPECT_FALSE(f.twoPages);
        if (!row.page)
            continue;
        EXPECT_LT(Worst(f.corners, m.photo.corners), 0.01);
        // Flat and A4, never with more pixels than the photo shows.
        const auto corrected =
            scan::CorrectPhoto(m.photo.pixels, f.corners, scan::Cleaning::Document);
        ASSERT_TRUE(corrected);
        const scan::SourceInfo& info = corrected->source->info();
        EXPECT_NEAR(static_cast<double>(info.width) / info.height, 210.0 / 297.0, 0.005);
        EXPECT_LE(info.height, m.photo.pixels.height);
        EXPECT_NEAR(info.height / info.dpiY * 25.4, 297, 1);
    }
}

TEST(Photo, TwoWholePagesAreSaidToBeTwo) {
    Random rnd(3);
    const scan::Raster page = TextPage(rnd, 40);
    Photo photo;
    photo.pixels = scan::MakeRaster(1400, 900, 3);
    Scene s;
    BackgroundAt(s, rnd, photo.pixels);
    PaintPage(page, {Point2{80, 120}, Point2{600, 110}, Point2{610, 820}, Point2{90, 830}},
              photo.pixels);
    PaintPage(page, {Point2{760, 100}, Point2{1290, 115}, Point2{1280, 830}, Point2{750, 815}},
              photo.pixels);
    const scan::PageFinding f = scan::FindPage(photo.pixels);
    EXPECT_TRUE(f.found);
    EXPECT_TRUE(f.twoPages);
}

TEST(Photo, TheFlatPageTakesA4ACardOrItsOwnProportions) {
    const auto rect = [](double w, double h) {
        return Corners{Point2{100, 100}, Point2{100 + w, 100}, Point2{100 + w, 100 + h},
                       Point2{100, 100 + h}};
    };
    const struct {
        const char* name;
        Corners corners;
        int photoW, photoH;
        int width, height;
        double dpi;
    } rows[] = {
        {"A4 with more pixels than 300 dpi", rect(3000, 4243), 3400, 4600, 2480, 3508, 300},
        {"A4 with fewer: the pixels shown", rect(1000, 1414), 1300, 1700, 1000, 1414, 120.9},
        {"nearly A4, landscape", rect(1450, 1000), 1700, 1300, 1414, 1000, 120.9},
        {"a card keeps its size", rect(856, 540), 2000, 1500, 856, 540, 254},
        {"a card with many pixels", rect(1712, 1080), 2000, 1500, 1011, 638, 300},
        {"own proportions", rect(600, 1200), 900, 1400, 600, 1200, 102.6},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const scan::FlatSize s = scan::FlatPageSize(row.corners, row.photoW, row.photoH, 300);
        EXPECT_NEAR(s.width, row.width, 1);
        EXPECT_NEAR(s.height, row.height, 1);
        EXPECT_NEAR(s.dpi, row.dpi, 0.2);
    }
    // A page leaning 30° away looks far from A4; through the perspective it is A4.
    Random rnd(11);
    Scene s;
    s.tiltDeg = 30, s.tiltAxisDeg = 0, s.turnDeg = 8, s.fill = 0.5;
    const Corners seen = Project(rnd, s, 210.0 / 297.0, 3000, 4000);
    const scan::FlatSize flat = scan::FlatPageSize(seen, 3000, 4000, 150);
    EXPECT_NEAR(static_cast<double>(flat.width) / flat.height, 210.0 / 297.0, 0.003);
}

TEST(Photo, CleaningWhitensThePaperKeepsTheStampAndBlackAndWhiteIsOneBit) {
    const Made m = Make(5, Background::DarkWood, 12, 4, 0.6, 0.4);
    const auto decode = [](const scan::CorrectedPage& c) { return *c.source->decode(0, 0); };
    const auto document =
        scan::CorrectPhoto(m.photo.pixels, m.photo.corners, scan::Cleaning::Document);
    const auto original =
        scan::CorrectPhoto(m.photo.pixels, m.photo.corners, scan::Cleaning::Original);
    const auto bw = scan::CorrectPhoto(m.photo.pixels, m.photo.corners, scan::Cleaning::BlackWhite);
    ASSERT_TRUE(document && original && bw);
    const scan::Raster doc = decode(*document), orig = decode(*original);
    // Paper in the margins: white after 文档, shaded and cast in 原色.
    for (int c = 0; c < 3; ++c) {
        EXPECT_GE(Median(doc, c, 0.02, 0.02, 0.08, 0.98), 245) << c;
        EXPECT_GE(Median(doc, c, 0.92, 0.02, 0.98, 0.98), 245) << c;
    }
    EXPECT_LT(Median(orig, 2, 0.02, 0.02, 0.98, 0.08), 235);
    // The red stamp ring stays red: somewhere on its ring red dominates.
    int red = 0;
    for (int y = doc.height * 3 / 5; y < doc.height; ++y)
        for (int x = doc.width / 2; x < doc.width; ++x) {
            const std::uint8_t* p = doc.row(y) + 3 * x;
            red += p[0] > 150 && p[1] < 110 && p[2] < 110;
        }
    EXPECT_GT(red, 50);
    EXPECT_EQ(document->mode, scan::ColourMode::Colour);
    // 黑白: the page's source and every encoding one bit a pixel.
    EXPECT_EQ(bw->mode, scan::ColourMode::BlackWhite);
    EXPECT_TRUE(bw->source->info().bilevel);
    for (int q = 0; q < scan::kQualityCount; ++q) {
        const auto image =
            scan::EncodePage(*bw->source, bw->mode, false, static_cast<scan::Quality>(q));
        ASSERT_TRUE(image);
        EXPECT_EQ(image->bitsPerComponent, 1);
    }
}

TEST(Photo, FlatbedScansAreStraightenedOnlyAboveAThirdOfADegree) {
    Random rnd(9);
    const scan::Raster page = TextPage(rnd, 100);
    for (const double degrees : {1.5, -0.8, 0.15}) {
        SCOPED_TRACE(degrees);
        scan::Raster scanned = scan::MakeRaster(page.width, page.height, 3);
        std::fill(scanned.pixels.begin(), scanned.pixels.end(), std::uint8_t{255});
        const double a = degrees * M_PI / 180, cx = page.width / 2.0, cy = page.height / 2.0;
        Corners c;
        const double local[4][2] = {{-cx, -cy}, {cx, -cy}, {cx, cy}, {-cx, cy}};
        for (int i = 0; i < 4; ++i)
            c[i] = {cx + local[i][0] * std::cos(a) - local[i][1] * std::sin(a),
                    cy + local[i][0] * std::sin(a) + local[i][1] * std::cos(a)};
        PaintPage(page, c, scanned);
        const auto skew = scan::SkewDegrees(scanned);
        ASSERT_TRUE(skew);
        // Measured closely where it matters; a slight one may read as none.
        EXPECT_NEAR(*skew, degrees, std::fabs(degrees) > 0.3 ? 0.1 : 0.16);
        const auto straight = scan::Deskewed(scanned);
        EXPECT_EQ(straight.has_value(), std::fabs(degrees) > scan::kSkewWorthStraightening);
        if (straight) {
            EXPECT_NEAR(*scan::SkewDegrees(*straight), 0, 0.1);
        }
    }
    // A picture without lines of text is never turned.
    EXPECT_FALSE(scan::Deskewed(scan_test::PhotoLike(1200, 1600, 4)));
}
