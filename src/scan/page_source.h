#pragma once
// What a page is made from, kept so that it can be encoded again.
//
// How a page is held (the decision the scan window, text recognition and
// photo correction build on):
// - A page keeps its source in compressed form only: an added file's own
//   bytes (a JPEG, PNG, TIFF, WebP or HEIC as read; the pages of a TIFF share
//   them), or for a scanned page its 清晰 encoding (the scan at up to 300 dpi,
//   JPEG quality 85, or one bit a pixel in black and white), the best of the
//   encodings the scan was turned into. Next to it the page keeps the
//   encodings of the three quality presets once they are made; an encoding
//   that is the source's own coding (a JPEG passed through) shares its bytes.
// - Decoded pixels are never kept: the window's worker decodes a source when
//   it makes an encoding, a thumbnail, or (later) recognises text or corrects
//   a photo, one page at a time, at the smallest scale that serves (libjpeg
//   decodes at 1/2, 1/4 or 1/8 directly), and lets them go.
// - Memory, measured: a colour A4 page scanned at 300 dpi is 26 MB decoded;
//   held this way it takes about 1.7 MB (清晰 1.2 MB, 标准 0.3 MB, 小巧
//   0.2 MB for a page of text with a photograph on scanner paper), so 50
//   such pages take about 85 MB, not 1.3 GB. A 12-megapixel phone photo
//   takes its file (2 to 4 MB) and its resampled encodings (under 1 MB
//   together). While one page is worked on, its pixels add one decoded copy
//   (of a photo larger than the preset needs, at 1/2 to 1/8 of its size) and
//   one reduced copy.
// - Temporary files were not chosen: the compressed forms are a tenth of the
//   decoded pixels or less, and files would need removing after a crash.
// - A page corrected later (a photo straightened) gets the corrected
//   encoding as its source and keeps the photo's source beside it for undo;
//   a text layer is placed in the source's stored pixels, so the page's
//   rotation (scan/pages.h) turns picture and text together.
// Sources are immutable and shared between the window and its worker.

#include "scan/jpeg.h"
#include "scan/pdf_pages.h"
#include "scan/raster.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace scan {

enum class ColourMode { Colour, Grey, BlackWhite };

struct SourceInfo {
    int width = 0; // pixels as the page stores them (before the page's rotation)
    int height = 0;
    bool grey = false;    // no colour
    bool bilevel = false; // black and white only
    bool lossy = true;    // decoded from a lossy coding: never worth storing losslessly
    double dpiX = 0;      // declared resolution (0: none)
    double dpiY = 0;
    int quality = 0; // a JPEG's quality as its tables say (0: unknown or no JPEG)
    int turn = 0;    // the clockwise turn the file asks for (an EXIF orientation of 3, 6 or 8)
};

class PageSource {
  public:
    explicit PageSource(SourceInfo info) : info_(info) {}
    virtual ~PageSource() = default;
    PageSource(const PageSource&) = delete;
    PageSource& operator=(const PageSource&) = delete;

    const SourceInfo& info() const { return info_; }
    // Grey or RGB pixels as stored (bilevel as grey 0 and 255, transparency
    // flattened onto white), at least `minWidth` x `minHeight` where the
    // coding can decode a reduced size (0 x 0: the full size). Nullopt with
    // `failure` set when it cannot be decoded.
    virtual std::optional<Raster> decode(int minWidth, int minHeight,
                                         DecodeFailure* failure = nullptr) const = 0;
    // The source's own coding when a PDF can embed it as it is (a JPEG file,
    // a PNG's rows, a fax-coded strip); null when it must be encoded.
    virtual std::shared_ptr<const PdfImage> ownCoding() const { return nullptr; }
    // Memory the source holds.
    virtual std::size_t heldBytes() const = 0;

  private:
    SourceInfo info_;
};

using SourcePtr = std::shared_ptr<const PageSource>;

// A JPEG file. The plain turns of its EXIF orientation (3, 6, 8) become the
// source's turn and its bytes stay embeddable; the mirrored ones (2, 4, 5,
// 7) are applied to the pixels, as are CMYK, arithmetic coding (which many
// PDF readers cannot show) and anything else a PDF should not carry as it is.
SourcePtr MakeJpegSource(std::vector<std::uint8_t> bytes, const JpegInfo& info);
// An encoding the program made (a JPEG, or rows of one or eight bits, plain
// or deflated), decoded again when needed: a scanned page's 清晰 image.
SourcePtr MakeEncodedSource(std::shared_ptr<const PdfImage> image, bool grey);
// Pixels in memory (tests and benches).
SourcePtr MakeRasterSource(Raster pixels, double dpi, bool lossy = false);

// The resolution a page is sized at (the page is the image at it, never
// padded): the declared one when it is plausible (50 to 2400 dpi), raised
// until the page fits an A4 page in either orientation; without a plausible
// one, the resolution at which the image just fits an A4 page. Qt reports
// 96 dpi both when a file declares it and when it declares nothing: 96 is
// kept only where the page fits A4 at it, as any declared value is.
struct Resolution {
    double x = 0;
    double y = 0;
};
Resolution PageResolution(const SourceInfo& info);
// The same for square pixels.
double PlausibleDpi(int width, int height, double declared);

// The Chinese sentence for a failure to decode.
std::string DecodeFailureMessage(DecodeFailure failure, const SourceInfo& info);

} // namespace scan
