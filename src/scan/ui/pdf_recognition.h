#pragma once
// "识别文字" for a linked PDF of pictures: each page without text rendered
// through the PDF reader module as a viewer shows it, recognised, and the
// text added as an invisible layer to a new copy (scan/pdf_text.h). Pages
// that carry text already are left alone.

#include "scan/shrink.h"

#include <string>

namespace scan::ui {

// Writes the copy of `source` to `target`. `pages` says how many pages were
// given text; `imagesChanged` is not used. Cancelled when `options.cancel`
// turns true; NotSupported (with the reason) when recognition cannot run or
// no page lacks text.
ShrinkResult RecognisePdf(const std::string& source, const std::string& target,
                          const ShrinkOptions& options);

} // namespace scan::ui
