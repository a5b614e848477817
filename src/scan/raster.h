#pragma once
// Page images in memory: 8-bit grey or RGB pixels, and the operations the
// scan window and the shrinking need (reduction, turning, grey, black and
// white). Reductions run row by row, so that reducing a page holds the page
// once and the result, never a second full-size copy.

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

// Area-averaged reduction fed one source row at a time: each target pixel
// averages the source rectangle it covers. Holds the target and two rows.
class RowScaler {
  public:
    // The target is never larger than the source (clamped).
    RowScaler(int sourceWidth, int sourceHeight, int channels, int width, int height);
    void add(const std::uint8_t* sourceRow);
    // The reduced raster, once every source row was added.
    Raster take();

  private:
    struct Span {
        int first = 0;
        std::vector<float> weights;
    };
    static std::vector<Span> Spans(int from, int to);
    void put(int targetRow, std::vector<float>& acc);

    int sourceWidth_, sourceHeight_, channels_;
    std::vector<Span> columns_;
    // For each source row: the first target row it adds to and the weights
    // for it and the next.
    std::vector<int> firstTarget_;
    std::vector<float> weightFirst_, weightSecond_;
    std::vector<float> line_, current_, next_;
    int y_ = 0;
    Raster out_;
};

// Reduction of a whole raster to the given size (never larger than the source).
Raster Downsample(const Raster& source, int width, int height);
// The size of `source` at `toDpi` when it was made at `fromDpi` (never larger).
void ScaledSize(int width, int height, double fromDpi, double toDpi, int& outWidth, int& outHeight);
// The size of `width` x `height` within `longMax` x `shortMax` pixels in
// either orientation (never larger, at least one pixel a side).
void FitWithin(int width, int height, double longMax, double shortMax, int& outWidth,
               int& outHeight);
// Luminance (ITU-R 601 weights); a grey raster is returned as it is.
Raster ToGrey(const Raster& source);
// Turned into grey where it stands (no second copy).
void MakeGrey(Raster& raster);

// The stored pixels turned and mirrored as an EXIF orientation (1..8) says
// they are to be shown: 3, 6 and 8 are the turns by 180, 90 and 270 degrees
// clockwise; 2, 4, 5 and 7 mirror as well.
Raster Orient(const Raster& stored, int orientation);

// One bit a pixel, rows padded to whole bytes, 1 = black (as SANE's lineart
// and a PDF image with /Decode [1 0] have it): a grey pixel below `threshold`
// is black.
struct Bilevel {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bits;
    std::size_t stride() const { return (static_cast<std::size_t>(width) + 7) / 8; }
};
Bilevel Threshold(const Raster& grey, int threshold);
// The threshold of a page in black and white, from its paper: the median grey
// less an eighth of it (at least 32 levels, which the noise of recycled paper
// does not reach), so that light grey stamps, pencil and light-blue text stay
// ink on white and on grey paper alike (a fixed 128 loses them).
int PaperThreshold(const Raster& grey);

} // namespace scan
