#include "scan/blank.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace scan {

InkMeter::InkMeter(int width, int height, double dpi)
    : width_(std::max(0, width)), height_(std::max(0, height)) {
    if (dpi <= 0)
        dpi = std::max(width_, height_) / 11.69;
    pool_ = std::max(1, static_cast<int>(std::ceil(dpi / 150.0 - 1e-9)));
    dpi_ = dpi / pool_;
    pooledWidth_ = (width_ + pool_ - 1) / pool_;
    pooledHeight_ = (height_ + pool_ - 1) / pool_;
    darkest_.assign(static_cast<std::size_t>(pooledWidth_) * pooledHeight_, 255);
}

void InkMeter::add(const std::uint8_t* row, int channels) {
    if (y_ >= height_)
        return;
    // Locals: the compiler may not keep members in registers across writes
    // through a byte pointer.
    const int width = width_, pool = pool_;
    std::uint8_t* out = darkest_.data() + static_cast<std::size_t>(y_ / pool) * pooledWidth_;
    if (channels == 1 && pool == 1) {
        std::copy(row, row + width, out);
    } else if (channels == 3 && pool == 1) {
        for (int x = 0; x < width; ++x)
            out[x] = std::min(std::min(row[3 * x], row[3 * x + 1]), row[3 * x + 2]);
    } else {
        // The darkest channel of each pixel first, then pooled a cell at a
        // time: two simple loops the compiler vectorises, no division per
        // pixel.
        const std::uint8_t* grey = row;
        if (channels != 1) {
            rowDarkest_.resize(static_cast<std::size_t>(width));
            std::uint8_t* darkest = rowDarkest_.data();
            if (channels == 3)
                for (int x = 0; x < width; ++x)
                    darkest[x] = std::min(std::min(row[3 * x], row[3 * x + 1]), row[3 * x + 2]);
            else
                for (int x = 0; x < width; ++x) {
                    const std::uint8_t* p = row + static_cast<std::size_t>(x) * channels;
                    std::uint8_t v = p[0];
                    for (int c = 1; c < channels; ++c)
                        v = std::min(v, p[c]);
                    darkest[x] = v;
                }
            grey = darkest;
        }
        const int whole = width / pool;
        if (pool == 2) {
            for (int x = 0; x < whole; ++x)
                out[x] = std::min(out[x], std::min(grey[2 * x], grey[2 * x + 1]));
        } else {
            for (int x = 0; x < whole; ++x) {
                const std::uint8_t* cell = grey + static_cast<std::size_t>(x) * pool;
                out[x] = std::min(out[x], *std::min_element(cell, cell + pool));
            }
        }
        if (whole * pool < width)
            out[whole] = std::min(out[whole], *std::min_element(grey + whole * pool, grey + width));
    }
    ++y_;
}

BlankMeasure InkMeter::result() const {
    BlankMeasure m;
    const int w = pooledWidth_, h = pooledHeight_;
    const int marginX = w * 4 / 100, marginY = h * 4 / 100;
    const int cell = std::max(2, static_cast<int>(std::lround(dpi_ / 32.0)));
    const int cols = (w - 2 * marginX) / cell, rows = (h - 2 * marginY) / cell;
    if (cols <= 0 || rows <= 0)
        return m;
    // The paper: the median of every other pixel of every other row.
    std::array<std::uint32_t, 256> histogram{};
    std::uint32_t total = 0;
    for (int y = marginY; y < marginY + rows * cell; y += 2) {
        const std::uint8_t* in = darkest_.data() + static_cast<std::size_t>(y) * w + marginX;
        for (int x = 0; x < cols * cell; x += 2, ++total)
            ++histogram[in[x]];
    }
    std::uint32_t seen = 0;
    for (int v = 0; v < 256; ++v) {
        seen += histogram[static_cast<std::size_t>(v)];
        if (seen * 2 >= total) {
            m.paperLevel = v;
            break;
        }
    }
    const int limit = m.paperLevel - std::max(40, m.paperLevel / 6);
    const int needed = std::max(2, cell * cell / 16);
    const auto low = static_cast<std::uint8_t>(std::clamp(limit, 0, 255));
    std::vector<std::uint16_t> counts(static_cast<std::size_t>(cols) * cell);
    for (int r = 0; r < rows; ++r) {
        // Ink a pixel column of the band at a time (kept simple to vectorise),
        // then summed by cell.
        std::fill(counts.begin(), counts.end(), std::uint16_t{0});
        for (int y = marginY + r * cell; y < marginY + (r + 1) * cell; ++y) {
            const std::uint8_t* in = darkest_.data() + static_cast<std::size_t>(y) * w + marginX;
            for (std::size_t x = 0; x < counts.size(); ++x)
                counts[x] = static_cast<std::uint16_t>(counts[x] + (in[x] < low ? 1 : 0));
        }
        for (int c = 0; c < cols; ++c) {
            int n = 0;
            for (int k = 0; k < cell; ++k)
                n += counts[static_cast<std::size_t>(c * cell + k)];
            m.inkCells += n >= needed ? 1 : 0;
        }
    }
    m.cells = rows * cols;
    return m;
}

bool IsBlank(const BlankMeasure& m) {
    // A page darker than paper everywhere (a black test scan) is no blank page.
    return m.cells > 0 && m.paperLevel >= 96 && m.inkCells < kBlankInkCells;
}

BlankMeasure MeasureInk(const Raster& page, double dpi) {
    if (page.empty())
        return {};
    InkMeter meter(page.width, page.height, dpi);
    for (int y = 0; y < page.height; ++y)
        meter.add(page.row(y), page.channels);
    return meter.result();
}

bool IsBlank(const Raster& page, double dpi) {
    return IsBlank(MeasureInk(page, dpi));
}

} // namespace scan
