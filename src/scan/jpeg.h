#pragma once
// JPEG files: reading the header (size, colour components, declared
// resolution), decoding with libjpeg (optionally reduced by 1/2, 1/4, 1/8
// while decoding) and encoding.

#include "scan/raster.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace scan {

struct JpegInfo {
    int width = 0;
    int height = 0;
    int components = 0; // 1 grey, 3 colour, 4 CMYK
    int bitsPerComponent = 8;
    double dpiX = 0; // 0: not declared
    double dpiY = 0;
    bool adobe = false; // an Adobe APP14 marker (CMYK stored inverted)
};

// The header of a JPEG (SOI ... SOFn); nullopt when the bytes are no JPEG.
std::optional<JpegInfo> ReadJpegInfo(const std::vector<std::uint8_t>& bytes);

// The most pixels an image may have to be decoded (about A3 at 1200 dpi):
// a larger size in a file's header is damage or an attack on memory.
inline constexpr std::uint64_t kMaxPixels = 200'000'000;

// Decodes to grey or RGB; `reduce` 1, 2, 4 or 8 divides the size while
// decoding (fast). Nullopt on a damaged file: an error, or a warning such as
// data ending early.
std::optional<Raster> DecodeJpeg(const std::vector<std::uint8_t>& bytes, int reduce = 1,
                                 std::string* error = nullptr);

// Baseline JPEG of a grey or RGB raster at `quality` (1..100), with the
// resolution in its JFIF header.
std::vector<std::uint8_t> EncodeJpeg(const Raster& raster, int quality, double dpi = 0);

} // namespace scan
