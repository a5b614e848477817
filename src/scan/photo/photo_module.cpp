// Page finding, warping and cleaning with OpenCV's core and imgproc, in the
// module quillor-photo (scan/photo.cpp calls it through
// platform/program_module.h). The program decodes images itself: OpenCV only
// ever sees pixels in memory. Every entry catches OpenCV's exceptions and
// answers false.

#include "platform/program_module.h"
#include "scan/photo.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

namespace scan::photo {
namespace {

using scan::Corners;
using scan::Point2;
using scan::Raster;

// OpenCV's own threads would compete with the scan window's worker and the
// rest of the machine: two at most.
void LimitThreads() {
    static const bool once = [] {
        cv::setNumThreads(2);
        return true;
    }();
    (void)once;
}

cv::Mat View(const Raster& r) {
    return cv::Mat(r.height, r.width, r.channels == 1 ? CV_8UC1 : CV_8UC3,
                   const_cast<std::uint8_t*>(r.pixels.data()), r.stride());
}

Raster FromMat(const cv::Mat& m) {
    Raster r;
    r.width = m.cols;
    r.height = m.rows;
    r.channels = m.channels();
    r.pixels.resize(static_cast<std::size_t>(m.cols) * m.rows * m.channels());
    cv::Mat out(m.rows, m.cols, m.type(), r.pixels.data());
    m.copyTo(out);
    return r;
}

double Cross(cv::Point2d a, cv::Point2d b) {
    return a.x * b.y - a.y * b.x;
}

// Corners in the order top left, top right, bottom right, bottom left: by
// angle about their centre (clockwise on the screen), starting with the one
// nearest the image's top left.
std::vector<cv::Point2d> Ordered(std::vector<cv::Point2d> p) {
    cv::Point2d c(0, 0);
    for (const auto& q : p)
        c += q;
    c *= 1.0 / static_cast<double>(p.size());
    std::sort(p.begin(), p.end(), [&](const cv::Point2d& a, const cv::Point2d& b) {
        return std::atan2(a.y - c.y, a.x - c.x) < std::atan2(b.y - c.y, b.x - c.x);
    });
    std::size_t first = 0;
    for (std::size_t i = 1; i < p.size(); ++i)
        if (p[i].x + p[i].y < p[first].x + p[first].y)
            first = i;
    std::rotate(p.begin(), p.begin() + static_cast<std::ptrdiff_t>(first), p.end());
    return p;
}

// The colour (up to three values) at a point, nearest pixel, clamped.
struct Sampler {
    const Raster& r;
    void at(double x, double y, float out[3]) const {
        const int xi = std::clamp(static_cast<int>(std::lround(x)), 0, r.width - 1);
        const int yi = std::clamp(static_cast<int>(std::lround(y)), 0, r.height - 1);
        const std::uint8_t* p = r.row(yi) + static_cast<std::size_t>(xi) * r.channels;
        for (int c = 0; c < 3; ++c)
            out[c] = p[r.channels == 1 ? 0 : c];
    }
    // Colour distance between the means of `n` samples on either side of
    // point p across the unit normal n.
    double step(cv::Point2d p, cv::Point2d n, int from, int to) const {
        float in[3] = {0, 0, 0}, out[3] = {0, 0, 0}, v[3];
        for (int k = from; k <= to; ++k) {
            at(p.x - n.x * k, p.y - n.y * k, v);
            for (int c = 0; c < 3; ++c)
                in[c] += v[c];
            at(p.x + n.x * k, p.y + n.y * k, v);
            for (int c = 0; c < 3; ++c)
                out[c] += v[c];
        }
        double d = 0;
        for (int c = 0; c < 3; ++c)
            d += (in[c] - out[c]) * (in[c] - out[c]);
        return std::sqrt(d) / (to - from + 1);
    }
};

// The share of a quadrilateral's outline along which the colour changes
// clearly across it. A side on the image's border (a sheet cut off by the
// frame) has no edge there.
double EdgeSupport(const Raster& img, const std::vector<cv::Point2d>& q) {
    const Sampler s{img};
    const double margin = 2.0;
    double worst = 1, sum = 0;
    for (int i = 0; i < 4; ++i) {
        const cv::Point2d a = q[i], b = q[(i + 1) % 4];
        const cv::Point2d d = b - a;
        const double len = std::hypot(d.x, d.y);
        if (len < 8)
            return 0;
        cv::Point2d n(d.y / len, -d.x / len); // outward for a clockwise outline
        int good = 0, total = 0;
        for (int k = 1; k < 40; ++k) {
            const cv::Point2d p = a + d * (k / 40.0);
            ++total;
            if (p.x < margin || p.y < margin || p.x > img.width - 1 - margin ||
                p.y > img.height - 1 - margin)
                continue;
            if (s.step(p, n, 2, 4) >= 18)
                ++good;
        }
        const double share = static_cast<double>(good) / total;
        worst = std::min(worst, share);
        sum += share;
    }
    // Every side must be there: the weakest counts as much as the mean.
    return 0.5 * worst + 0.5 * sum / 4;
}

bool Plausible(const std::vector<cv::Point2d>& q, double imageArea) {
    std::vector<cv::Point2f> f(q.begin(), q.end());
    if (!cv::isContourConvex(f))
        return false;
    const double area = std::fabs(cv::contourArea(f));
    if (area < 0.08 * imageArea || area > 0.98 * imageArea)
        return false;
    for (int i = 0; i < 4; ++i) {
        const cv::Point2d u = q[(i + 3) % 4] - q[i], v = q[(i + 1) % 4] - q[i];
        const double c = u.dot(v) / (std::hypot(u.x, u.y) * std::hypot(v.x, v.y));
        if (std::fabs(c) > 0.75) // angles between about 40 and 140 degrees
            return false;
    }
    return true;
}

// Four corners from an outline: its convex hull simplified until four
// points remain.
bool Quad(const std::vector<cv::Point>& contour, std::vector<cv::Point2d>& out) {
    std::vector<cv::Point> hull;
    cv::convexHull(contour, hull);
    const double perimeter = cv::arcLength(hull, true);
    for (double eps = 0.01; eps <= 0.08; eps += 0.005) {
        std::vector<cv::Point> approx;
        cv::approxPolyDP(hull, approx, eps * perimeter, true);
        if (approx.size() == 4) {
            out = Ordered({approx.begin(), approx.end()});
            return true;
        }
        if (approx.size() < 4)
            return false;
    }
    return false;
}

struct Candidate {
    std::vector<cv::Point2d> q;
    double score = 0;
    double area = 0;
};

void Collect(const cv::Mat& mask, const Raster& small, std::vector<Candidate>& found) {
    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(mask, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE);
    const double imageArea = static_cast<double>(small.width) * small.height;
    for (const auto& c : contours) {
        if (cv::contourArea(c) < 0.06 * imageArea)
            continue;
        Candidate cand;
        if (!Quad(c, cand.q) || !Plausible(cand.q, imageArea))
            continue;
        cand.score = EdgeSupport(small, cand.q);
        std::vector<cv::Point2f> f(cand.q.begin(), cand.q.end());
        cand.area = std::fabs(cv::contourArea(f));
        found.push_back(std::move(cand));
    }
}

// Masks of what may be the page: bright and colourless (paper) against
// anything else, by Otsu's threshold on a few views of the photo, and the
// regions closed by its edges.
std::vector<Candidate> Candidates(const Raster& small) {
    const cv::Mat src = View(small);
    cv::Mat grey, paper;
    if (small.channels == 3) {
        cv::cvtColor(src, grey, cv::COLOR_RGB2GRAY);
        std::vector<cv::Mat> ch;
        cv::split(src, ch);
        cv::Mat lo, hi;
        cv::min(ch[0], ch[1], lo);
        cv::min(lo, ch[2], lo);
        cv::max(ch[0], ch[1], hi);
        cv::max(hi, ch[2], hi);
        // Whiteness: the darkest channel less half the saturation.
        cv::Mat sat;
        cv::subtract(hi, lo, sat);
        cv::addWeighted(lo, 1.0, sat, -0.5, 0, paper);
    } else {
        grey = src.clone();
        paper = grey;
    }
    std::vector<Candidate> found;
    const cv::Mat open = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5));
    for (const cv::Mat& view : {paper, grey}) {
        cv::Mat blurred, mask;
        cv::GaussianBlur(view, blurred, cv::Size(7, 7), 0);
        cv::threshold(blurred, mask, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
        cv::morphologyEx(mask, mask, cv::MORPH_OPEN, open);
        Collect(mask, small, found);
    }
    // Edges: the page's outline closed into a region.
    cv::Mat blurred, edges;
    cv::GaussianBlur(grey, blurred, cv::Size(5, 5), 0);
    cv::Canny(blurred, edges, 30, 90);
    cv::dilate(edges, edges, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3)));
    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(edges, contours, cv::RETR_LIST, cv::CHAIN_APPROX_SIMPLE);
    cv::Mat filled = cv::Mat::zeros(edges.size(), CV_8UC1);
    const double imageArea = static_cast<double>(small.width) * small.height;
    for (std::size_t i = 0; i < contours.size(); ++i)
        if (cv::contourArea(contours[i]) > 0.06 * imageArea)
            cv::drawContours(filled, contours, static_cast<int>(i), 255, cv::FILLED);
    cv::erode(filled, filled, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3)));
    Collect(filled, small, found);
    return found;
}

