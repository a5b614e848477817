#pragma once
// Phone photos made up for the photo tests and bench/photo_bench: a page of
// text (strokes in lines, a red stamp ring) seen by a pinhole camera, tilted
// and turned, on a textured background, with light falling off across the
// frame and a colour cast. Everything follows from the seed (std::mt19937,
// whose sequence the standard fixes; no library distribution is used).

#include "scan/photo.h"
#include "scan/raster.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <random>

namespace photo_scene {

enum class Background { DarkWood, LightWood, Cloth, DeskWithSheet, EmptyDesk };

struct Random {
    explicit Random(std::uint32_t seed) : engine(seed) {}
    double operator()(double a, double b) { return a + (b - a) * (engine() / 4294967296.0); }
    std::mt19937 engine;
};

// A page of "text" at `dpi`: A4 (or `widthMm` x `heightMm`).
inline scan::Raster TextPage(Random& rnd, double dpi, double widthMm = 210, double heightMm = 297) {
    const int w = static_cast<int>(std::lround(widthMm / 25.4 * dpi));
    const int h = static_cast<int>(std::lround(heightMm / 25.4 * dpi));
    scan::Raster page = scan::MakeRaster(w, h, 3);
    std::fill(page.pixels.begin(), page.pixels.end(), std::uint8_t{246});
    const auto dot = [&](int x, int y, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        if (x < 0 || y < 0 || x >= w || y >= h)
            return;
        std::uint8_t* p = page.row(y) + static_cast<std::size_t>(x) * 3;
        p[0] = r, p[1] = g, p[2] = b;
    };
    const double mm = dpi / 25.4;
    const int cell = std::max(4, static_cast<int>(4.2 * mm)); // a character
    const int pen = std::max(1, static_cast<int>(0.35 * mm));
    const int margin = static_cast<int>(20 * mm);
    for (int y = margin; y + cell < h - margin; y += cell * 2) {
        int x = margin;
        const int lineEnd = w - margin - static_cast<int>(rnd(0, 40) * mm);
        while (x + cell < lineEnd) {
            // One character: three or four strokes across its cell.
            const int strokes = 3 + static_cast<int>(rnd(0, 2));
            for (int s = 0; s < strokes; ++s) {
                const bool across = rnd(0, 1) < 0.5;
                const int at = static_cast<int>(rnd(0.1, 0.9) * cell);
                const int from = static_cast<int>(rnd(0, 0.4) * cell);
                const int to = static_cast<int>(rnd(0.6, 1) * cell);
                for (int t = from; t < to; ++t)
                    for (int k = 0; k < pen; ++k)
                        across ? dot(x + t, y + at + k, 20, 20, 25)
                               : dot(x + at + k, y + t, 20, 20, 25);
            }
            x += cell + (rnd(0, 1) < 0.15 ? cell : pen);
        }
    }
    // A red stamp ring near the bottom right.
    const double cx = w - margin - 25 * mm, cy = h - margin - 40 * mm, r = 20 * mm;
    for (int y = static_cast<int>(cy - r - 2); y < cy + r + 2; ++y)
        for (int x = static_cast<int>(cx - r - 2); x < cx + r + 2; ++x) {
            const double d = std::hypot(x - cx, y - cy);
            if (d > r - 1.2 * mm && d < r)
                dot(x, y, 210, 40, 40);
        }
    return page;
}

// Maps page coordinates (u, v) to the photo: a 3x3 homography.
using Homography = std::array<double, 9>;

// The homography taking the unit square's corners (0,0) (1,0) (1,1) (0,1)
// to `c`.
inline Homography SquareTo(const scan::Corners& c) {
    const double x0 = c[0].x, y0 = c[0].y, x1 = c[1].x, y1 = c[1].y;
    const double x2 = c[2].x, y2 = c[2].y, x3 = c[3].x, y3 = c[3].y;
    const double dx1 = x1 - x2, dx2 = x3 - x2, dx3 = x0 - x1 + x2 - x3;
    const double dy1 = y1 - y2, dy2 = y3 - y2, dy3 = y0 - y1 + y2 - y3;
    const double den = dx1 * dy2 - dx2 * dy1;
    const double g = (dx3 * dy2 - dx2 * dy3) / den, hh = (dx1 * dy3 - dx3 * dy1) / den;
    return {
        x1 - x0 + g * x1, x3 - x0 + hh * x3, x0, y1 - y0 + g * y1, y3 - y0 + hh * y3, y0, g, hh, 1};
}

inline Homography Inverse(const Homography& m) {
    const double a = m[0], b = m[1], c = m[2], d = m[3], e = m[4], f = m[5], g = m[6], h = m[7],
                 i = m[8];
    const double A = e * i - f * h, B = -(d * i - f * g), C = d * h - e * g;
    const double det = a * A + b * B + c * C;
    return {A / det, -(b * i - c * h) / det, (b * f - c * e) / det,
            B / det, (a * i - c * g) / det,  -(a * f - c * d) / det,
            C / det, -(a * h - b * g) / det, (a * e - b * d) / det};
}

struct Scene {
    Background background = Background::DarkWood;
    double tiltDeg = 0;     // the page leans away from the camera
    double tiltAxisDeg = 0; // direction of the lean
    double turnDeg = 0;     // turned in its plane
    double fill = 0.6;      // share of the frame the page covers
    double falloff = 0.2;   // light falls off by this much across the frame
    double lightDirDeg = 0;
    std::array<double, 3> cast{1, 1, 1};
};

inline Scene RandomScene(Random& rnd, Background background) {
    Scene s;
    s.background = background;
    s.tiltDeg = rnd(0, 30);
    s.tiltAxisDeg = rnd(0, 360);
    s.turnDeg = rnd(-15, 15);
    s.fill = rnd(0.4, 0.8);
    s.falloff = rnd(0, 0.4);
    s.lightDirDeg = rnd(0, 360);
    s.cast = {rnd(0.88, 1.05), rnd(0.9, 1.0), rnd(0.78, 0.97)};
    return s;
}

struct Photo {
    scan::Raster pixels;
    scan::Corners corners{}; // the page's true corners (none on an empty desk)
};

// The page's corners in a `w` x `h` photo: the page (proportions `aspect`
// = width / height) as a pinhole camera sees it, scaled to cover `fill` of
// the frame, moved to lie inside it.
inline scan::Corners Project(Random& rnd, const Scene& s, double aspect, int w, int h) {
    const double f = 0.75 * std::max(w, h);
    const double ph = 1.0, pw = aspect;
    const double t = s.tiltDeg * M_PI / 180, ax = s.tiltAxisDeg * M_PI / 180,
                 tr = s.turnDeg * M_PI / 180;
    scan::Corners c{};
    const double local[4][2] = {
        {-pw / 2, -ph / 2}, {pw / 2, -ph / 2}, {pw / 2, ph / 2}, {-pw / 2, ph / 2}};
    // The page's centre at (ox, oy, z) before the camera.
    const auto place = [&](double z, double ox, double oy) {
        for (int i = 0; i < 4; ++i) {
            // Turn in the plane, then lean about an axis in the plane.
            double x = local[i][0] * std::cos(tr) - local[i][1] * std::sin(tr);
            double y = local[i][0] * std::sin(tr) + local[i][1] * std::cos(tr);
            const double along = x * std::cos(ax) + y * std::sin(ax);
            const double across = -x * std::sin(ax) + y * std::cos(ax);
            const double depth = across * std::sin(t);
            const double acrossFlat = across * std::cos(t);
            x = along * std::cos(ax) - acrossFlat * std::sin(ax) + ox;
            y = along * std::sin(ax) + acrossFlat * std::cos(ax) + oy;
            c[i] = {w / 2.0 + f * x / (z + depth), h / 2.0 + f * y / (z + depth)};
        }
    };
    const auto area = [&] {
        double a = 0;
        for (int i = 0; i < 4; ++i)
            a += c[i].x * c[(i + 1) % 4].y - c[(i + 1) % 4].x * c[i].y;
        return std::fabs(a) / 2;
    };
    double z = 2.0;
    place(z, 0, 0);
    z *= std::sqrt(area() / (s.fill * w * h));
    place(z, 0, 0);
    // Moved (in space, so the perspective stays a camera's) by a random
    // share of the room left, 2 % of the frame kept free.
    const auto bounds = [&](double& minX, double& maxX, double& minY, double& maxY) {
        minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
        for (const auto& p : c)
            minX = std::min(minX, p.x), maxX = std::max(maxX, p.x), minY = std::min(minY, p.y),
            maxY = std::max(maxY, p.y);
    };
    double minX, maxX, minY, maxY;
    bounds(minX, maxX, minY, maxY);
    const double mx = 0.02 * w, my = 0.02 * h;
    // A page turned or leaning so that it cannot lie whole within the frame
    // at this share is moved back until it can (a photo of a whole page).
    const double over = std::max((maxX - minX) / (w - 2 * mx), (maxY - minY) / (h - 2 * my));
    if (over > 1) {
        z *= over * 1.01;
        place(z, 0, 0);
        bounds(minX, maxX, minY, maxY);
    }
    const double roomX = (w - 2 * mx) - (maxX - minX), roomY = (h - 2 * my) - (maxY - minY);
    double dx = roomX > 0 ? mx - minX + rnd(0, roomX) : w / 2.0 - (minX + maxX) / 2;
    double dy = roomY > 0 ? my - minY + rnd(0, roomY) : h / 2.0 - (minY + maxY) / 2;
    double ox = 0, oy = 0;
    for (int round = 0; round < 6; ++round) {
        ox += dx * z / f, oy += dy * z / f;
        place(z, ox, oy);
        bounds(minX, maxX, minY, maxY);
        // Back inside the frame where the move changed the page's outline.
        dx = std::max(0.0, mx - minX) - std::max(0.0, maxX - (w - mx));
        dy = std::max(0.0, my - minY) - std::max(0.0, maxY - (h - my));
        if (std::fabs(dx) < 0.5 && std::fabs(dy) < 0.5)
            break;
    }
    return c;
}

inline void BackgroundAt(const Scene& s, Random& rnd, scan::Raster& img) {
    const int w = img.width, h = img.height;
    const double phase = rnd(0, 6.28), freq = rnd(0.02, 0.05) * 1000.0 / std::max(w, h);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = img.row(y);
        for (int x = 0; x < w; ++x) {
            double r = 0, g = 0, b = 0;
            const double grain =
                std::sin(y * freq + 4 * std::sin(x * freq * 0.07 + phase) + phase) * 0.5 +
                std::sin(y * freq * 3.1 + x * freq * 0.11) * 0.25;
            switch (s.background) {
            case Background::DarkWood:
                r = 95 + 22 * grain, g = 58 + 14 * grain, b = 32 + 8 * grain;
                break;
            case Background::LightWood:
                r = 208 + 18 * grain, g = 172 + 16 * grain, b = 120 + 12 * grain;
                break;
            case Background::Cloth: {
                const int weave = ((x / 3) + (y / 3)) % 2;
                r = 70 + 18 * weave, g = 92 + 18 * weave, b = 135 + 16 * weave;
                break;
            }
            case Background::DeskWithSheet:
            case Background::EmptyDesk:
                r = 150 + 4 * grain, g = 152 + 4 * grain, b = 146 + 4 * grain;
                break;
            }
            row[3 * x] = static_cast<std::uint8_t>(std::clamp(r, 0.0, 255.0));
            row[3 * x + 1] = static_cast<std::uint8_t>(std::clamp(g, 0.0, 255.0));
            row[3 * x + 2] = static_cast<std::uint8_t>(std::clamp(b, 0.0, 255.0));
        }
    }
}

