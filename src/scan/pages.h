#pragma once
// The pages of one "扫描与合并": where each came from and what it is made
// from (see scan/page_source.h for how a page is held), its encodings for the
// three output qualities, its turn and its blank mark; the order the
// applicant gives them, the back sides of a two-sided stack put between the
// fronts, and the size of the PDF they make.

#include "scan/page_encoding.h"
#include "scan/page_source.h"
#include "scan/pdf_pages.h"
#include "scan/raster.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace scan {

struct PagePhoto; // scan/photo.h

// A page's rotation, clockwise, composed of what each source of a turn adds:
// the file's own orientation (EXIF), a detected orientation, a correction of
// the picture, and the 旋转 button. Each adds to the total, mod 360; none
// replaces another, so that redetecting or undoing one keeps the others.
// Whatever is placed on a page (a text layer) lives in the coordinates of the
// source's stored pixels: the rotation turns picture and text together.
struct PageTurn {
    int file = 0;
    int detected = 0;
    int corrected = 0;
    int manual = 0;
    int total() const { return (((file + detected + corrected + manual) % 360) + 360) % 360; }
};

struct Page {
    std::uint64_t id = 0;
    std::string origin; // "扫描" or the file name (with the page of a TIFF)
    SourcePtr source;   // what the encodings are made from
    ColourMode mode = ColourMode::Colour;
    bool scanned = false; // from the scanner: keeps its size (files are fitted to A4)
    // The encoding at each quality, made once (null: not made yet); one that
    // is the source's own coding shares its bytes.
    std::array<std::shared_ptr<const PdfImage>, kQualityCount> images;
    PageTurn turn;
    bool blank = false;
    // The recognised text (null: none), in the source's stored pixels as
    // `text->turn` turns them; the page's rotation turns it with the picture.
    std::shared_ptr<const PageText> text;
    // A page added as a photo: the photo and its correction (null otherwise).
    std::shared_ptr<const PagePhoto> photo;

    int rotation() const { return turn.total(); }
    bool encoded(Quality q) const { return images[static_cast<std::size_t>(q)] != nullptr; }
    // The encoding at q, which must have been made.
    const PdfImage& image(Quality q) const { return *images[static_cast<std::size_t>(q)]; }
    // Whether the encoding at q is the source's own bytes.
    bool passthrough(Quality q) const;
};

// A scanned page: its pixels held once, each quality derived from them, the
// 清晰 encoding kept as the source; blank-checked. `preview` (optional)
// receives the page reduced to about kPreviewSide pixels, as written.
inline constexpr int kPreviewSide = 300;
Page PreparePixels(const Raster& pixels, double dpi, ColourMode mode, std::string origin,
                   Raster* preview = nullptr);
// A page from a source (a file): decoded once at a scale that still shows
// thin strokes (at least 100 dpi) to find damage, to measure the ink and for
// the preview; the encodings are made later (EncodePage). Nullopt with
// `error` (a Chinese sentence) when the source cannot be decoded. A caller
// that had to decode the whole image already hands it in as `decoded`, and
// the encoding at `encodeNow` is then made from it, not from a second decode.
std::optional<Page> PrepareSourcePage(SourcePtr source, std::string origin, std::string* error,
                                      Raster* preview = nullptr, const Raster* decoded = nullptr,
                                      std::optional<Quality> encodeNow = std::nullopt);
// A JPEG file (the bytes checked at the header first).
std::optional<Page> PrepareJpegFile(std::vector<std::uint8_t> bytes, std::string origin,
                                    std::string* error = nullptr, Raster* preview = nullptr);

class PageList {
  public:
    const std::vector<Page>& pages() const { return pages_; }
    std::size_t size() const { return pages_.size(); }
    bool empty() const { return pages_.empty(); }
    const Page& at(std::size_t i) const { return pages_.at(i); }
    // The page of that id (null when it was removed).
    const Page* find(std::uint64_t id) const;

    // A front side (a scan or a file): at the end. Ends a run of backs.
    // Returns the page's id.
    std::uint64_t add(Page page);
    // A back side of the stack turned over: the k-th back scanned belongs to
    // the k-th last front of the run. Returns the page's id; 0 (nothing
    // changed) when every front already has its back.
    std::uint64_t addBack(Page page);
    // How many fronts still wait for their backs (0 when none).
    std::size_t backsWanted() const;

    // Puts `page` in place of the i-th page under a new id, so that
    // encodings made for the old one are ignored when they arrive; a front
    // keeps its place among the fronts waiting for backs. Returns the new
    // id (0 when there is no such page).
    std::uint64_t replace(std::size_t i, Page page);

    bool moveUp(std::size_t i);
    bool moveDown(std::size_t i);
    void rotate(std::size_t i); // 90° clockwise (the 旋转 button)
    // A removed front no longer waits for a back.
    void remove(std::size_t i);
    std::size_t blankCount() const;
    // Removes every page marked blank; returns how many.
    std::size_t removeBlank();
    void setBlank(std::size_t i, bool blank);

    // An encoding made elsewhere (the window's worker); ignored when the
    // page is gone.
    void setImage(std::uint64_t id, Quality q, std::shared_ptr<const PdfImage> image);
    // The text recognised on a page and the turn recognition found (added to
    // the page's rotation); ignored when the page is gone.
    void setText(std::uint64_t id, std::shared_ptr<const PageText> text, int detected);
    // Pages whose encoding at q is not made yet.
    std::size_t missing(Quality q) const;
    // Makes the missing encodings at q here; false (and the page named in
    // `error`) when a source cannot be decoded.
    bool encodeMissing(Quality q, std::string* error = nullptr);

    // Bytes of the PDF at quality q: the encodings exactly, the rest
    // estimated (a page not encoded yet counts its source's own coding or
    // what its source holds), text layers with their font.
    std::uint64_t estimatedBytes(Quality q, bool withText = true) const;
    // The pages for WritePdf (with their text layers when `withText`); a
    // missing encoding is made on the way.
    std::vector<PdfPage> pdfPages(Quality q, bool withText = true) const;

  private:
    void forget(std::uint64_t id);

    std::vector<Page> pages_;
    // Fronts added since the last run of backs, by id, in order.
    std::vector<std::uint64_t> pending_;
    // The fronts of the run of backs under way, and how many backs it has.
    std::vector<std::uint64_t> fronts_;
    std::size_t backs_ = 0;
    std::uint64_t nextId_ = 1;
};

} // namespace scan
