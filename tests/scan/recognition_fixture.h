#pragma once
// Strips of official-document text drawn with Qt for the recognition tests,
// the one engine they share, and the measures they check with.

#include "scan/raster.h"
#include "scan/recognition.h"

#include "platform/utf8.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QRectF>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace scan_test {

// One engine for the whole test program.
inline scan::TextRecogniser& SharedRecogniser() {
    static scan::TextRecogniser engine;
    return engine;
}

struct Strip {
    scan::Raster pixels; // grey, upright
    std::vector<std::string> lines;
    QRectF phrase; // where "营业执照" was drawn, in pixels
};

inline const std::vector<std::string>& StripLines() {
    static const std::vector<std::string> lines{"营业执照注册号：91110108MA01234X",
                                                "北京市海淀区中关村大街27号",
                                                "法定代表人：张伟 2023年5月18日"};
    return lines;
}

// The lines in 12 pt of `face` at `dpi`, black on white.
inline Strip DrawStrip(const char* face, int dpi,
                       const std::vector<std::string>& lines = StripLines()) {
    const double px = 12.0 * dpi / 72.0;
    QImage image(static_cast<int>(px * 24), static_cast<int>(px * (1.8 * lines.size() + 1.2)),
                 QImage::Format_Grayscale8);
    image.fill(255);
    Strip strip;
    strip.lines = lines;
    {
        QPainter p(&image);
        QFont font(QString::fromUtf8(face));
        font.setPixelSize(static_cast<int>(px));
        p.setFont(font);
        p.setPen(Qt::black);
        const QFontMetricsF m(font);
        double y = px;
        for (const std::string& line : lines) {
            const QString text = QString::fromStdString(line);
            p.drawText(QPointF(px, y + m.ascent()), text);
            if (const int at = static_cast<int>(text.indexOf(QStringLiteral("营业执照"))); at >= 0)
                strip.phrase = QRectF(px + m.horizontalAdvance(text.left(at)), y,
                                      m.horizontalAdvance(QStringLiteral("营业执照")), m.height());
            y += px * 1.8;
        }
    }
    strip.pixels = scan::MakeRaster(image.width(), image.height(), 1);
    for (int y = 0; y < image.height(); ++y)
        std::copy_n(image.constScanLine(y), image.width(), strip.pixels.row(y));
    return strip;
}

inline std::u32string WithoutSpace(const std::string& s) {
    std::u32string out;
    for (char32_t c : platform::ToU32(s))
        if (c != U' ' && c != U'\n' && c != U'\t' && c != U'\r' && c != U'\f' && c != 0x3000)
            out += c;
    return out;
}

inline std::size_t Distance(const std::u32string& a, const std::u32string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = up;
        }
    }
    return row[b.size()];
}

// The character error rate of `line` against the best-matching line of
// `text`, whitespace ignored.
inline double ErrorRate(const std::string& line, const std::string& text) {
    const std::u32string want = WithoutSpace(line);
    double best = 1;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::u32string got = WithoutSpace(text.substr(start, end - start));
        best = std::min(best, static_cast<double>(Distance(want, got)) /
                                  std::max<std::size_t>(1, want.size()));
        start = end + 1;
    }
    return best;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A folder of its own for the test, removed at the end.
class ScopedTempFolder {
  public:
    ScopedTempFolder() {
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() /
                ("quillor-ocr-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    ~ScopedTempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

} // namespace scan_test
