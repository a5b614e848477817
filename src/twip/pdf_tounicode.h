#pragma once
// The ToUnicode maps of a PDF file: what a reader copies or searches for each
// glyph of an embedded font. Qt's PDF writer names a glyph by the lowest code
// point of the font's character map that shows it; some CJK faces show an
// ideograph and its radical (U+2E80–U+2FDF) with one glyph, so 行 is written
// as U+2F8F and a search for 行政审批 finds nothing. The rewrite here puts the
// code point the caller prefers in place of such a one.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace twip {

// The code point to write for a code point of a ToUnicode map; the code
// point itself when it is to stay.
using CodePointPreference = std::function<char32_t(char32_t)>;

// The text of a ToUnicode CMap with every destination rewritten by `prefer`.
// Source codes, the header and everything outside the bfchar and bfrange
// sections stay as they are; a range whose destinations change is written
// out one code at a time; comments are passed over. The work is done by the
// PDF module (quillor-pdfwrite), which reads the CMap with qpdf's tokenizer;
// without the module the text comes back as it is.
std::string RewriteToUnicodeCMap(const std::string& cmap, const CodePointPreference& prefer);

// Rewrites the ToUnicode map of every font in the PDF file `pdf` in place
// (through a temporary file beside it). Returns the number of maps changed;
// throws std::exception when the file cannot be read or written, leaving it
// as it was. Without the PDF module (quillor-pdfwrite) does nothing and
// returns kNoPdfWriter.
int RewriteToUnicodeMaps(const std::filesystem::path& pdf, const CodePointPreference& prefer);
inline constexpr int kNoPdfWriter = -1;

} // namespace twip
