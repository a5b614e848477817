#pragma once
// JPEG files through libjpeg: the header (size, colour components, declared
// resolution, the Adobe marker, arithmetic coding, the EXIF orientation and
// the quality of the quantisation tables) read by libjpeg itself without
// decoding; decoding, reduced by 1/2, 1/4 or 1/8 while decoding where fewer
// pixels are needed; encoding. Every decoder checks the declared size against
// the program's memory limit before anything is allocated, and sorts
// libjpeg's warnings as platform/jpeg_errors.h says.

#include "scan/raster.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace scan {

// Why an image could not be decoded.
enum class DecodeFailure { None, NotAnImage, Damaged, TooLarge, Unsupported, MissingModule };

struct JpegInfo {
    int width = 0; // as stored (before the EXIF orientation)
    int height = 0;
    int components = 0; // 1 grey, 3 colour, 4 CMYK or YCCK
    int bitsPerComponent = 8;
    double dpiX = 0; // 0: not declared (JFIF density, else the EXIF resolution)
    double dpiY = 0;
    bool adobe = false;      // an Adobe APP14 marker (CMYK stored inverted)
    bool arithmetic = false; // arithmetic coding, which many PDF readers cannot show
    bool progressive = false;
    int orientation = 1; // EXIF orientation 1..8
    int quality = 0;     // IJG quality its luminance table matches (0: unknown)
};

// The header of a JPEG (up to its first scan); nullopt when the bytes are no
// JPEG or the header is damaged.
std::optional<JpegInfo> ReadJpegInfo(const std::uint8_t* data, std::size_t size);
inline std::optional<JpegInfo> ReadJpegInfo(const std::vector<std::uint8_t>& bytes) {
    return ReadJpegInfo(bytes.data(), bytes.size());
}

struct JpegDecoding {
    // Decode at the smallest of 1/1, 1/2, 1/4, 1/8 whose size is at least
    // this (in the stored orientation); 0 x 0: a fixed `reduce`.
    int minWidth = 0;
    int minHeight = 0;
    int reduce = 1; // 1, 2, 4 or 8 when no minimum is given
    // Apply the EXIF orientation to the pixels (all eight values).
    bool orient = false;
};

// Grey or RGB pixels (CMYK converted); nullopt with `failure` set on a
// damaged file (an error, or a warning that means lost data), a size beyond
// the memory limit, or a coding libjpeg cannot decode (12 bits).
std::optional<Raster> DecodeJpeg(const std::uint8_t* data, std::size_t size,
                                 const JpegDecoding& how, DecodeFailure* failure = nullptr);
inline std::optional<Raster> DecodeJpeg(const std::vector<std::uint8_t>& bytes, int reduce = 1,
                                        DecodeFailure* failure = nullptr) {
    JpegDecoding how;
    how.reduce = reduce;
    return DecodeJpeg(bytes.data(), bytes.size(), how, failure);
}

// Baseline JPEG of a grey or RGB raster at `quality` (1..100), with the
// resolution in its JFIF header (0: none).
std::vector<std::uint8_t> EncodeJpeg(const Raster& raster, int quality, double dpi = 0);

} // namespace scan
