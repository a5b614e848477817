#include "scan/raster.h"

#include <algorithm>
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

// Each target pixel averages the source rectangle it covers, with fractional
// weights at the edges (fixed point, 16 bits of fraction).
Raster Downsample(const Raster& src, int width, int height) {
    if (src.empty())
        return src;
    width = std::clamp(width, 1, src.width);
    height = std::clamp(height, 1, src.height);
    if (width == src.width && height == src.height)
        return src;
    const int n = src.channels;
    // Horizontal pass into floats, then vertical.
    struct Span {
        int first, last;
        std::vector<float> w;
    };
    auto spans = [](int from, int to) {
        std::vector<Span> out(static_cast<std::size_t>(to));
        const double scale = static_cast<double>(from) / to;
        for (int i = 0; i < to; ++i) {
            const double a = i * scale, b = (i + 1) * scale;
            Span s;
            s.first = static_cast<int>(std::floor(a));
            s.last = std::min(from - 1, static_cast<int>(std::ceil(b)) - 1);
            for (int k = s.first; k <= s.last; ++k) {
                const double lo = std::max(a, static_cast<double>(k));
                const double hi = std::min(b, static_cast<double>(k + 1));
                s.w.push_back(static_cast<float>((hi - lo) / scale));
            }
            out[static_cast<std::size_t>(i)] = std::move(s);
        }
        return out;
    };
    const std::vector<Span> hs = spans(src.width, width);
    const std::vector<Span> vs = spans(src.height, height);
    std::vector<float> rowsH(static_cast<std::size_t>(width) * n * src.height);
    for (int y = 0; y < src.height; ++y) {
        const std::uint8_t* in = src.row(y);
        float* out = rowsH.data() + static_cast<std::size_t>(width) * n * y;
        for (int x = 0; x < width; ++x) {
            const Span& s = hs[static_cast<std::size_t>(x)];
            for (int c = 0; c < n; ++c) {
                float acc = 0;
                for (int k = s.first; k <= s.last; ++k)
                    acc += s.w[static_cast<std::size_t>(k - s.first)] * in[k * n + c];
                out[x * n + c] = acc;
            }
        }
    }
    Raster dst = MakeRaster(width, height, n);
    const std::size_t rowLen = static_cast<std::size_t>(width) * n;
    std::vector<float> acc(rowLen);
    for (int y = 0; y < height; ++y) {
        const Span& s = vs[static_cast<std::size_t>(y)];
        std::fill(acc.begin(), acc.end(), 0.0f);
        for (int k = s.first; k <= s.last; ++k) {
            const float w = s.w[static_cast<std::size_t>(k - s.first)];
            const float* in = rowsH.data() + rowLen * k;
            for (std::size_t i = 0; i < rowLen; ++i)
                acc[i] += w * in[i];
        }
        std::uint8_t* out = dst.row(y);
        for (std::size_t i = 0; i < rowLen; ++i)
            out[i] = static_cast<std::uint8_t>(std::clamp(acc[i] + 0.5f, 0.0f, 255.0f));
    }
    return dst;
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
    Raster g = MakeRaster(src.width, src.height, 1);
    const std::size_t count = static_cast<std::size_t>(src.width) * src.height;
    const std::uint8_t* in = src.pixels.data();
    for (std::size_t i = 0; i < count; ++i, in += src.channels)
        g.pixels[i] =
            static_cast<std::uint8_t>((299 * in[0] + 587 * in[1] + 114 * in[2] + 500) / 1000);
    return g;
}

Bilevel Threshold(const Raster& source, int threshold) {
    const Raster grey = ToGrey(source);
    Bilevel b;
    b.width = grey.width;
    b.height = grey.height;
    b.bits.assign(b.stride() * b.height, 0);
    for (int y = 0; y < grey.height; ++y) {
        const std::uint8_t* in = grey.row(y);
        std::uint8_t* out = b.bits.data() + b.stride() * y;
        for (int x = 0; x < grey.width; ++x)
            if (in[x] < threshold)
                out[x >> 3] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
    }
    return b;
}

} // namespace scan