// A side refined at full resolution: along the coarse side, the strongest
// colour change across it within `reach` pixels, and a line fitted through
// those points. False when too few points were found.
bool RefineSide(const Raster& img, cv::Point2d a, cv::Point2d b, double reach, cv::Vec4f& line) {
    const Sampler s{img};
    const cv::Point2d d = b - a;
    const double len = std::hypot(d.x, d.y);
    const cv::Point2d n(d.y / len, -d.x / len);
    const int samples = std::clamp(static_cast<int>(len / 12), 20, 150);
    const int r = static_cast<int>(std::ceil(reach));
    const int w = std::max(2, static_cast<int>(reach / 4));
    std::vector<cv::Point2f> points;
    std::vector<double> profile(2 * r + 1);
    for (int k = 0; k < samples; ++k) {
        const double t = 0.08 + 0.84 * k / (samples - 1);
        const cv::Point2d p = a + d * t;
        double best = 0;
        int bestAt = 0;
        for (int o = -r; o <= r; ++o) {
            const cv::Point2d q = p + n * static_cast<double>(o);
            if (q.x < w || q.y < w || q.x > img.width - 1 - w || q.y > img.height - 1 - w)
                continue;
            const double v = s.step(q, n, 1, w);
            if (v > best) {
                best = v;
                bestAt = o;
            }
        }
        if (best >= 12) {
            const cv::Point2d q = p + n * static_cast<double>(bestAt);
            points.emplace_back(static_cast<float>(q.x), static_cast<float>(q.y));
        }
    }
    if (points.size() < static_cast<std::size_t>(samples) / 3)
        return false;
    cv::fitLine(points, line, cv::DIST_HUBER, 0, 0.01, 0.01);
    return true;
}

