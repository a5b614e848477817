#pragma once
// Page images in memory: 8-bit grey or RGB pixels, and the operations the
// scan window and the shrinking need (downsampling, grey, black and white).

#include <cstddef>
#include <cstdint>
#include <vector>

namespace scan {

struct Raster {
    int width = 0;
    int height = 0;
    int channels = 0; // 1 grey, 3 RGB (interleaved), rows packed without padding
    std::vector<std::uint8_t> pixels;

    bool empty() const { return width <= 0 || height <= 0 || pixels.empty(); }
    std::size_t stride() const { return static_cast<std::size_t>(width) * channels; }
    const std::uint8_t* row(int y) const { return pixels.data() + stride() * y; }
    std::uint8_t* row(int y) { return pixels.data() + stride() * y; }
};

Raster MakeRaster(int width, int height, int channels);

// Area-averaged reduction to the given size (never larger than the source).
Raster Downsample(const Raster& source, int width, int height);
// The size of `source` at `toDpi` when it was made at `fromDpi` (never larger).
void ScaledSize(int width, int height, double fromDpi, double toDpi, int& outWidth, int& outHeight);
// The size of `width` x `height` within `longMax` x `shortMax` pixels in
// either orientation (never larger, at least one pixel a side).
void FitWithin(int width, int height, double longMax, double shortMax, int& outWidth,
               int& outHeight);
// Luminance (ITU-R 601 weights); a grey raster is returned as it is.
Raster ToGrey(const Raster& source);

// One bit a pixel, rows padded to whole bytes, 1 = black (as SANE's lineart
// and a PDF image with /Decode [1 0] have it): a grey pixel below `threshold`
// is black.
struct Bilevel {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bits;
    std::size_t stride() const { return (static_cast<std::size_t>(width) + 7) / 8; }
};
Bilevel Threshold(const Raster& grey, int threshold = 128);

} // namespace scan
