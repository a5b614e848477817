#pragma once
// A PNG file's own compressed rows as a PDF image (the way a PDF can hold
// them without decoding: FlateDecode with PNG predictors), for the PNG files
// that need nothing changed: not interlaced, no transparency, 8 bits or
// fewer per sample, grey, RGB or a palette. Anything else is decoded and
// flattened by the caller.

#include "scan/pdf_pages.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace scan {

struct PngHeader {
    int width = 0;
    int height = 0;
    int depth = 0;
    int colourType = 0; // 0 grey, 2 RGB, 3 palette, 4 grey + alpha, 6 RGB + alpha
    bool interlaced = false;
    bool transparency = false; // a tRNS chunk (colour key or palette alpha)
    double dpiX = 0, dpiY = 0; // pHYs in metres, as dots per inch (0: none)
};

// The header chunks; nullopt when the bytes are no PNG.
std::optional<PngHeader> ReadPngHeader(const std::vector<std::uint8_t>& bytes);

// The image with the file's IDAT data, or null when the file needs decoding
// (or its chunks are damaged). The resolution is left to the caller.
std::shared_ptr<PdfImage> PngAsPdfImage(const std::vector<std::uint8_t>& bytes);

} // namespace scan