// Paints `page` into `img` where `corners` say, with 2 x 2 samples a pixel
// along the page's edge.
inline void PaintPage(const scan::Raster& page, const scan::Corners& corners, scan::Raster& img) {
    const Homography inv = Inverse(SquareTo(corners));
    double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
    for (const auto& p : corners)
        minX = std::min(minX, p.x), maxX = std::max(maxX, p.x), minY = std::min(minY, p.y),
        maxY = std::max(maxY, p.y);
    const int x0 = std::max(0, static_cast<int>(minX) - 1),
              x1 = std::min(img.width, static_cast<int>(maxX) + 2);
    const int y0 = std::max(0, static_cast<int>(minY) - 1),
              y1 = std::min(img.height, static_cast<int>(maxY) + 2);
    for (int y = y0; y < y1; ++y) {
        std::uint8_t* row = img.row(y);
        for (int x = x0; x < x1; ++x) {
            double sum[3] = {0, 0, 0};
            int inside = 0;
            for (int sy = 0; sy < 2; ++sy)
                for (int sx = 0; sx < 2; ++sx) {
                    const double px = x + 0.25 + 0.5 * sx, py = y + 0.25 + 0.5 * sy;
                    const double z = inv[6] * px + inv[7] * py + inv[8];
                    const double u = (inv[0] * px + inv[1] * py + inv[2]) / z;
                    const double v = (inv[3] * px + inv[4] * py + inv[5]) / z;
                    if (u < 0 || v < 0 || u >= 1 || v >= 1)
                        continue;
                    const int pu = std::min(page.width - 1, static_cast<int>(u * page.width));
                    const int pv = std::min(page.height - 1, static_cast<int>(v * page.height));
                    const std::uint8_t* p = page.row(pv) + static_cast<std::size_t>(pu) * 3;
                    for (int c = 0; c < 3; ++c)
                        sum[c] += p[c];
                    ++inside;
                }
            if (inside == 0)
                continue;
            for (int c = 0; c < 3; ++c)
                row[3 * x + c] = static_cast<std::uint8_t>(
                    std::lround((sum[c] + row[3 * x + c] * (4 - inside)) / 4));
        }
    }
}

