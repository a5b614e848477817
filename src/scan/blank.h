#pragma once
// Nearly blank pages: the empty back of a one-sided sheet, a page with a
// speck or two of dust, the grey of recycled paper and the noise of the
// scanner. A page that carries a single short word ("同意", "OK"), light
// blue or pencil text, a light grey stamp or a fine grey pattern is not
// blank.
//
// Ink is measured at the page's own resolution (pooled to at most 150 dpi by
// taking the darkest pixel, so that no stroke a pixel wide is lost), on the darkest
// channel of each pixel, so that coloured text counts as much as black: a
// pixel is ink when it is darker than the paper (the median) by a sixth of
// the paper's brightness, at least 40 levels, which the noise of scanners and
// recycled paper does not reach. The page is cut into cells of 1/32 inch; a
// cell with ink in at least a sixteenth of its pixels is inked. A speck of
// dust inks a few cells, a short word a few dozen.

#include "scan/raster.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace scan {

struct BlankMeasure {
    int inkCells = 0;     // inked cells inside the margins
    int cells = 0;        // cells inside the margins
    int paperLevel = 255; // the darkest channel of the paper (median)
};

// Fewer inked cells than this: blank.
inline constexpr int kBlankInkCells = 10;
bool IsBlank(const BlankMeasure& measure);

// The measure fed row by row (any number of channels), for decoders that
// never hold a whole page.
class InkMeter {
  public:
    // `dpi` 0: unknown, taken as an A4 page.
    InkMeter(int width, int height, double dpi);
    void add(const std::uint8_t* row, int channels);
    BlankMeasure result() const;

  private:
    int width_, height_;
    int pool_;   // source pixels pooled into one, per side
    double dpi_; // of the pooled pixels
    int pooledWidth_, pooledHeight_;
    int y_ = 0;
    std::vector<std::uint8_t> darkest_;    // pooled, darkest channel
    std::vector<std::uint8_t> rowDarkest_; // one row's darkest channel
};

// The measure of a grey or colour page scanned at `dpi` (0: unknown, taken
// as an A4 page). The outer 4 % of each side (scanner shadow, punched holes)
// are not looked at.
BlankMeasure MeasureInk(const Raster& page, double dpi);
bool IsBlank(const Raster& page, double dpi);

} // namespace scan
