#pragma once
// "识别文字" in the shrink window: a copy of a PDF of pictures with the text
// recognised on its pages added as invisible layers. Each page was rendered
// as a viewer shows it (its crop box, turned by its /Rotate); the layer is
// placed back into the page's own space through that box and turn, so that
// a viewer's search highlights the words where they stand. Pages without a
// layer are copied as they are.

#include "scan/page_text.h"

#include <memory>
#include <string>
#include <vector>

namespace scan {

struct PdfPageText {
    int page = 0; // from 0
    // In the pixels of the page rendered as shown (turned by text->turn).
    std::shared_ptr<const PageText> text;
};

// Writes the copy of `source` to `target` (through a temporary file beside
// it). "" on success, else the reason (a Chinese sentence).
std::string AddTextLayers(const std::string& source, const std::string& target,
                          const std::vector<PdfPageText>& pages);

} // namespace scan