bool Intersect(const cv::Vec4f& l1, const cv::Vec4f& l2, cv::Point2d& out) {
    const cv::Point2d d1(l1[0], l1[1]), p1(l1[2], l1[3]);
    const cv::Point2d d2(l2[0], l2[1]), p2(l2[2], l2[3]);
    const double den = Cross(d1, d2);
    if (std::fabs(den) < 1e-6)
        return false;
    const double t = Cross(p2 - p1, d2) / den;
    out = p1 + d1 * t;
    return true;
}

std::vector<cv::Point2d> Refine(const Raster& photo, const std::vector<cv::Point2d>& coarse,
                                double scale) {
    std::vector<cv::Point2d> q;
    for (const auto& p : coarse)
        q.push_back(p * (1.0 / scale));
    const double reach = std::max(4.0, 2.5 / scale);
    std::vector<cv::Vec4f> lines(4);
    for (int i = 0; i < 4; ++i)
        if (!RefineSide(photo, q[i], q[(i + 1) % 4], reach, lines[i]))
            return q;
    std::vector<cv::Point2d> refined(4);
    for (int i = 0; i < 4; ++i) {
        // Corner i lies on sides i-1 and i.
        if (!Intersect(lines[(i + 3) % 4], lines[i], refined[i]))
            return q;
        if (std::hypot(refined[i].x - q[i].x, refined[i].y - q[i].y) > 3 * reach)
            return q;
    }
    return refined;
}

void Put(const std::vector<cv::Point2d>& q, Corners& out) {
    for (int i = 0; i < 4; ++i)
        out[static_cast<std::size_t>(i)] = Point2{q[i].x, q[i].y};
}

bool Inside(const std::vector<cv::Point2d>& q, cv::Point2d p) {
    std::vector<cv::Point2f> f(q.begin(), q.end());
    return cv::pointPolygonTest(f, cv::Point2f(static_cast<float>(p.x), static_cast<float>(p.y)),
                                false) >= 0;
}

