#pragma once
// Nearly blank pages: the empty back of a one-sided sheet, a page with a
// speck or two of dust, the grey of recycled paper and the noise of the
// scanner. A page with one short line of text is not blank.

#include "scan/raster.h"

namespace scan {

struct BlankMeasure {
    double inkFraction = 0; // share of the page's 1/16-inch cells darker than the paper
    int paperLevel = 255;   // the grey level of the paper (median of the cells)
};

// The measure of a grey or colour page scanned at `dpi` (0: unknown, taken as
// an A4 page). The outer 4 % of each side (scanner shadow, punched holes) are
// not looked at.
BlankMeasure MeasureInk(const Raster& page, double dpi);

inline constexpr double kBlankInkFraction = 0.0005;
bool IsBlank(const Raster& page, double dpi);

} // namespace scan
