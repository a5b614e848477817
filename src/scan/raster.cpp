#include "scan/raster.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace scan {

Raster MakeRaster(int width, int height, int channels) {
    Raster r;
    r.width = std::max(0, width);
    r.height = std::max(0, height);
    r.channels = channels;
    r.pixels.assign(r.stride() * r.height, 0xff);
    return r;
}

void ScaledSize(int width, int height, double fromDpi, double toDpi, int& outWidth,
                int& outHeight) {
    if (fromDpi <= 0 || toDpi <= 0 || toDpi >= fromDpi) {
        outWidth = width;
        outHeight = height;
        return;
    }
    const double f = toDpi / fromDpi;
    outWidth = std::max(1, static_cast<int>(std::lround(width * f)));
    outHeight = std::max(1, static_cast<int>(std::lround(height * f)));
}

// Target pixel i covers source [i * scale, (i + 1) * scale); each source
// pixel it touches weighs by the share of it that lies inside.
std::vector<RowScaler::Span> RowScaler::Spans(int from, int to) {
    std::vector<Span> out(static_cast<std::size_t>(to));
    const double scale = static_cast<double>(from) / to;
    for (int i = 0; i < to; ++i) {
        const double a = i * scale, b = (i + 1) * scale;
        Span& s = out[static_cast<std::size_t>(i)];
        s.first = static_cast<int>(std::floor(a));
        const int last = std::min(from - 1, static_cast<int>(std::ceil(b)) - 1);
        for (int k = s.first; k <= last; ++k) {
            const double lo = std::max(a, static_cast<double>(k));
            const double hi = std::min(b, static_cast<double>(k + 1));
            s.weights.push_back(static_cast<float>((hi - lo) / scale));
        }
    }
    return out;
}

RowScaler::RowScaler(int sourceWidth, int sourceHeight, int channels, int width, int height)
    : sourceWidth_(sourceWidth), sourceHeight_(sourceHeight), channels_(channels) {
    width = std::clamp(width, 1, std::max(1, sourceWidth));
    height = std::clamp(height, 1, std::max(1, sourceHeight));
    out_ = MakeRaster(width, height, channels);
    columns_ = Spans(sourceWidth, width);
    // A reduction: every source row adds to at most two target rows.
    firstTarget_.assign(static_cast<std::size_t>(sourceHeight), height - 1);
    weightFirst_.assign(static_cast<std::size_t>(sourceHeight), 0.0f);
    weightSecond_.assign(static_cast<std::size_t>(sourceHeight), 0.0f);
    const std::vector<Span> rows = Spans(sourceHeight, height);
    for (int i = static_cast<int>(rows.size()) - 1; i >= 0; --i) {
        const Span& s = rows[static_cast<std::size_t>(i)];
        for (std::size_t k = 0; k < s.weights.size(); ++k) {
            const auto y = static_cast<std::size_t>(s.first) + k;
            // Walking the targets backwards, the first one seen last wins.
            weightSecond_[y] = firstTarget_[y] == i + 1 ? weightFirst_[y] : weightSecond_[y];
            firstTarget_[y] = i;
            weightFirst_[y] = s.weights[k];
        }
    }
    const std::size_t rowLength = static_cast<std::size_t>(width) * channels;
    line_.assign(rowLength, 0.0f);
    current_.assign(rowLength, 0.0f);
    next_.assign(rowLength, 0.0f);
}

void RowScaler::put(int targetRow, std::vector<float>& acc) {
    if (targetRow < 0 || targetRow >= out_.height)
        return;
    std::uint8_t* out = out_.row(targetRow);
    for (std::size_t i = 0; i < acc.size(); ++i)
        out[i] = static_cast<std::uint8_t>(std::clamp(acc[i] + 0.5f, 0.0f, 255.0f));
}

void RowScaler::add(const std::uint8_t* in) {
    if (y_ >= sourceHeight_)
        return;
    const int n = channels_;
    for (std::size_t x = 0; x < columns_.size(); ++x) {
        const Span& s = columns_[x];
        for (int c = 0; c < n; ++c) {
            float acc = 0;
            for (std::size_t k = 0; k < s.weights.size(); ++k)
                acc += s.weights[k] * in[(static_cast<std::size_t>(s.first) + k) * n + c];
            line_[x * n + c] = acc;
        }
    }
    const auto y = static_cast<std::size_t>(y_);
    const int target = firstTarget_[y];
    const float w1 = weightFirst_[y], w2 = weightSecond_[y];
    for (std::size_t i = 0; i < line_.size(); ++i) {
        current_[i] += w1 * line_[i];
        next_[i] += w2 * line_[i];
    }
    // The target rows before the one the next source row starts in are
    // complete (every target row spans at least one source row).
    const bool last = y_ + 1 == sourceHeight_;
    const int nextTarget = last ? out_.height : firstTarget_[y + 1];
    for (int t = target; t < nextTarget && t <= target + 1; ++t) {
        put(t, current_);
        current_.swap(next_);
        std::fill(next_.begin(), next_.end(), 0.0f);
    }
    ++y_;
}

