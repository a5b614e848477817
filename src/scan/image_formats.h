#pragma once
// Image files by their content (never by their name), and the two formats
// read through modules opened when first needed: HEIC/HEIF photos (libheif,
// module quillor-heif) and the fax-coded strips of bilevel TIFF files
// (libtiff, module quillor-tiff), which go into a PDF as they are.

#include "scan/page_source.h"
#include "scan/pdf_pages.h"
#include "scan/raster.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace scan {

enum class ImageKind { Unknown, Jpeg, Png, Gif, Bmp, Tiff, WebP, Heif };
ImageKind SniffImage(const std::vector<std::uint8_t>& bytes);
// A lossless WebP ("VP8L"); a lossy one is a photo.
bool IsLosslessWebP(const std::vector<std::uint8_t>& bytes);

// What the program says when a HEIC photo cannot be read here: how to get a
// JPEG from the phone instead.
extern const char* const kHeicHelp;

// What the modules hand back (filled by them, read here).
struct HeifPicture {
    int width = 0;
    int height = 0;
    Raster pixels; // RGB, turned as the file says, transparency on white
};
struct FaxStrip {
    int width = 0;
    int height = 0;
    bool minIsBlack = false; // photometric MinIsBlack: the runs coded white are black
    double dpiX = 0;         // 0: none declared
    double dpiY = 0;
    std::vector<std::uint8_t> data; // CCITT group 4, most significant bit first
};

// A HEIC/HEIF photo (its primary image); null with `error` set when it
// cannot be read (the module missing: kHeicHelp).
SourcePtr MakeHeifSource(std::vector<std::uint8_t> bytes, std::string* error);

// Page `page` of a TIFF as one strip of CCITT group 4 data, when it is that
// (one sample of one bit, one strip, no turn); null otherwise or when the
// module is missing.
std::shared_ptr<FaxStrip> TiffFaxStrip(const std::vector<std::uint8_t>& bytes, int page);

} // namespace scan
