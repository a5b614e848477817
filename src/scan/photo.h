#pragma once
// Phone photos of pages made into pages that look scanned: the page's four
// corners found in the photo, the page warped flat to its own proportions
// (A4 when it is within a few per cent of A4), and cleaned. Flatbed scans
// that lie crooked are straightened. The image work is done by OpenCV in the
// module quillor-photo (scan/photo/), opened the first time a photo is
// looked at; without the module no page is ever found and nothing changes.
//
// A corrected page is held as scan/page_source.h says: its corrected
// encoding becomes the page's source, and the photo's own source stays in
// the page's PagePhoto for undo and for comparing before and after.

#include "scan/page_source.h"
#include "scan/raster.h"

#include <array>
#include <memory>
#include <optional>

namespace scan {

struct Point2 {
    double x = 0;
    double y = 0;
};
// A page's corners in the photo's stored pixels: top left, top right, bottom
// right, bottom left as the stored pixels show them.
using Corners = std::array<Point2, 4>;

// How a corrected page is cleaned: "原色" (the colours kept, only
// flattened), "文档" (uneven light and the colour cast removed, paper white,
// ink dark, coloured stamps kept), "黑白" (adaptive threshold, one bit a
// pixel).
enum class Cleaning { Original = 0, Document = 1, BlackWhite = 2 };
inline constexpr int kCleaningCount = 3;
const char* CleaningName(Cleaning cleaning);

// What looking for a page in a photo found. `confidence` (0..1) is the
// share of the page's outline that a clear edge follows; a page is taken
// from kConfidentPage on. `twoPages`: a second whole page lies beside it
// (one page per photo: the more certain one is taken).
struct PageFinding {
    bool found = false;
    double confidence = 0;
    Corners corners{};
    bool twoPages = false;
};
inline constexpr double kConfidentPage = 0.6;

// The page in a photo (grey or RGB): found on a copy of about 800 pixels,
// each side then fitted as a line through the edge at full resolution.
PageFinding FindPage(const Raster& photo);

// The size of the flat page in pixels and its resolution. A4 (portrait or
// landscape as the page lies) when the page's true proportions, measured
// through the perspective, are within 4 % of A4's, a card of 85.6 x 54 mm
// within 3 % of its proportions, otherwise its own proportions with the long
// side at most A4's; at `dpi`, but never with more pixels than the photo
// shows of the page (the resolution then drops so the page keeps its size).
struct FlatSize {
    int width = 0;
    int height = 0;
    double dpi = 0;
};
FlatSize FlatPageSize(const Corners& corners, int photoWidth, int photoHeight, double dpi);

// The quadrilateral warped to a `width` x `height` rectangle.
std::optional<Raster> Straighten(const Raster& photo, const Corners& corners, int width,
                                 int height);
// Cleans a flat page where it stands; 黑白 leaves grey pixels of 0 and 255.
bool CleanPage(Raster& page, Cleaning cleaning);

// The skew of a flatbed scan in degrees (clockwise positive), found from its
// lines of text; nullopt when there is nothing to measure.
std::optional<double> SkewDegrees(const Raster& scan);
// Skew below this is left alone: straightening re-encodes a page that
// otherwise passes through as it is.
inline constexpr double kSkewWorthStraightening = 0.3;
// The scan turned by -`degrees` about its centre, same size, paper white
// where the turn uncovers it.
std::optional<Raster> Unskewed(const Raster& scan, double degrees);
// A flatbed scan straightened when its skew is worth it; nullopt when it is
// not (or cannot be measured), so the page stays as it is.
std::optional<Raster> Deskewed(const Raster& scan);

// A photo's page made flat and cleaned, encoded as a page source at the
// resolution of the finest quality preset (each preset takes its own from
// it), with a preview of about kPreviewSide pixels.
struct CorrectedPage {
    SourcePtr source;
    ColourMode mode = ColourMode::Colour;
    Raster preview;
};
std::optional<CorrectedPage> CorrectPhoto(const Raster& photo, const Corners& corners,
                                          Cleaning cleaning);

// What a page made from a photo keeps beside its source.
struct PagePhoto {
    SourcePtr original; // the photo as added
    ColourMode originalMode = ColourMode::Colour;
    PageFinding finding; // what was found when it was added
    Corners corners{};   // the corners of the correction (found or set by hand)
    Cleaning cleaning = Cleaning::Document;
    bool corrected = false; // the page is the corrected one (not the photo)
};

// The corners of the whole image (the start for a photo with no page found).
Corners WholeImage(int width, int height);

} // namespace scan