Raster RowScaler::take() {
    return std::move(out_);
}

Raster Downsample(const Raster& src, int width, int height) {
    if (src.empty())
        return src;
    width = std::clamp(width, 1, src.width);
    height = std::clamp(height, 1, src.height);
    if (width == src.width && height == src.height)
        return src;
    RowScaler scaler(src.width, src.height, src.channels, width, height);
    for (int y = 0; y < src.height; ++y)
        scaler.add(src.row(y));
    return scaler.take();
}

void FitWithin(int w, int h, double longMax, double shortMax, int& outW, int& outH) {
    const double longSide = std::max(w, h), shortSide = std::min(w, h);
    const double f = std::min({1.0, longMax / longSide, shortMax / shortSide});
    outW = std::max(1, static_cast<int>(std::lround(w * f)));
    outH = std::max(1, static_cast<int>(std::lround(h * f)));
}

Raster ToGrey(const Raster& src) {
    if (src.channels == 1)
        return src;
    Raster g = src;
    MakeGrey(g);
    return g;
}

void MakeGrey(Raster& r) {
    if (r.channels != 3)
        return;
    const std::size_t count = static_cast<std::size_t>(r.width) * r.height;
    std::uint8_t* out = r.pixels.data();
    const std::uint8_t* in = r.pixels.data();
    for (std::size_t i = 0; i < count; ++i, in += 3)
        out[i] = static_cast<std::uint8_t>((299 * in[0] + 587 * in[1] + 114 * in[2] + 500) / 1000);
    r.channels = 1;
    r.pixels.resize(count);
    r.pixels.shrink_to_fit();
}

Raster Orient(const Raster& s, int orientation) {
    if (orientation < 2 || orientation > 8 || s.empty())
        return s;
    const bool transposed = orientation >= 5;
    const int w = transposed ? s.height : s.width, h = transposed ? s.width : s.height;
    Raster d = MakeRaster(w, h, s.channels);
    const int n = s.channels, sw = s.width, sh = s.height;
    for (int y = 0; y < h; ++y) {
        std::uint8_t* out = d.row(y);
        for (int x = 0; x < w; ++x) {
            int sx = x, sy = y;
            switch (orientation) {
            case 2:
                sx = sw - 1 - x;
                break;
            case 3:
                sx = sw - 1 - x, sy = sh - 1 - y;
                break;
            case 4:
                sy = sh - 1 - y;
                break;
            case 5:
                sx = y, sy = x;
                break;
            case 6:
                sx = y, sy = sh - 1 - x;
                break;
            case 7:
                sx = sw - 1 - y, sy = sh - 1 - x;
                break;
            case 8:
                sx = sw - 1 - y, sy = x;
                break;
            }
            const std::uint8_t* in = s.row(sy) + static_cast<std::size_t>(sx) * n;
            std::copy(in, in + n, out + static_cast<std::size_t>(x) * n);
        }
    }
    return d;
}

Bilevel Threshold(const Raster& source, int threshold) {
    Bilevel b;
    b.width = source.width;
    b.height = source.height;
    b.bits.assign(b.stride() * b.height, 0);
    const int n = source.channels;
    for (int y = 0; y < source.height; ++y) {
        const std::uint8_t* in = source.row(y);
        std::uint8_t* out = b.bits.data() + b.stride() * y;
        for (int x = 0; x < source.width; ++x, in += n) {
            const int v = n == 1 ? in[0] : (299 * in[0] + 587 * in[1] + 114 * in[2] + 500) / 1000;
            if (v < threshold)
                out[x >> 3] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
        }
    }
    return b;
}

int PaperThreshold(const Raster& grey) {
    std::array<std::size_t, 256> histogram{};
    const std::size_t count = static_cast<std::size_t>(grey.width) * grey.height;
    if (grey.channels != 1 || count == 0)
        return 128;
    for (std::size_t i = 0; i < count; ++i)
        ++histogram[grey.pixels[i]];
    std::size_t seen = 0;
    int paper = 255;
    for (int v = 0; v < 256; ++v) {
        seen += histogram[static_cast<std::size_t>(v)];
        if (seen * 2 >= count) {
            paper = v;
            break;
        }
    }
    return std::clamp(paper - std::max(32, paper / 8), 96, 224);
}

} // namespace scan
