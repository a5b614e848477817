#include "scan/page_text.h"

#include "platform/utf8.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace scan {
namespace {

// Room for any double in fixed notation (the largest has 309 digits before
// the point).
constexpr std::size_t kNumberChars = 400;

std::string Number(double v) {
    char text[kNumberChars];
    std::string t(text,
                  std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, 3).ptr);
    while (!t.empty() && t.back() == '0')
        t.pop_back();
    if (!t.empty() && t.back() == '.')
        t.pop_back();
    return t == "-0" || t.empty() ? "0" : t;
}

// UTF-16 code units as the hex string of an Identity-H show.
std::string Hex(std::u32string_view text, std::size_t& units) {
    static const char* const digits = "0123456789ABCDEF";
    std::string out = "<";
    const auto put = [&](unsigned unit) {
        for (int shift = 12; shift >= 0; shift -= 4)
            out += digits[(unit >> shift) & 0xF];
        ++units;
    };
    for (char32_t c : text) {
        if (c >= 0x10000 && c <= 0x10FFFF) {
            const unsigned v = static_cast<unsigned>(c) - 0x10000;
            put(0xD800 + (v >> 10));
            put(0xDC00 + (v & 0x3FF));
        } else {
            put(static_cast<unsigned>(c));
        }
    }
    return out + ">";
}

} // namespace

std::size_t PageText::characters() const {
    std::size_t n = 0;
    for (const WordLine& line : lines)
        for (const TextWord& word : line.words)
            n += platform::CharCount(word.text);
    return n;
}

bool IsCjk(char32_t c) {
    return (c >= 0x2E80 && c <= 0x9FFF) || // radicals, punctuation, kana, Han
           (c >= 0xAC00 && c <= 0xD7AF) || // hangul
           (c >= 0xF900 && c <= 0xFAFF) || // compatibility ideographs
           (c >= 0xFE30 && c <= 0xFE4F) || // compatibility forms
           (c >= 0xFF00 && c <= 0xFFEF) || // full-width forms
           (c >= 0x20000 && c <= 0x3FFFF); // supplementary ideographs
}

namespace {

// One line of words as invisible text, in `font` at the line's height: each
// word stretched over its box, up to where the next word starts.
void AppendLine(std::string& out, const WordLine& line, int pictureHeight,
                const std::string& font) {
    if (line.words.empty())
        return;
    int top = line.words.front().top, bottom = line.words.front().bottom;
    for (const TextWord& w : line.words) {
        top = std::min(top, w.top);
        bottom = std::max(bottom, w.bottom);
    }
    const double size = std::max(1, bottom - top);
    const double baseline = pictureHeight - bottom;
    out += font + " " + Number(size) + " Tf\n";
    for (std::size_t i = 0; i < line.words.size(); ++i) {
        const TextWord& word = line.words[i];
        std::u32string chars = platform::ToU32(word.text);
        if (chars.empty())
            continue;
        // Up to where the next word starts (Tesseract's boxes of Chinese
        // words often reach over their neighbours, which a reader would
        // take for text drawn twice); the last word to its right edge.
        double end = word.right;
        if (i + 1 < line.words.size()) {
            const TextWord& next = line.words[i + 1];
            const std::u32string after = platform::ToU32(next.text);
            if (!after.empty() && !(IsCjk(chars.back()) && IsCjk(after.front())))
                chars += U' ';
            if (next.left > word.left)
                end = next.left;
        }
        std::size_t units = 0;
        const std::string shown = Hex(chars, units);
        const double width = end - word.left;
        if (width <= 0)
            continue;
        // The glyph-less font's glyphs are half an em wide.
        const double scale = std::clamp(100.0 * width / (units * size * 0.5), 1.0, 10000.0);
        out += Number(scale) + " Tz 1 0 0 1 " + Number(word.left) + " " + Number(baseline) +
               " Tm " + shown + " Tj\n";
    }
}

} // namespace

std::string TextLayerContent(const PageText& text, double pointsWide, double pointsHigh,
                             const std::string& font) {
    if (text.empty() || text.width <= 0 || text.height <= 0 || pointsWide <= 0 || pointsHigh <= 0)
        return {};
    // The words' pixels (y up) into the unrotated page: the stored picture
    // is `text.turn` clockwise from what was recognised.
    const int turn = ((text.turn % 360) + 360) % 360;
    const bool sideways = turn == 90 || turn == 270;
    const double sx = pointsWide / (sideways ? text.height : text.width);
    const double sy = pointsHigh / (sideways ? text.width : text.height);
    double m[6] = {sx, 0, 0, sy, 0, 0};
    if (turn == 90)
        m[0] = 0, m[1] = sy, m[2] = -sx, m[3] = 0, m[4] = pointsWide, m[5] = 0;
    else if (turn == 180)
        m[0] = -sx, m[3] = -sy, m[4] = pointsWide, m[5] = pointsHigh;
    else if (turn == 270)
        m[0] = 0, m[1] = -sy, m[2] = sx, m[3] = 0, m[4] = 0, m[5] = pointsHigh;

    std::string out = "q";
    for (double v : m)
        out += " " + Number(v);
    out += " cm BT 3 Tr\n";
    for (const WordLine& line : text.lines)
        AppendLine(out, line, text.height, font);
    out += "ET Q\n";
    return out;
}

std::size_t TextLayerBytes(const PageText& text) {
    if (text.empty())
        return 0;
    // The operators compress to about a third (measured on pages of Chinese
    // text), plus the stream's dictionary.
    return TextLayerContent(text, 595, 842).size() / 3 + 80;
}

std::string TessdataFolder() {
    if (const char* prefix = std::getenv("TESSDATA_PREFIX"); prefix && *prefix)
        return prefix;
#ifdef _WIN32
    return "tessdata";
#else
    return "/usr/share/tesseract-ocr/5/tessdata";
#endif
}

std::string GlyphlessFontPath() {
    std::error_code ignored;
    for (const std::string& folder :
         {TessdataFolder(), std::string("/usr/share/tesseract-ocr/5/tessdata")}) {
        const std::filesystem::path font = platform::PathFromUtf8(folder) / "pdf.ttf";
        if (std::filesystem::is_regular_file(font, ignored))
            return platform::PathToUtf8(font);
    }
    return {};
}

} // namespace scan
