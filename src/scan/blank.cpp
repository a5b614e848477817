#include "scan/blank.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace scan {

// The page is reduced to cells of about 1/16 inch: averaging removes the
// noise of paper and scanner, while a stroke of text still darkens its cell.
// Ink is a cell clearly darker than the paper (the median cell).
BlankMeasure MeasureInk(const Raster& page, double dpi) {
    BlankMeasure m;
    if (page.empty())
        return m;
    const Raster grey = ToGrey(page);
    if (dpi <= 0)
        dpi = std::max(grey.width, grey.height) / 11.69;
    const int cell = std::max(1, static_cast<int>(std::lround(dpi / 16.0)));
    const int marginX = grey.width * 4 / 100, marginY = grey.height * 4 / 100;
    const int cols = (grey.width - 2 * marginX) / cell;
    const int rows = (grey.height - 2 * marginY) / cell;
    if (cols <= 0 || rows <= 0)
        return m;
    std::vector<std::uint8_t> cells(static_cast<std::size_t>(cols) * rows);
    std::vector<std::uint32_t> sums(static_cast<std::size_t>(cols));
    for (int r = 0; r < rows; ++r) {
        std::fill(sums.begin(), sums.end(), 0u);
        for (int y = marginY + r * cell; y < marginY + (r + 1) * cell; ++y) {
            const std::uint8_t* in = grey.row(y) + marginX;
            for (int c = 0; c < cols; ++c) {
                std::uint32_t s = 0;
                for (int k = 0; k < cell; ++k)
                    s += in[c * cell + k];
                sums[static_cast<std::size_t>(c)] += s;
            }
        }
        for (int c = 0; c < cols; ++c)
            cells[static_cast<std::size_t>(r) * cols + c] =
                static_cast<std::uint8_t>(sums[static_cast<std::size_t>(c)] / (cell * cell));
    }
    std::array<std::size_t, 256> histogram{};
    for (std::uint8_t v : cells)
        ++histogram[v];
    std::size_t seen = 0;
    int median = 255;
    for (int v = 0; v < 256; ++v) {
        seen += histogram[static_cast<std::size_t>(v)];
        if (seen * 2 >= cells.size()) {
            median = v;
            break;
        }
    }
    m.paperLevel = median;
    // Darker than the paper by an eighth of its brightness (at least 16 levels).
    const int limit = median - std::max(16, median / 8);
    std::size_t ink = 0;
    for (int v = 0; v < std::max(0, limit); ++v)
        ink += histogram[static_cast<std::size_t>(v)];
    m.inkFraction = static_cast<double>(ink) / static_cast<double>(cells.size());
    return m;
}

bool IsBlank(const Raster& page, double dpi) {
    const BlankMeasure m = MeasureInk(page, dpi);
    // A page darker than paper everywhere (a black test scan) is no blank page.
    return m.paperLevel >= 96 && m.inkFraction < kBlankInkFraction;
}

} // namespace scan
