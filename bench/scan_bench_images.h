#pragma once
// Page images for the scanning benches: photograph-like colour (gradients and
// noise, not flat colour), as a colour scan gives a compressor.

#include "scan/raster.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>
#include <vector>

namespace scan_bench {

inline scan::Raster PhotoPage(int width, int height, unsigned seed) {
    scan::Raster r = scan::MakeRaster(width, height, 3);
    std::mt19937 gen(seed);
    std::uniform_int_distribution<int> noise(-10, 10);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = r.row(y);
        const double fy = static_cast<double>(y) / height;
        for (int x = 0; x < width; ++x, p += 3) {
            const double fx = static_cast<double>(x) / width;
            const double base[3] = {50 + 160 * fx, 70 + 140 * fy,
                                    120 + 100 * std::sin(9.0 * (fx * fy) + seed)};
            for (int k = 0; k < 3; ++k)
                p[k] = static_cast<std::uint8_t>(std::clamp(base[k] + noise(gen), 0.0, 255.0));
        }
    }
    return r;
}

inline double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace scan_bench
