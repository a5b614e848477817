#pragma once
// The pages of one "扫描与合并": where each came from, its encodings for the
// three output qualities, its turn and its blank mark; the order the
// applicant gives them, the back sides of a two-sided stack put between the
// fronts, and the size of the PDF they make.

#include "scan/pdf_pages.h"
#include "scan/raster.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace scan {

enum class ColourMode { Colour, Grey, BlackWhite };

// 清晰 / 标准 / 小巧: resolution and JPEG quality of the pages the program
// encodes. A page is never enlarged: a 150-dpi scan stays at 150 dpi.
enum class Quality { Clear = 0, Standard = 1, Small = 2 };
inline constexpr int kQualityCount = 3;
struct QualityPreset {
    const char* name;
    int dpi;
    int jpegQuality;
};
const QualityPreset& Preset(Quality q);

struct Page {
    std::uint64_t id = 0;
    std::string origin; // "扫描" or the file name (with the page of a TIFF)
    // The image of the page at each quality; a JPEG file has the same, its
    // own bytes, at all three.
    std::array<std::shared_ptr<const PdfImage>, kQualityCount> images;
    int rotation = 0; // clockwise, 0/90/180/270
    bool blank = false;
    bool passthrough = false; // a JPEG file embedded as it is

    const PdfImage& image(Quality q) const { return *images[static_cast<std::size_t>(q)]; }
};

// A scanned or decoded page: encoded once for each quality (JPEG for colour
// and grey, Flate of one bit a pixel for black and white), blank-checked.
Page PreparePixels(const Raster& pixels, double dpi, ColourMode mode, std::string origin);
// A JPEG file: embedded byte for byte; nullopt when it is damaged or not a
// JPEG (the caller may then decode it otherwise). `error` says why.
std::optional<Page> PrepareJpegFile(std::vector<std::uint8_t> bytes, std::string origin,
                                    std::string* error = nullptr);

// The resolution of an image file: the declared one when it is plausible,
// else that of an A4 page the image fills.
double PlausibleDpi(int width, int height, double declaredX);

class PageList {
  public:
    const std::vector<Page>& pages() const { return pages_; }
    std::size_t size() const { return pages_.size(); }
    bool empty() const { return pages_.empty(); }
    const Page& at(std::size_t i) const { return pages_.at(i); }

    // A front side (a scan or a file): at the end. Ends a run of backs.
    void add(Page page);
    // A back side of the stack turned over: the k-th back scanned belongs to
    // the k-th last front of the run. False (nothing changed) when every
    // front already has its back.
    bool addBack(Page page);
    // How many fronts still wait for their backs (0 when none).
    std::size_t backsWanted() const;

    bool moveUp(std::size_t i);
    bool moveDown(std::size_t i);
    void rotate(std::size_t i); // 90° clockwise
    void remove(std::size_t i);
    std::size_t blankCount() const;
    // Removes every page marked blank; returns how many.
    std::size_t removeBlank();
    void setBlank(std::size_t i, bool blank);

    // Bytes of the PDF at quality q (the images exactly, the rest estimated).
    std::uint64_t estimatedBytes(Quality q) const;
    std::vector<PdfPage> pdfPages(Quality q) const;

  private:
    std::vector<Page> pages_;
    // Fronts added since the last run of backs, by id, in order.
    std::vector<std::uint64_t> pending_;
    // The fronts of the run of backs under way, and how many backs it has.
    std::vector<std::uint64_t> fronts_;
    std::size_t backs_ = 0;
    std::uint64_t nextId_ = 1;
};

} // namespace scan