cv::Point2d Centre(const std::vector<cv::Point2d>& q) {
    return (q[0] + q[1] + q[2] + q[3]) * 0.25;
}

} // namespace
} // namespace scan::photo

using namespace scan::photo;

extern "C" QUILLOR_MODULE_EXPORT bool quillor_photo_find(const Raster* photo,
                                                         scan::PageFinding* out) {
    *out = scan::PageFinding{};
    if (photo->empty() || (photo->channels != 1 && photo->channels != 3))
        return false;
    try {
        LimitThreads();
        const double scale = std::min(1.0, 800.0 / std::max(photo->width, photo->height));
        cv::Mat smallMat;
        cv::resize(View(*photo), smallMat,
                   cv::Size(std::max(1, static_cast<int>(std::lround(photo->width * scale))),
                            std::max(1, static_cast<int>(std::lround(photo->height * scale)))),
                   0, 0, cv::INTER_AREA);
        const Raster small = FromMat(smallMat);
        const double sx = static_cast<double>(small.width) / photo->width;
        std::vector<Candidate> found = Candidates(small);
        if (found.empty())
            return true;
        std::sort(found.begin(), found.end(), [](const Candidate& a, const Candidate& b) {
            return a.score != b.score ? a.score > b.score : a.area > b.area;
        });
        const Candidate& best = found.front();
        for (const Candidate& other : found) {
            if (other.score < scan::kConfidentPage || other.area < 0.5 * best.area)
                continue;
            if (!Inside(best.q, Centre(other.q)) && !Inside(other.q, Centre(best.q)))
                out->twoPages = true;
        }
        out->confidence = best.score;
        out->found = best.score >= scan::kConfidentPage;
        Put(Refine(*photo, best.q, sx), out->corners);
        return true;
    } catch (const cv::Exception&) {
        return false;
    }
}

extern "C" QUILLOR_MODULE_EXPORT bool quillor_photo_warp(const Raster* photo,
                                                         const Corners* corners, int width,
                                                         int height, Raster* out) {
    if (photo->empty() || width <= 0 || height <= 0)
        return false;
    try {
        LimitThreads();
        cv::Point2f from[4], to[4] = {{0, 0},
                                      {static_cast<float>(width), 0},
                                      {static_cast<float>(width), static_cast<float>(height)},
                                      {0, static_cast<float>(height)}};
        for (int i = 0; i < 4; ++i)
            from[i] = cv::Point2f(static_cast<float>((*corners)[i].x),
                                  static_cast<float>((*corners)[i].y));
        const cv::Mat m = cv::getPerspectiveTransform(from, to);
        Raster r;
        r.width = width;
        r.height = height;
        r.channels = photo->channels;
        r.pixels.resize(r.stride() * height);
        cv::Mat dst = View(r);
        cv::warpPerspective(View(*photo), dst, m, dst.size(), cv::INTER_LINEAR,
                            cv::BORDER_REPLICATE);
        *out = std::move(r);
        return true;
    } catch (const cv::Exception&) {
        return false;
    }
}

namespace scan::photo {
namespace {

// Each channel divided by its paper: the page's background estimated on a
// reduced copy (ink removed by a closing, then smoothed), so uneven light
// and a colour cast both go and the paper becomes white; then the paper's
// noise is cut to white and the ink darkened.
void Flatten(cv::Mat& page) {
    const int side = std::max(page.cols, page.rows);
    const double f = std::min(1.0, 400.0 / side);
    cv::Mat small;
    cv::resize(page, small, cv::Size(), f, f, cv::INTER_AREA);
    const int k = std::max(3, static_cast<int>(small.cols / 40) | 1);
    cv::Mat bg;
    cv::morphologyEx(small, bg, cv::MORPH_CLOSE,
                     cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(k, k)));
    cv::GaussianBlur(bg, bg, cv::Size(0, 0), k / 2.0);
    cv::resize(bg, bg, page.size(), 0, 0, cv::INTER_LINEAR);
    cv::Mat pageF, bgF;
    page.convertTo(pageF, CV_32F);
    bg.convertTo(bgF, CV_32F);
    cv::max(bgF, 1.0, bgF);
    cv::divide(pageF, bgF, pageF, 255.0);
    // Paper (above 92 % of its own level) white, ink stretched darker.
    const double black = 0.35 * 255, white = 0.92 * 255;
    pageF.convertTo(page, CV_8U, 255.0 / (white - black), -black * 255.0 / (white - black));
}

} // namespace
} // namespace scan::photo

