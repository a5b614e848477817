#include "scan/blank.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace scan {

InkMeter::InkMeter(int width, int height, double dpi)
    : width_(std::max(0, width)), height_(std::max(0, height)) {
    if (dpi <= 0)
        dpi = std::max(width_, height_) / 11.69;
    pool_ = std::max(1, static_cast<int>(std::ceil(dpi / 300.0 - 1e-9)));
    dpi_ = dpi / pool_;
    pooledWidth_ = (width_ + pool_ - 1) / pool_;
    pooledHeight_ = (height_ + pool_ - 1) / pool_;
    darkest_.assign(static_cast<std::size_t>(pooledWidth_) * pooledHeight_, 255);
}

void InkMeter::add(const std::uint8_t* row, int channels) {
    if (y_ >= height_)
        return;
    std::uint8_t* out = darkest_.data() + static_cast<std::size_t>(y_ / pool_) * pooledWidth_;
    for (int x = 0; x < width_; ++x) {
        const std::uint8_t* p = row + static_cast<std::size_t>(x) * channels;
        std::uint8_t v = p[0];
        for (int c = 1; c < channels; ++c)
            v = std::min(v, p[c]);
        std::uint8_t& cell = out[x / pool_];
        cell = std::min(cell, v);
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
    std::array<std::size_t, 256> histogram{};
    for (int y = marginY; y < marginY + rows * cell; ++y) {
        const std::uint8_t* in = darkest_.data() + static_cast<std::size_t>(y) * w + marginX;
        for (int x = 0; x < cols * cell; ++x)
            ++histogram[in[x]];
    }
    const std::size_t total = static_cast<std::size_t>(rows) * cols * cell * cell;
    std::size_t seen = 0;
    for (int v = 0; v < 256; ++v) {
        seen += histogram[static_cast<std::size_t>(v)];
        if (seen * 2 >= total) {
            m.paperLevel = v;
            break;
        }
    }
    const int limit = m.paperLevel - std::max(40, m.paperLevel / 6);
    const int needed = std::max(2, cell * cell / 16);
    std::vector<int> counts(static_cast<std::size_t>(cols));
    for (int r = 0; r < rows; ++r) {
        std::fill(counts.begin(), counts.end(), 0);
        for (int y = marginY + r * cell; y < marginY + (r + 1) * cell; ++y) {
            const std::uint8_t* in = darkest_.data() + static_cast<std::size_t>(y) * w + marginX;
            for (int x = 0; x < cols * cell; ++x)
                if (in[x] < limit)
                    ++counts[static_cast<std::size_t>(x / cell)];
        }
        for (int c : counts)
            m.inkCells += c >= needed ? 1 : 0;
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