// The whole photo: background, page (and a second sheet cut off by the
// frame's edge on a desk), light, cast and a little noise.
inline Photo MakePhoto(Random& rnd, const Scene& s, const scan::Raster& page, int w, int h) {
    Photo photo;
    photo.pixels = scan::MakeRaster(w, h, 3);
    BackgroundAt(s, rnd, photo.pixels);
    if (s.background != Background::EmptyDesk) {
        photo.corners = Project(rnd, s, static_cast<double>(page.width) / page.height, w, h);
        if (s.background == Background::DeskWithSheet) {
            // Another sheet beyond the side of the frame with the most room,
            // a third of it or more outside the frame.
            double minX = 1e9, maxX = -1e9;
            for (const auto& p : photo.corners)
                minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
            const bool right = w - maxX > minX;
            const double room = right ? w - maxX : minX;
            const double sheetW = std::max(room * 0.8, 0.0) * 1.8, gap = room * 0.15;
            const double x0 = right ? maxX + gap : minX - gap - sheetW;
            const double skew = rnd(-0.05, 0.05) * h;
            scan::Corners sheet{
                scan::Point2{x0, 0.1 * h + skew}, scan::Point2{x0 + sheetW, 0.08 * h - skew},
                scan::Point2{x0 + sheetW, 0.9 * h - skew}, scan::Point2{x0, 0.92 * h + skew}};
            scan::Raster blankSheet = scan::MakeRaster(8, 8, 3);
            std::fill(blankSheet.pixels.begin(), blankSheet.pixels.end(), std::uint8_t{240});
            if (room > 0.05 * w)
                PaintPage(blankSheet, sheet, photo.pixels);
        }
        PaintPage(page, photo.corners, photo.pixels);
    }
    const double lx = std::cos(s.lightDirDeg * M_PI / 180),
                 ly = std::sin(s.lightDirDeg * M_PI / 180);
    const double span = std::fabs(lx) * w + std::fabs(ly) * h;
    const double base = (lx < 0 ? -lx * w : 0) + (ly < 0 ? -ly * h : 0);
    std::uint32_t noise = 12345;
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = photo.pixels.row(y);
        for (int x = 0; x < w; ++x) {
            const double light = 1 - s.falloff * ((x * lx + y * ly + base) / span);
            for (int c = 0; c < 3; ++c) {
                noise = noise * 1664525u + 1013904223u;
                const double n = static_cast<double>(noise >> 28) - 7.5;
                row[3 * x + c] = static_cast<std::uint8_t>(
                    std::clamp(row[3 * x + c] * light * s.cast[c] + n * 0.5, 0.0, 255.0));
            }
        }
    }
    return photo;
}

} // namespace photo_scene