extern "C" QUILLOR_MODULE_EXPORT bool quillor_photo_clean(Raster* page, int cleaning) {
    if (page->empty())
        return false;
    if (cleaning == static_cast<int>(scan::Cleaning::Original))
        return true;
    try {
        LimitThreads();
        cv::Mat m = View(*page).clone();
        Flatten(m);
        if (cleaning == static_cast<int>(scan::Cleaning::BlackWhite)) {
            cv::Mat grey;
            if (m.channels() == 3)
                cv::cvtColor(m, grey, cv::COLOR_RGB2GRAY);
            else
                grey = m;
            const int block = std::max(15, (std::max(m.cols, m.rows) / 60) | 1);
            cv::Mat bw;
            cv::adaptiveThreshold(grey, bw, 255, cv::ADAPTIVE_THRESH_GAUSSIAN_C, cv::THRESH_BINARY,
                                  block, 20);
            // What the flattening made paper stays paper.
            bw.setTo(255, grey > 235);
            *page = FromMat(bw);
        } else {
            *page = FromMat(m);
        }
        return true;
    } catch (const cv::Exception&) {
        return false;
    }
}

extern "C" QUILLOR_MODULE_EXPORT bool quillor_photo_skew(const Raster* scan, double* degrees) {
    if (scan->empty())
        return false;
    try {
        LimitThreads();
        cv::Mat grey;
        const cv::Mat src = View(*scan);
        if (scan->channels == 3)
            cv::cvtColor(src, grey, cv::COLOR_RGB2GRAY);
        else
            grey = src;
        const double f = std::min(1.0, 1000.0 / std::max(grey.cols, grey.rows));
        cv::Mat small, ink;
        cv::resize(grey, small, cv::Size(), f, f, cv::INTER_AREA);
        cv::threshold(small, ink, 0, 255, cv::THRESH_BINARY_INV | cv::THRESH_OTSU);
        std::vector<cv::Point> points;
        cv::findNonZero(ink, points);
        if (points.size() < 200 || points.size() > ink.total() / 2)
            return false;
        const std::size_t stride = std::max<std::size_t>(1, points.size() / 30000);
        // The angle whose rows of text make the sharpest profile.
        auto sharpness = [&](double a) {
            const double s = std::sin(a * CV_PI / 180), c = std::cos(a * CV_PI / 180);
            const int h = ink.rows + ink.cols;
            std::vector<int> bins(static_cast<std::size_t>(2 * h), 0);
            for (std::size_t i = 0; i < points.size(); i += stride) {
                const double y = points[i].y * c - points[i].x * s;
                ++bins[static_cast<std::size_t>(std::clamp(static_cast<int>(y) + h, 0, 2 * h - 1))];
            }
            double sum = 0;
            for (int b : bins)
                sum += static_cast<double>(b) * b;
            return sum;
        };
        const double straight = sharpness(0);
        double best = 0, bestScore = -1;
        for (double a = -6; a <= 6.001; a += 0.25) {
            const double v = sharpness(a);
            if (v > bestScore) {
                bestScore = v;
                best = a;
            }
        }
        const double centre = best;
        for (double a = centre - 0.25; a <= centre + 0.25; a += 0.02) {
            const double v = sharpness(a);
            if (v > bestScore) {
                bestScore = v;
                best = a;
            }
        }
        // Rows of text make a clearly sharper profile at their angle; a
        // picture without them measures no skew.
        *degrees = bestScore < 1.1 * straight ? 0 : best;
        return true;
    } catch (const cv::Exception&) {
        return false;
    }
}

extern "C" QUILLOR_MODULE_EXPORT bool quillor_photo_unskew(const Raster* scan, double degrees,
                                                           Raster* out) {
    if (scan->empty())
        return false;
    try {
        LimitThreads();
        const cv::Mat src = View(*scan);
        const cv::Mat m = cv::getRotationMatrix2D(
            cv::Point2f(static_cast<float>(src.cols) / 2, static_cast<float>(src.rows) / 2),
            degrees, 1.0);
        cv::Mat dst;
        cv::warpAffine(src, dst, m, src.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT,
                       cv::Scalar::all(255));
        *out = FromMat(dst);
        return true;
    } catch (const cv::Exception&) {
        return false;
    }
}
