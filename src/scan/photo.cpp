#include "scan/photo.h"

#include "platform/program_module.h"
#include "scan/page_encoding.h"
#include "scan/pages.h"

#include <algorithm>
#include <cmath>

namespace scan {
namespace {

constexpr const char* kModule = "quillor-photo";

using FindFunction = bool (*)(const Raster*, PageFinding*);
using WarpFunction = bool (*)(const Raster*, const Corners*, int, int, Raster*);
using CleanFunction = bool (*)(Raster*, int);
using SkewFunction = bool (*)(const Raster*, double*);
using UnskewFunction = bool (*)(const Raster*, double, Raster*);

template <class F> F Function(const char* name) {
    return platform::ModuleFunction<F>(kModule, name);
}

constexpr double kA4Short = 210.0, kA4Long = 297.0; // millimetres
constexpr double kCardShort = 54.0, kCardLong = 85.6;

double Length(Point2 a, Point2 b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

// The true width / height of the rectangle a camera shows as `c` (principal
// point at the image's centre, square pixels): the focal length follows
// from the vanishing points, the proportions from it. Nullopt when the
// perspective says nothing (sides parallel) or contradicts a camera.
std::optional<double> TrueProportions(const Corners& c, int imageWidth, int imageHeight) {
    const double u0 = imageWidth / 2.0, v0 = imageHeight / 2.0;
    struct V {
        double x, y, z;
    };
    const auto h = [&](Point2 p) { return V{p.x - u0, p.y - v0, 1.0}; };
    const auto cross = [](V a, V b) {
        return V{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
    };
    const auto dot = [](V a, V b) { return a.x * b.x + a.y * b.y + a.z * b.z; };
    // m1 top left, m2 top right, m3 bottom left, m4 bottom right.
    const V m1 = h(c[0]), m2 = h(c[1]), m3 = h(c[3]), m4 = h(c[2]);
    const double d2 = dot(cross(m2, m4), m3), d3 = dot(cross(m3, m4), m2);
    if (std::fabs(d2) < 1e-9 || std::fabs(d3) < 1e-9)
        return std::nullopt;
    const double k2 = dot(cross(m1, m4), m3) / d2;
    const double k3 = dot(cross(m1, m4), m2) / d3;
    const V n2{k2 * m2.x - m1.x, k2 * m2.y - m1.y, k2 * m2.z - m1.z};
    const V n3{k3 * m3.x - m1.x, k3 * m3.y - m1.y, k3 * m3.z - m1.z};
    const double scale = std::max(imageWidth, imageHeight);
    if (std::fabs(n2.z) < 1e-3 || std::fabs(n3.z) < 1e-3) // nearly no perspective
        return std::sqrt((n2.x * n2.x + n2.y * n2.y) / (n3.x * n3.x + n3.y * n3.y));
    const double f2 = -(n2.x * n3.x + n2.y * n3.y) / (n2.z * n3.z);
    if (!(f2 > 0.04 * scale * scale) || f2 > 100.0 * scale * scale)
        return std::nullopt;
    const double w2 = (n2.x * n2.x + n2.y * n2.y) / f2 + n2.z * n2.z;
    const double h2 = (n3.x * n3.x + n3.y * n3.y) / f2 + n3.z * n3.z;
    if (!(w2 > 0) || !(h2 > 0))
        return std::nullopt;
    return std::sqrt(w2 / h2);
}

Raster PreviewOf(const Raster& pixels) {
    int w = pixels.width, h = pixels.height;
    FitWithin(pixels.width, pixels.height, kPreviewSide, kPreviewSide, w, h);
    return Downsample(pixels, w, h);
}

} // namespace

const char* CleaningName(Cleaning cleaning) {
    switch (cleaning) {
    case Cleaning::Original:
        return "原色";
    case Cleaning::Document:
        return "文档";
    case Cleaning::BlackWhite:
        return "黑白";
    }
    return "";
}

Corners WholeImage(int width, int height) {
    return {Point2{0, 0}, Point2{static_cast<double>(width), 0},
            Point2{static_cast<double>(width), static_cast<double>(height)},
            Point2{0, static_cast<double>(height)}};
}

PageFinding FindPage(const Raster& photo) {
    static const auto find = Function<FindFunction>("quillor_photo_find");
    PageFinding finding;
    if (!find || !find(&photo, &finding))
        return {};
    return finding;
}

FlatSize FlatPageSize(const Corners& c, int photoWidth, int photoHeight, double dpi) {
    const double top = Length(c[0], c[1]), bottom = Length(c[3], c[2]);
    const double left = Length(c[0], c[3]), right = Length(c[1], c[2]);
    const double shownWide = std::max(top, bottom), shownHigh = std::max(left, right);
    if (shownWide < 1 || shownHigh < 1)
        return {};
    const double ratio = TrueProportions(c, photoWidth, photoHeight)
                             .value_or((top + bottom) / std::max(1e-9, left + right));
    const bool landscape = ratio > 1;
    const double longOverShort = landscape ? ratio : 1 / ratio;
    // The page's long side in millimetres and its proportions.
    double longMm = kA4Long, proportions = longOverShort;
    if (std::fabs(longOverShort / (kA4Long / kA4Short) - 1) <= 0.04) {
        proportions = kA4Long / kA4Short;
    } else if (std::fabs(longOverShort / (kCardLong / kCardShort) - 1) <= 0.03) {
        longMm = kCardLong;
        proportions = kCardLong / kCardShort;
    }
    // Never more pixels than the photo has of the page: its longest side as
    // shown (a side nearer the camera shows more than the far one).
    const double shownLong = landscape ? shownWide : shownHigh;
    const double shownShort = landscape ? shownHigh : shownWide;
    double longPx = longMm / 25.4 * dpi;
    longPx = std::min({longPx, shownLong, std::max(shownShort, 1.0) * proportions});
    FlatSize size;
    size.dpi = longPx / (longMm / 25.4);
    const int l = std::max(1, static_cast<int>(std::lround(longPx)));
    const int s = std::max(1, static_cast<int>(std::lround(longPx / proportions)));
    size.width = landscape ? l : s;
    size.height = landscape ? s : l;
    return size;
}

std::optional<Raster> Straighten(const Raster& photo, const Corners& corners, int width,
                                 int height) {
    static const auto warp = Function<WarpFunction>("quillor_photo_warp");
    Raster out;
    if (!warp || !warp(&photo, &corners, width, height, &out))
        return std::nullopt;
    return out;
}

bool CleanPage(Raster& page, Cleaning cleaning) {
    static const auto clean = Function<CleanFunction>("quillor_photo_clean");
    return clean && clean(&page, static_cast<int>(cleaning));
}

std::optional<double> SkewDegrees(const Raster& scan) {
    static const auto skew = Function<SkewFunction>("quillor_photo_skew");
    double degrees = 0;
    if (!skew || !skew(&scan, &degrees))
        return std::nullopt;
    return degrees;
}

std::optional<Raster> Unskewed(const Raster& scan, double degrees) {
    static const auto unskew = Function<UnskewFunction>("quillor_photo_unskew");
    Raster out;
    if (!unskew || !unskew(&scan, degrees, &out))
        return std::nullopt;
    return out;
}

std::optional<Raster> Deskewed(const Raster& scan) {
    const std::optional<double> skew = SkewDegrees(scan);
    if (!skew || std::fabs(*skew) <= kSkewWorthStraightening)
        return std::nullopt;
    return Unskewed(scan, *skew);
}

std::optional<CorrectedPage> CorrectPhoto(const Raster& photo, const Corners& corners,
                                          Cleaning cleaning) {
    const QualityPreset& finest = Preset(Quality::Clear);
    const FlatSize size = FlatPageSize(corners, photo.width, photo.height, finest.dpi);
    if (size.width <= 0)
        return std::nullopt;
    std::optional<Raster> flat = Straighten(photo, corners, size.width, size.height);
    if (!flat || !CleanPage(*flat, cleaning))
        return std::nullopt;
    CorrectedPage page;
    page.mode = cleaning == Cleaning::BlackWhite ? ColourMode::BlackWhite
                : flat->channels == 1            ? ColourMode::Grey
                                                 : ColourMode::Colour;
    page.source = MakeEncodedSource(EncodePixels(*flat, {size.dpi, size.dpi}, page.mode, finest),
                                    page.mode != ColourMode::Colour);
    page.preview = PreviewOf(*flat);
    return page;
}

} // namespace scan
