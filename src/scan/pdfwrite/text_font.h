#pragma once
// The glyph-less font that carries a page's invisible text layer; written by
// the page writer (pdf_pages.cpp) and by the text layers added to an existing
// PDF (pdf_text_layers.cpp).

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

namespace scan::pdfwrite {

// The font as a new indirect object of `pdf`; null when libtesseract's
// glyph-less font is not installed.
QPDFObjectHandle TextFont(QPDF& pdf);

} // namespace scan::pdfwrite
