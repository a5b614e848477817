#pragma once
// One PDF from page images, built with qpdf: one page per image, each page
// sized to its image at the image's resolution. A JPEG goes in as it is
// (DCTDecode, the file's bytes), so do a PNG's compressed rows (FlateDecode
// with PNG predictors) and a fax-coded bilevel TIFF strip (CCITTFaxDecode);
// pixel rows the program made are compressed losslessly (Flate). A page
// turned by 90° steps carries /Rotate; the image stays as it was. A page with
// recognised text carries it as an invisible layer (scan/page_text.h).

#include "scan/page_text.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace scan {

struct PdfImage {
    // Jpeg: a JPEG file. Pixels: rows without padding, compressed by the
    // writer. Flate: rows already deflated (after PNG row filters when
    // `pngPredictors`). Ccitt: one strip of CCITT group 4 (fax) data.
    enum class Coding { Jpeg, Pixels, Flate, Ccitt };
    Coding coding = Coding::Jpeg;
    std::vector<std::uint8_t> data;
    int width = 0;
    int height = 0;
    int components = 3;                // 1 grey (or palette indices), 3 RGB, 4 CMYK (JPEG only)
    int bitsPerComponent = 8;          // 8, or 1, 2, 4 for bilevel and palette images
    bool blackIsOne = false;           // 1-bit rows with 1 = black (written with /Decode [1 0])
    bool adobeInverted = false;        // CMYK JPEG of Adobe programs (inverted values)
    bool pngPredictors = false;        // Flate: each row starts with a PNG filter byte
    bool ccittBlackIsOne = false;      // Ccitt: the runs coded as white are black (/BlackIs1)
    std::vector<std::uint8_t> palette; // RGB triples: an indexed image
    std::size_t storedSize = 0;        // bytes in the PDF when known (pixels: compressed)
    double dpiX = 200;
    double dpiY = 200;

    // Page size in points (1/72 inch).
    double pointsWide() const { return width * 72.0 / (dpiX > 0 ? dpiX : 200); }
    double pointsHigh() const { return height * 72.0 / (dpiY > 0 ? dpiY : 200); }
    std::size_t bytes() const { return storedSize > 0 ? storedSize : data.size(); }
};

struct PdfPage {
    std::shared_ptr<const PdfImage> image;
    int rotation = 0;                     // 0, 90, 180 or 270, clockwise
    std::shared_ptr<const PageText> text; // null: a picture only
};

// Writes the PDF to `path` (through a temporary file beside it, renamed at the
// end, so a failed write leaves nothing). "" on success, else the reason.
std::string WritePdf(const std::vector<PdfPage>& pages, const std::string& path);

// About how many bytes WritePdf adds beyond the image data, per page and once.
inline constexpr std::size_t kPdfBytesPerPage = 420;
inline constexpr std::size_t kPdfBytesOnce = 600;

} // namespace scan
