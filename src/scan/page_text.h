#pragma once
// The recognised text of a page and the invisible text layer it becomes in
// the PDF: each word drawn in render mode 3 (invisible) with the glyph-less
// font that ships with libtesseract, stretched over the word's box, so that
// a viewer's search finds it and selecting it highlights the word.
//
// The words are kept in the pixels recognition saw: the page's stored
// picture turned clockwise by `turn`. The layer is placed through that turn
// into the page's unrotated space, so that the page's own rotation turns
// picture and text together and later turns of the page need no new text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace scan {

struct TextWord {
    std::string text; // UTF-8
    int left = 0, top = 0, right = 0, bottom = 0;
};

struct WordLine {
    std::vector<TextWord> words;
};

struct PageText {
    int width = 0; // the pixels recognised (turned), whose coordinates the words use
    int height = 0;
    int turn = 0; // the clockwise turn of the stored picture that was recognised
    std::vector<WordLine> lines;
    double confidence = 0; // mean word confidence, 0..100

    bool empty() const { return lines.empty(); }
    std::size_t characters() const;
};

// Whether a code point belongs to a run written without spaces (Han,
// kana, hangul, CJK punctuation and full-width forms).
bool IsCjk(char32_t c);

// The content-stream operators of the layer of one page whose unrotated
// size is `pointsWide` x `pointsHigh`, with the font as resource `font`
// (a Type0 font, Identity-H, whose codes are UTF-16 units). Words of a line
// are joined by a space unless both sides are CJK; each word, with the
// space after it, is stretched from its left edge to the next word's, so
// that a reader sees no gap inside a Chinese run.
std::string TextLayerContent(const PageText& text, double pointsWide, double pointsHigh,
                             const std::string& font = "/QText");

// About how many compressed bytes the layer adds to a PDF: per page, and
// once for the font of every page.
std::size_t TextLayerBytes(const PageText& text);
inline constexpr std::size_t kTextFontBytes = 2400;

// The glyph-less font of libtesseract ("pdf.ttf" in its data folder); empty
// when it is not there.
std::string GlyphlessFontPath();
// The folder of Tesseract's language data: TESSDATA_PREFIX when set, else
// the system's.
std::string TessdataFolder();

} // namespace scan
